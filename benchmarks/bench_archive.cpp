// How the archive behaves with 100 000 records: loading the window's list, answering
// each keystroke of the filter, and storing one more protocol. Aims: 300 ms, 50 ms, 50 ms.
// Usage: bench_archive [folder]  (a folder keeps the filled database for the next run)

#include "archivelistmodel.h"
#include "archivewindow.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int Records = 100000;
const QStringList Types = {"ТМ-630/10", "ТМГ-100/10", "ТМГ-250/6", "ТМ-1000/10", "ТМН-2500/35", "ТМЗ-400/10"};

QMap<QString, QString> resultsFor(int i)
{
    QMap<QString, QString> results;
    for (const StateKey &key : StateFile::keys())
        results.insert(key.key, QString::number(100.0 + (i % 997) * 0.137 + key.key.size(), 'f', 3));
    return results;
}

QMap<QString, QString> fieldsFor(int i)
{
    QMap<QString, QString> fields;
    for (int f = 0; f < 110; ++f)
        fields.insert(QStringLiteral("QRField%1").arg(f), QStringLiteral("%1.%2").arg(i % 1000).arg(f));
    return fields;
}

QString json(const QMap<QString, QString> &map)
{
    QJsonObject object;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Fills the archive in one transaction the way years of stores would leave it:
// about three revisions per protocol.
bool fill(const QString &path)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("BEGIN"));
        const QByteArray sheet(2048, 's');
        QSqlQuery p(db), r(db), c(db);
        p.prepare(QStringLiteral("INSERT INTO protocols (id, protocol_number, serial_number) VALUES (?, ?, ?)"));
        r.prepare(QStringLiteral("INSERT INTO revisions (id, protocol_id, revision, stored_at, protocol_number, "
                                 "serial_number, type, firm, content_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        c.prepare(QStringLiteral("INSERT INTO contents (revision_id, fields, results, sheet1, sheet2) VALUES (?, ?, ?, ?, ?)"));
        const qint64 start = QDateTime(QDate(2016, 1, 1), QTime(8, 0)).toMSecsSinceEpoch();
        for (int i = 0; ok && i < Records; ++i) {
            const int protocol = i / 3 + 1;
            if (i % 3 == 0) {
                p.addBindValue(protocol);
                p.addBindValue(QString::number(protocol));
                p.addBindValue(QString::number(100000 + protocol * 7));
                ok = p.exec();
            }
            r.addBindValue(i + 1);
            r.addBindValue(protocol);
            r.addBindValue(i % 3 + 1);
            r.addBindValue(start + qint64(i) * 45 * 60 * 1000);
            r.addBindValue(QString::number(protocol));
            r.addBindValue(QString::number(100000 + protocol * 7));
            r.addBindValue(Types[protocol % Types.size()]);
            r.addBindValue(QStringLiteral("ООО \"Энергоремонт\""));
            r.addBindValue(QStringLiteral("%1").arg(i, 64, 16, QLatin1Char('0')));
            ok = ok && r.exec();
            c.addBindValue(i + 1);
            c.addBindValue(json(fieldsFor(i)));
            c.addBindValue(json(resultsFor(i)));
            c.addBindValue(sheet);
            c.addBindValue(sheet);
            ok = ok && c.exec();
            if (!ok)
                std::fprintf(stderr, "fill: %s %s %s\n", qPrintable(p.lastError().text()),
                             qPrintable(r.lastError().text()), qPrintable(c.lastError().text()));
        }
        ok = ok && q.exec(QStringLiteral("COMMIT"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

struct Stats {
    QList<double> ms;
    void add(const QElapsedTimer &t) { ms.append(t.nsecsElapsed() / 1e6); }
    double median()
    {
        std::sort(ms.begin(), ms.end());
        return ms.isEmpty() ? 0 : ms[ms.size() / 2];
    }
    double max() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    setRecordsDirectoryForTests(folder);
    const QString path = ArchiveSettings::sqliteDefault().database;

    if (!QFile::exists(path)) {
        ProtocolArchive creator(ArchiveSettings::sqliteDefault());
        if (!creator.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(creator.lastError()));
            return 1;
        }
        QElapsedTimer t;
        t.start();
        if (!fill(path))
            return 1;
        std::printf("filled %d records in %.1f s, file %.0f MB\n", Records, t.elapsed() / 1000.0,
                    QFile(path).size() / 1e6);
    }

    Stats load, window, filter, store;
    // Processor time too: on a shared machine the wall clock also counts the others' work.
    QList<double> loadCpu;
    for (int run = 0; run < 5; ++run) {
        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        ArchiveListModel model;
        QElapsedTimer t;
        t.start();
        const std::clock_t cpu = std::clock();
        auto list = archive.summaries();
        model.setRecords(std::move(*list));
        load.add(t);
        loadCpu.append((std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    std::sort(loadCpu.begin(), loadCpu.end());
    {
        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        for (int run = 0; run < 3; ++run) {
            ArchiveWindow w(&archive);
            QElapsedTimer t;
            t.start();
            w.show();
            QApplication::processEvents();
            window.add(t);
            if (run == 0) {
                // Keystrokes as the operator types them, then erases, then types a serial number.
                const QString type = QStringLiteral("тмг-25");
                QString typed;
                for (QChar c : type) {
                    typed += c;
                    QElapsedTimer k;
                    k.start();
                    w.filterEdit->setText(typed);
                    QApplication::processEvents();
                    filter.add(k);
                }
                while (!typed.isEmpty()) {
                    typed.chop(1);
                    QElapsedTimer k;
                    k.start();
                    w.filterEdit->setText(typed);
                    QApplication::processEvents();
                    filter.add(k);
                }
                for (QChar c : QStringLiteral("1234")) {
                    typed += c;
                    QElapsedTimer k;
                    k.start();
                    w.filterEdit->setText(typed);
                    QApplication::processEvents();
                    filter.add(k);
                }
            }
        }
        for (int i = 0; i < 50; ++i) {
            ArchiveRecord record;
            record.protocolNumber = QString::number(900000 + i / 2);
            record.serialNumber = QStringLiteral("77%1").arg(i / 2);
            record.type = Types[i % Types.size()];
            record.firm = QStringLiteral("ООО \"Энергоремонт\"");
            record.fields = fieldsFor(i);
            record.results = resultsFor(i);
            record.sheet1 = QByteArray(20000, 'a');
            record.sheet2 = QByteArray(20000, 'b');
            QElapsedTimer t;
            t.start();
            const auto result = archive.store(record);
            store.add(t);
            if (!result.ok()) {
                std::fprintf(stderr, "store: %s\n", qPrintable(result.message));
                return 1;
            }
        }
    }
    std::printf("list of %d records into the model: median %.1f ms, max %.1f ms (aim 300)\n", Records,
                load.median(), load.max());
    std::printf("  of which processor time:        median %.1f ms\n", loadCpu[loadCpu.size() / 2]);
    std::printf("window shown with the list:       median %.1f ms, max %.1f ms (aim 300)\n", window.median(),
                window.max());
    std::printf("filter per keystroke (%lld keys):   median %.1f ms, max %.1f ms (aim 50)\n",
                qlonglong(filter.ms.size()), filter.median(), filter.max());
    std::printf("store of one record (50 stores):  median %.1f ms, max %.1f ms (aim 50)\n", store.median(),
                store.max());
    setRecordsDirectoryForTests(QString());
    return 0;
}
