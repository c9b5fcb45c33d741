// The archive at a million records: the window shown with its list, each keystroke of the
// filter, a click on a head, a span of days, scrolling, storing one more protocol, and an
// export of 100 000 records (memory while it runs, and a cancel).
// Aims: 300 ms for the window, 50 ms a keystroke, 50 ms a store.
// Usage: bench_archivescale [folder [records]]; the filled archive stays in the folder
// (default: archive-scale beside the executable) and is made only once.

#include "archivelistmodel.h"
#include "archivewindow.h"
#include "protocolarchive.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

const QStringList Types = {"ТМ-630/10", "ТМГ-100/10", "ТМГ-250/6", "ТМ-1000/10", "ТМН-2500/35", "ТМЗ-400/10"};
const qint64 Start = QDateTime(QDate(2016, 1, 1), QTime(8, 0)).toMSecsSinceEpoch();
constexpr qint64 Spacing = 5 * 60 * 1000; // a protocol every five minutes: 100 000 in about a year

QString resultsJson(int i)
{
    QString json = QStringLiteral("{");
    for (const StateKey &key : StateFile::keys())
        json += QStringLiteral("\"%1\":\"%2\",").arg(key.key, QString::number(100.0 + (i % 997) * 0.137 + key.key.size(), 'f', 3));
    json.chop(1);
    return json + u'}';
}

QString fieldsJson(int i)
{
    return QStringLiteral("{\"QRPnom\":\"%1 кВА\",\"QRUnom\":\"10000 В / 400 В\",\"QRInom\":\"36.4 А / 909 А\","
                          "\"QRFreq\":\"50 Гц\",\"QRCircuit\":\"Y / Yн - 0\",\"QRFasNumber\":\"3\","
                          "\"QRTransformerWeight\":\"2100 кг\",\"QRYearOfRepair\":\"2024\","
                          "\"QRConclusion\":\"Годен к эксплуатации\",\"QRInvestigator\":\"Петров\","
                          "\"QRChief\":\"Сидоров\",\"QROilAnalysis\":\"Анализ масла № %2\","
                          "\"QRElectricStrength\":\"Электрическая прочность 52\","
                          "\"QRProtocolNumber\":\"Протокол №%2 испытания трансформатора\"}")
        .arg(250 + i % 7 * 100)
        .arg(i);
}

