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
