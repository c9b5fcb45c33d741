#pragma once

#include "archiverecord.h"
#include "archivesettings.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// A protocol as the preview hands it over: texts of both pages, two sheets, the results.
inline ArchiveRecord sampleRecord(const QString &protocolNumber = QStringLiteral("17"),
                                  const QString &serialNumber = QStringLiteral("4411"),
                                  const QString &type = QStringLiteral("ТМ-630/10"))
{
    ArchiveRecord record;
    record.moment = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53, 589), Qt::UTC);
    record.protocolNumber = protocolNumber;
    record.serialNumber = serialNumber;
    record.type = type;
    record.firm = QStringLiteral("ООО \"Трансформер; ремонт\"");
    record.fields = {
        {QStringLiteral("QRProtocolNumber"), QStringLiteral("Протокол №%1 испытания трансформатора %2").arg(protocolNumber, type)},
        {QStringLiteral("QRRepairNumber"), serialNumber},
        {QStringLiteral("QRPxx00"), QStringLiteral("1240.5")},
        {QStringLiteral("QRKI"), QStringLiteral("25.01\n25.02\n24.99")},
        {QStringLiteral("QRConclusion"), QStringLiteral("Годен; к эксплуатации \"без замечаний\"")},
    };
    record.sheet1 = QByteArrayLiteral("SHEET\x00\x01\xFF page one");
    record.sheet2 = QByteArrayLiteral("SHEET\x00\x02\xFE page two");
    record.results = {
        {QStringLiteral("Pxx00"), QStringLiteral("1240.5")},
        {QStringLiteral("Ixx00"), QStringLiteral("0.512")},
        {QStringLiteral("ResistenceGrid00"), QStringLiteral("1,234")},
    };
    return record;
}

// The judgement a protocol is stored with: a row of each verdict, one of them the engineer's.
inline ArchiveJudgement sampleJudgement(const QString &programVersion = QStringLiteral("1.4.0 (abc1234)"))
{
    ArchiveJudgement judgement;
    judgement.judged = true;
    const auto row = [](const char *id, StoredVerdict verdict, const QString &line) {
        JudgedCheck c;
        c.id = QString::fromLatin1(id);
        c.check = QStringLiteral("Потери холостого хода P0");
        c.measured = QStringLiteral("1 240,5 Вт");
        c.reference = QStringLiteral("паспорт: 1 100 Вт");
        c.limit = QStringLiteral("+15 %");
        c.deviation = QStringLiteral("+12,77 %");
        c.verdict = verdict;
        c.verdictLine = line;
        c.source = QStringLiteral("ГОСТ 11677-85 \"п. 1\"");
        return c;
    };
    judgement.rows = {row("noload.p0", StoredVerdict::Complies, QStringLiteral("соответствует")),
                      row("resistance.phases.0", StoredVerdict::Fails, QStringLiteral("не соответствует")),
                      row("insulation.r60.0", StoredVerdict::NeedsAnalysis, QStringLiteral("требует анализа")),
                      row("oil.flash", StoredVerdict::NotAssessed, QStringLiteral("не оценивается: нет данных"))};
    judgement.rows[1].decided = true;
    judgement.rows[1].reason = QStringLiteral("перемычка; перемерено \"вручную\"");
    judgement.rows[1].note = QStringLiteral("при 20 °C");
    judgement.normsOrigin = QStringLiteral("C:/Стенд/varnek-norms.ini");
    judgement.normsDigest = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    judgement.programVersion = programVersion;
    judgement.judgedMsecs = 1773480413589;
    judgement.input = {{QStringLiteral("Material"), QStringLiteral("алюминий")}, {QStringLiteral("Unom"), QStringLiteral("400")}};
    return judgement;
}

// The second schema of the archive, as a bench of that time left its file, with one record.
inline bool writeVersion2File(const QString &path, QString *error)
{
    const QString name = QStringLiteral("version-2-writer");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        const QStringList statements = {
            QStringLiteral("CREATE TABLE archive_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("INSERT INTO archive_meta VALUES ('schema_version', '2')"),
            QStringLiteral("CREATE TABLE protocols (id INTEGER PRIMARY KEY, protocol_number TEXT NOT NULL, "
                           "serial_number TEXT NOT NULL, UNIQUE (protocol_number, serial_number))"),
            QStringLiteral("CREATE TABLE revisions (id INTEGER PRIMARY KEY, "
                           "protocol_id BIGINT NOT NULL REFERENCES protocols (id) ON DELETE CASCADE, "
                           "revision INTEGER NOT NULL, stored_at BIGINT NOT NULL, protocol_number TEXT NOT NULL, "
                           "serial_number TEXT NOT NULL, type TEXT NOT NULL, "
                           "firm TEXT NOT NULL, content_hash TEXT NOT NULL, UNIQUE (protocol_id, revision))"),
            QStringLiteral("CREATE TABLE contents (revision_id BIGINT PRIMARY KEY "
                           "REFERENCES revisions (id) ON DELETE CASCADE, fields TEXT NOT NULL, "
                           "results TEXT NOT NULL, sheet1 BLOB NOT NULL, sheet2 BLOB NOT NULL)"),
            QStringLiteral("CREATE TABLE archive_received (entry_key TEXT PRIMARY KEY, "
                           "revision_id BIGINT NOT NULL REFERENCES revisions (id) ON DELETE CASCADE)"),
            QStringLiteral("INSERT INTO protocols VALUES (1, '5', '77')"),
            QStringLiteral("INSERT INTO revisions VALUES (1, 1, 1, 1738404000000, '5', '77', 'ТМ-400', 'Фирма', 'old-hash')"),
            QStringLiteral("INSERT INTO contents VALUES (1, '{\"QRPxx00\":\"1240.5\"}', '{\"Pxx00\":\"1240.5\"}', "
                           "x'01', x'02')"),
        };
        for (const QString &statement : statements)
            ok = ok && query.exec(statement);
        if (!ok && error)
            *error = query.lastError().text() + db.lastError().text();
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// The first schema of the archive, as a bench of that time left its file.
inline bool writeVersion1File(const QString &path, const QList<QStringList> &rows, QString *error)
{
    const QString name = QStringLiteral("version-1-writer");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        const QStringList schema = {
            QStringLiteral("CREATE TABLE archive_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("INSERT INTO archive_meta VALUES ('schema_version', '1')"),
            QStringLiteral("CREATE TABLE protocols (id INTEGER PRIMARY KEY, stored_at TEXT NOT NULL, "
                           "protocol_number TEXT, type TEXT, serial_number TEXT, firm TEXT, "
                           "fields TEXT, results TEXT, sheet1 BLOB, sheet2 BLOB)"),
        };
        for (const QString &statement : schema)
            ok = ok && query.exec(statement);
        // stored_at, protocol number, type, serial number, firm, fields JSON, results JSON
        for (const QStringList &row : rows) {
            ok = ok && query.prepare(QStringLiteral("INSERT INTO protocols (stored_at, protocol_number, type, "
                                                    "serial_number, firm, fields, results, sheet1, sheet2) "
                                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (const QString &value : row)
                query.addBindValue(value);
            query.addBindValue(QByteArray("v1 sheet 1"));
            query.addBindValue(QByteArray("v1 sheet 2"));
            ok = ok && query.exec();
        }
        if (!ok && error)
            *error = query.lastError().text() + db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}