// Years of stores as one transaction: about three revisions per protocol.
bool fill(const QString &path, int records)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("BEGIN"));
        const QByteArray sheet(128, 's');
        QSqlQuery p(db), r(db), c(db);
        p.prepare(QStringLiteral("INSERT INTO protocols (id, protocol_number, serial_number) VALUES (?, ?, ?)"));
        r.prepare(QStringLiteral("INSERT INTO revisions (id, protocol_id, revision, stored_at, protocol_number, "
                                 "serial_number, type, firm, content_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        c.prepare(QStringLiteral("INSERT INTO contents (revision_id, fields, results, sheet1, sheet2) VALUES (?, ?, ?, ?, ?)"));
        for (int i = 0; ok && i < records; ++i) {
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
            r.addBindValue(Start + qint64(i) * Spacing);
            r.addBindValue(QString::number(protocol));
            r.addBindValue(QString::number(100000 + protocol * 7));
            r.addBindValue(Types[protocol % Types.size()]);
            r.addBindValue(QStringLiteral("ООО \"Энергоремонт\""));
            r.addBindValue(QStringLiteral("%1").arg(i, 64, 16, QLatin1Char('0')));
            ok = ok && r.exec();
            c.addBindValue(i + 1);
            c.addBindValue(fieldsJson(i));
            c.addBindValue(resultsJson(i));
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

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QList<double> processorMs; // of every timed step, in order

double timed(const std::function<void()> &step)
{
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu = std::clock();
    step();
    QApplication::processEvents();
    processorMs.append((std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("archive-scale"));
    const int records = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000000;
    QDir().mkpath(folder);
    setRecordsDirectoryForTests(folder);
    const QString path = ArchiveSettings::sqliteDefault().database;

    if (!QFile::exists(path)) {
        {
            ProtocolArchive creator(ArchiveSettings::sqliteDefault());
            if (!creator.open()) {
                std::fprintf(stderr, "%s\n", qPrintable(creator.lastError()));
                return 1;
            }
        }
        QElapsedTimer t;
        t.start();
        if (!fill(path, records)) {
            QFile::remove(path);
            return 1;
        }
        std::printf("filled %d records in %.1f s, file %.0f MB\n", records, t.elapsed() / 1000.0, QFile(path).size() / 1e6);
        t.restart();
        SqlArchiveListSource indexer(ArchiveSettings::sqliteDefault());
        if (!indexer.count())
            return 1;
        std::printf("list indexes made once in %.1f s, file %.0f MB\n", t.elapsed() / 1000.0, QFile(path).size() / 1e6);
    }

    RecordingPrompts prompts;
    ProtocolArchive archive(ArchiveSettings::sqliteDefault());
    Stats window, keys, store;
    double worstKey = 0;
    QString worstKeyText;
    for (int run = 0; run < 5; ++run) {
        ArchiveWindow w(&archive);
        window.ms.append(timed([&] { w.show(); }));
        if (run == 0 && w.model->rowCount() == 0) {
            std::fprintf(stderr, "the list is empty: %s\n", qPrintable(w.statusLabel->text()));
            return 1;
        }
    }

    ArchiveWindow w(&archive);
    w.resize(1000, 700);
    w.show();
    QApplication::processEvents();
    // Keystrokes as the operator types: a type, erased, a serial number, one that matches nothing.
    // A search that goes on after the keystroke is followed turn by turn of the event loop.
    Stats turns;
    double longestSearch = 0;
    QString longestSearchText;
    const auto drain = [&](const QString &typed) {
        QElapsedTimer all;
        all.start();
        while (w.model->isSearching()) {
            QElapsedTimer t;
            t.start();
            QApplication::processEvents();
            turns.add(t);
        }
        const double ms = all.nsecsElapsed() / 1e6;
        if (ms > longestSearch) {
            longestSearch = ms;
            longestSearchText = typed;
        }
    };
    Stats keysCpu;
    const auto type = [&](const QString &text) {
        QString typed;
        for (QChar c : text) {
            typed += c;
            const double ms = timed([&] { w.filterEdit->setText(typed); });
            keys.ms.append(ms);
            keysCpu.ms.append(processorMs.last());
            if (ms > worstKey) {
                worstKey = ms;
                worstKeyText = typed;
            }
            drain(typed);
        }
        while (!typed.isEmpty()) {
            typed.chop(1);
            keys.ms.append(timed([&] { w.filterEdit->setText(typed); }));
            keysCpu.ms.append(processorMs.last());
            drain(typed);
        }
    };
    type(QStringLiteral("тмг-25"));
    type(QStringLiteral("1234"));
    type(QStringLiteral("ТМЗ-9"));
    type(QStringLiteral("нет такого"));

    Stats heads;
    for (int column : {int(ArchiveListModel::TypeColumn), int(ArchiveListModel::SerialColumn),
                       int(ArchiveListModel::ProtocolColumn), int(ArchiveListModel::DateColumn)}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
            heads.ms.append(timed([&] { w.table->sortByColumn(column, order); }));
    }
    Stats scroll;
    for (int page = 0; page < 20; ++page)
        scroll.ms.append(timed([&] { w.table->verticalScrollBar()->setValue(w.table->verticalScrollBar()->maximum()); }));
    const int scrolledRows = w.model->rowCount();

    // The last 100 000 records' days: about a year of protocols.
    const QDate first = QDateTime::fromMSecsSinceEpoch(Start + qint64(std::max(0, records - 100000)) * Spacing).date().addDays(1);
    const QDate last = QDateTime::fromMSecsSinceEpoch(Start + qint64(records) * Spacing).date();
    const double period = timed([&] {
        w.fromEdit->setDate(first);
        w.toEdit->setDate(last);
        w.periodCheck->setChecked(true);
    });
    const std::optional<QList<qint64>> inPeriod = w.model->allIds();
    const qsizetype exported = inPeriod ? inPeriod->size() : 0;

    struct ExportRun {
        double seconds = 0;
        double cpuSeconds = 0; // on a shared machine the wall clock also counts the others' work
        long before = 0, peak = 0, after = 0;
        QList<long> samples;
        qint64 bytes = 0;
    };
    const auto runExport = [&](ArchiveExport::Format format, const QString &target, int cancelAfterMs) {
        ExportRun run;
        prompts.fileAnswers = {target};
        prompts.yesNoAnswers = {true};
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const long now = residentKiB();
            run.samples.append(now);
            run.peak = std::max(run.peak, now);
        });
        QTimer canceller;
        canceller.setSingleShot(true);
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            for (QProgressDialog *dialog : w.findChildren<QProgressDialog *>())
                dialog->cancel();
        });
        run.before = residentKiB();
        sampler.start(250);
        if (cancelAfterMs > 0)
            canceller.start(cancelAfterMs);
        QElapsedTimer t;
        t.start();
        const std::clock_t cpu = std::clock();
        w.selectRows({});
        w.exportSelected(format);
        run.seconds = t.elapsed() / 1000.0;
        run.cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        run.after = residentKiB();
        run.bytes = QFile(target).size();
        return run;
    };
    const QString xlsx = QDir(folder).filePath(QStringLiteral("export.xlsx"));
    const QString csv = QDir(folder).filePath(QStringLiteral("export.csv"));
    QFile::remove(xlsx);
    QFile::remove(csv);
    const ExportRun xlsxRun = runExport(ArchiveExport::Format::Xlsx, xlsx, 0);
    const QString xlsxStatus = w.statusLabel->text();
    const ExportRun csvRun = runExport(ArchiveExport::Format::Csv, csv, 0);
    const QByteArray csvBefore = [&] {
        QFile f(csv);
        return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
    }();
    const ExportRun cancelRun = runExport(ArchiveExport::Format::Csv, csv, 1500);
    const bool keptAfterCancel = QFile(csv).size() == csvRun.bytes && [&] {
        QFile f(csv);
        return f.open(QIODevice::ReadOnly) && f.read(4096) == csvBefore;
    }();

    for (int i = 0; i < 50; ++i) {
        ArchiveRecord record;
        record.protocolNumber = QString::number(9000000 + i / 2);
        record.serialNumber = QStringLiteral("77%1").arg(i / 2);
        record.type = Types[i % Types.size()];
        record.firm = QStringLiteral("ООО \"Энергоремонт\"");
        record.results.insert(QStringLiteral("Pxx00"), QString::number(1000 + i));
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

    const auto samples = [](const QList<long> &list) {
        QStringList out;
        const qsizetype step = std::max<qsizetype>(1, list.size() / 6);
        for (qsizetype i = 0; i < list.size(); i += step)
            out.append(QString::number(list[i] / 1024));
        return out.join(QStringLiteral(", "));
    };
    std::printf("records %d\n", records);
    std::printf("window shown with its list: median %.1f ms, max %.1f ms (aim 300)\n", window.median(), window.max());
    std::printf("filter per keystroke (%lld keys): median %.1f ms, max %.1f ms (aim 50), slowest \"%s\"\n",
                qlonglong(keys.ms.size()), keys.median(), keys.max(), qPrintable(worstKeyText));
    std::printf("  of which processor time per keystroke: median %.1f ms, max %.1f ms\n", keysCpu.median(), keysCpu.max());
    std::printf("search going on after a keystroke: longest turn of the event loop %.1f ms (%lld turns), "
                "longest search to its end %.0f ms (\"%s\")\n",
                turns.max(), qlonglong(turns.ms.size()), longestSearch, qPrintable(longestSearchText));
    std::printf("click on a head (8 orders): median %.1f ms, max %.1f ms\n", heads.median(), heads.max());
    std::printf("scroll to the end of what is read (20 times, %d rows): median %.1f ms, max %.1f ms\n", scrolledRows,
                scroll.median(), scroll.max());
    std::printf("span of days ticked: %.1f ms, %lld records in it\n", period, qlonglong(exported));
    std::printf("store of one record (50 stores): median %.1f ms, max %.1f ms (aim 50)\n", store.median(), store.max());
    std::printf("export xlsx of %lld records: %.1f s (processor %.1f s), %.1f MB; resident MB before %ld, peak %ld, after %ld; samples %s\n",
                qlonglong(exported), xlsxRun.seconds, xlsxRun.cpuSeconds, xlsxRun.bytes / 1e6, xlsxRun.before / 1024, xlsxRun.peak / 1024,
                xlsxRun.after / 1024, qPrintable(samples(xlsxRun.samples)));
    std::printf("  status: %s\n", qPrintable(xlsxStatus));
    std::printf("export csv of %lld records: %.1f s (processor %.1f s), %.1f MB; resident MB before %ld, peak %ld, after %ld; samples %s\n",
                qlonglong(exported), csvRun.seconds, csvRun.cpuSeconds, csvRun.bytes / 1e6, csvRun.before / 1024, csvRun.peak / 1024,
                csvRun.after / 1024, qPrintable(samples(csvRun.samples)));
    std::printf("export cancelled after 1.5 s: returned after %.2f s, old file kept: %s\n", cancelRun.seconds,
                keptAfterCancel ? "yes" : "NO");
    setRecordsDirectoryForTests(QString());
    return 0;
}
