// The shared server archive at workshop scale, against a PostgreSQL cluster this program
// starts itself (ru_RU.UTF-8, as a Russian workshop's server would be) and fills with a
// million records straight on the server (generate_series, not one store at a time).
//
// Part 1, the window: first rows after opening, each keystroke to its rows, a click on a
// head, a page scrolled to, a protocol stored while the window is open until it is in the
// list, a record opened while the list is read, the longest turn of the event loop and
// resident memory.
// Part 2, benches: N processes (N = 1, 5, 10, 20 by default) each storing a protocol every
// 0.5 s for the given seconds through the program's own outbox, while two windows list and
// filter: stored = acknowledged, revisions without gaps, store-to-server p99, the windows'
// keystrokes and stalls, and the server's processor share.
//
// Usage: bench_archiveserverscale [--records N] [--benches 1,5,10,20] [--seconds 60]
// Output: "name value" lines (benchmarks/run.sh makes the table).

#include "archivelistmodel.h"
#include "archivewindow.h"
#include "pgcluster.h"
#include "protocolarchive.h"
#include "recordingprompts.h"
#include "serverlistsource.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

const QStringList Types = {"ТМ-630/10", "ТМГ-100/10", "ТМГ-250/6", "ТМ-1000/10", "ТМН-2500/35", "ТМЗ-400/10"};
const qint64 Start = QDateTime(QDate(2016, 1, 1), QTime(8, 0)).toMSecsSinceEpoch();
constexpr qint64 Spacing = 5 * 60 * 1000; // a protocol every five minutes

void say(const char *name, const QString &value)
{
    std::printf("%s %s\n", name, qPrintable(value));
    std::fflush(stdout);
}

struct Stats {
    QList<double> ms;
    void add(double value) { ms.append(value); }
    double at(double share) const
    {
        if (ms.isEmpty())
            return 0;
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min<qsizetype>(sorted.size() - 1, qsizetype(share * sorted.size()))];
    }
    double median() const { return at(0.5); }
    double p99() const { return at(0.99); }
    double max() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    QString text() const
    {
        return QStringLiteral("median %1 ms, p99 %2 ms, max %3 ms (%4)")
            .arg(median(), 0, 'f', 1)
            .arg(p99(), 0, 'f', 1)
            .arg(max(), 0, 'f', 1)
            .arg(ms.size());
    }
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

// The longest gap between two turns of the event loop, measured by a timer that asks for
// one every millisecond.
class TurnWatch : public QObject {
public:
    TurnWatch()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double gap = m_since.nsecsElapsed() / 1e6;
            m_since.restart();
            if (gap > longest) {
                longest = gap;
                longestStep = step;
            }
        });
    }
    void start()
    {
        longest = 0;
        m_since.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longest = 0;
    QString step;        // what the benchmark is doing, set by it
    QString longestStep; // what it was doing at the longest gap
    QString text() const { return QStringLiteral("%1 ms (%2)").arg(longest, 0, 'f', 1).arg(longestStep); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
};

// Runs the event loop until `done` or `msecs`; the time it took, -1 on timeout.
double until(const std::function<bool()> &done, int msecs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > msecs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return t.nsecsElapsed() / 1e6;
}

bool exec(QSqlDatabase db, const QString &statement)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    std::fprintf(stderr, "%s\n  %s\n", qPrintable(statement.left(200)), qPrintable(query.lastError().text()));
    return false;
}

QString arrayOf(const QStringList &texts)
{
    QStringList quoted;
    for (const QString &text : texts)
        quoted << u'\'' + text + u'\'';
    return QStringLiteral("ARRAY[%1]").arg(quoted.join(u','));
}

// A million records on the server as years of stores: about three revisions per protocol.
bool fill(const ArchiveSettings &settings, int records)
{
    {
        ProtocolArchive maker(settings, ProtocolArchive::ServerAccess::Direct);
        if (!maker.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(maker.lastError()));
            return false;
        }
    }
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fill"));
        db.setHostName(settings.host);
        db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(settings.user);
        ok = db.open();
        // The list's indexes go while the rows come in, and are built once after.
        for (const QString &name : ServerListSchema::indexNames())
            ok = ok && exec(db, QStringLiteral("DROP INDEX IF EXISTS %1").arg(name));
        const int protocols = (records + 2) / 3;
        ok = ok && exec(db, QStringLiteral("SET maintenance_work_mem = '256MB'"));
        ok = ok && exec(db, QStringLiteral("INSERT INTO protocols (id, protocol_number, serial_number) "
                                           "SELECT g, g::text, (100000 + g * 7)::text FROM generate_series(1, %1) g")
                                .arg(protocols));
        ok = ok && exec(db, QStringLiteral("INSERT INTO revisions (id, protocol_id, revision, stored_at, protocol_number, "
                                           "serial_number, type, firm, content_hash) "
                                           "SELECT i + 1, i / 3 + 1, i % 3 + 1, %1::bigint + i::bigint * %2, (i / 3 + 1)::text, "
                                           "(100000 + (i / 3 + 1) * 7)::text, (%3)[(i / 3 + 1) % 6 + 1], "
                                           "'ООО \"Энергоремонт\"', md5(i::text) FROM generate_series(0, %4) i")
                                .arg(Start)
                                .arg(Spacing)
                                .arg(arrayOf(Types))
                                .arg(records - 1));
        ok = ok && exec(db, QStringLiteral("INSERT INTO contents (revision_id, fields, results, sheet1, sheet2) "
                                           "SELECT id, '{\"QRPnom\":\"250 кВА\",\"QRProtocolNumber\":\"' || protocol_number || '\"}', "
                                           "'{\"Pxx00\":\"' || (100 + id % 997) || '\"}', '\\x00'::bytea, '\\x00'::bytea "
                                           "FROM revisions"));
        ok = ok && exec(db, QStringLiteral("SELECT setval(pg_get_serial_sequence('protocols', 'id'), (SELECT max(id) FROM protocols))"));
        ok = ok && exec(db, QStringLiteral("SELECT setval(pg_get_serial_sequence('revisions', 'id'), (SELECT max(id) FROM revisions))"));
        QElapsedTimer t;
        t.start();
        ok = ok && exec(db, QStringLiteral("BEGIN"));
        QString error;
        if (ok && !ServerListSchema::create(db, &error)) {
            std::fprintf(stderr, "indexes: %s\n", qPrintable(error));
            ok = false;
        }
        ok = ok && exec(db, QStringLiteral("COMMIT")) && exec(db, QStringLiteral("VACUUM ANALYZE"));
        say("indexes_s", QString::number(t.elapsed() / 1000.0, 'f', 1));
        if (ok)
            say("trigram", ServerListSchema::hasTrigramIndex(db) ? QStringLiteral("yes") : QStringLiteral("no"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

ArchiveRecord benchRecord(int bench, int k)
{
    ArchiveRecord record;
    // A bench stores revisions of three protocols of its own, and every tenth store a
    // revision of one protocol all benches share: revision numbers must follow each other
    // without a gap however the stores meet.
    record.protocolNumber = k % 10 == 9 ? QStringLiteral("9000000") : QStringLiteral("9%1-%2").arg(bench).arg(k % 3);
    record.serialNumber = QStringLiteral("77");
    record.type = Types[k % Types.size()];
    record.firm = QStringLiteral("ООО \"Энергоремонт\"");
    record.moment = QDateTime::currentDateTime();
    // A mark of its own in every run, so a run against a server filled before stores anew.
    static const QString run = QString::number(QDateTime::currentMSecsSinceEpoch());
    record.fields.insert(QStringLiteral("QRMark"), QStringLiteral("%1-%2").arg(bench).arg(k));
    record.fields.insert(QStringLiteral("QRRun"), run);
    record.results.insert(QStringLiteral("Pxx00"), QString::number(1000 + k));
    record.sheet1 = QByteArray(20000, 'a');
    record.sheet2 = QByteArray(20000, 'b');
    return record;
}

// One bench: stores a protocol every 0.5 s for `seconds` through the program's outbox and
// says how many it queued, how many the server acknowledged and how long each took.
int runBench(int bench, const ArchiveSettings &settings, int seconds, const QString &folder)
{
    ProtocolArchive archive(settings);
    archive.enableOutbox(QDir(folder).filePath(QStringLiteral("outbox-%1.db").arg(bench)));
    QList<QElapsedTimer> queued;
    Stats latency;
    int acknowledged = 0;
    QObject::connect(&archive, &ProtocolArchive::recordStored, [&] {
        // The sender keeps the order of the queue.
        if (acknowledged < queued.size())
            latency.add(queued[acknowledged].nsecsElapsed() / 1e6);
        ++acknowledged;
    });
    int failed = 0;
    QTimer tick;
    tick.setInterval(500);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        QElapsedTimer t;
        t.start();
        if (archive.store(benchRecord(bench, int(queued.size()))).status == ProtocolArchive::StoreResult::Status::Queued)
            queued.append(t);
        else
            ++failed;
    });
    QElapsedTimer run;
    run.start();
    tick.start();
    until([&] { return run.elapsed() >= qint64(seconds) * 1000; }, seconds * 1000 + 1000);
    tick.stop();
    until([&] { return acknowledged >= queued.size(); }, 60000);
    archive.stopSender();
    QStringList values;
    for (double ms : std::as_const(latency.ms))
        values << QString::number(ms, 'f', 1);
    std::printf("queued %lld\nacknowledged %d\nfailed %d\nwaiting %d\nlatency %s\n", qlonglong(queued.size()), acknowledged,
                failed, archive.waitingCount(), qPrintable(values.join(u' ')));
    return 0;
}

// Processor time of the server's processes so far, in clock ticks.
qint64 serverTicks(pid_t main)
{
    qint64 ticks = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() < 15)
            continue;
        // state ppid ... utime(12) stime(13) cutime(14) cstime(15), counted from the state.
        if (pid == main)
            ticks += rest[11].toLongLong() + rest[12].toLongLong() + rest[13].toLongLong() + rest[14].toLongLong();
        else if (rest[1].toInt() == main)
            ticks += rest[11].toLongLong() + rest[12].toLongLong();
    }
    return ticks;
}

// Types into a window as the operator does and waits for the rows of each keystroke.
void typeInto(ArchiveWindow &w, const QString &text, Stats &keys)
{
    QString typed;
    for (QChar c : text) {
        typed += c;
        QElapsedTimer t;
        t.start();
        w.filterEdit->setText(typed);
        until([&] { return !w.model->isLoading(); });
        keys.add(t.nsecsElapsed() / 1e6);
        if (keys.ms.last() > 100)
            std::fprintf(stderr, "slow keystroke \"%s\": %.1f ms\n", qPrintable(typed), keys.ms.last());
    }
    while (!typed.isEmpty()) {
        typed.chop(1);
        QElapsedTimer t;
        t.start();
        w.filterEdit->setText(typed);
        until([&] { return !w.model->isLoading(); });
        keys.add(t.nsecsElapsed() / 1e6);
    }
}

double clickHead(ArchiveWindow &w, int column, Qt::SortOrder order)
{
    QElapsedTimer t;
    t.start();
    w.table->sortByColumn(column, order);
    until([&] { return !w.model->isLoading(); });
    return t.nsecsElapsed() / 1e6;
}

void windowPart(const ArchiveSettings &settings, const QString &folder)
{
    ProtocolArchive archive(settings);
    archive.enableOutbox(QDir(folder).filePath(QStringLiteral("outbox-window.db")));
    until([&] { return !archive.isChecking(); }, 10000);
    const long rssStart = residentKiB();
    {
        // The process's first window loads fonts and styles: not the archive's time.
        QWidget warm;
        warm.show();
        until([] { return false; }, 200);
    }
    TurnWatch turns;
    turns.start();

    Stats first;
    turns.step = QStringLiteral("opening");
    for (int run = 0; run < 5; ++run) {
        ArchiveWindow w(&archive);
        w.resize(1000, 700);
        QElapsedTimer t;
        t.start();
        w.show();
        until([&] { return w.model->rowCount() > 0; });
        first.add(t.nsecsElapsed() / 1e6);
        if (run == 0)
            say("first_rows_count", QString::number(w.model->rowCount()));
    }
    say("first_rows", first.text());

    ArchiveWindow w(&archive);
    w.resize(1000, 700);
    w.show();
    until([&] { return w.model->rowCount() > 0 && !w.model->isLoading(); });
    until([&] { return w.statusLabel->text().startsWith(QStringLiteral("Записей")); }, 10000);
    say("status", w.statusLabel->text());
    // The program keeps its window: opened again, it reads the first page anew.
    Stats again;
    turns.step = QStringLiteral("reopening");
    for (int run = 0; run < 5; ++run) {
        w.hide();
        QElapsedTimer t;
        t.start();
        w.show();
        QCoreApplication::processEvents();
        until([&] { return !w.model->isLoading(); });
        again.add(t.nsecsElapsed() / 1e6);
    }
    say("reopening", again.text());

    Stats keys;
    turns.step = QStringLiteral("typing");
    for (const QString &text : {QStringLiteral("тмг-25"), QStringLiteral("1234"), QStringLiteral("ТМЗ-9"),
                                QStringLiteral("нет такого"), QStringLiteral("123")})
        typeInto(w, text, keys);
    say("keystroke", keys.text());

    Stats heads;
    turns.step = QStringLiteral("head clicks");
    for (int column : {int(ArchiveListModel::TypeColumn), int(ArchiveListModel::SerialColumn),
                       int(ArchiveListModel::ProtocolColumn), int(ArchiveListModel::FirmColumn),
                       int(ArchiveListModel::DateColumn)}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
            heads.add(clickHead(w, column, order));
    }
    say("head_click", heads.text());

    Stats pages;
    turns.step = QStringLiteral("scrolling");
    for (int page = 0; page < 20; ++page) {
        QElapsedTimer t;
        t.start();
        w.table->verticalScrollBar()->setValue(w.table->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        until([&] { return !w.model->isLoading(); });
        pages.add(t.nsecsElapsed() / 1e6);
    }
    say("scroll_page", pages.text() + QStringLiteral(", %1 rows").arg(w.model->rowCount()));

    // A span of two years.
    turns.step = QStringLiteral("span of days");
    {
        QElapsedTimer t;
        t.start();
        w.model->setDateRange(QDate(2024, 1, 1), QDate(2025, 12, 31));
        until([&] { return !w.model->isLoading(); });
        say("span_of_days", QString::number(t.nsecsElapsed() / 1e6, 'f', 1) + QStringLiteral(" ms"));
        w.model->setDateRange(QDate(), QDate());
        until([&] { return !w.model->isLoading(); });
    }

    // A protocol stored while the window is open, until it heads the list (newest first).
    w.table->sortByColumn(ArchiveListModel::DateColumn, Qt::DescendingOrder);
    until([&] { return !w.model->isLoading(); });
    Stats stored;
    turns.step = QStringLiteral("storing");
    for (int i = 0; i < 10; ++i) {
        ArchiveRecord record = benchRecord(99, i);
        record.protocolNumber = QStringLiteral("W%1").arg(i);
        QElapsedTimer t;
        t.start();
        archive.store(record);
        const double ms = until([&] {
            return w.model->rowCount() > 0 && w.model->summaryAt(0).protocolNumber == record.protocolNumber;
        }, 30000);
        stored.add(ms < 0 ? 30000 : ms);
        until([] { return false; }, 100);
    }
    say("stored_in_list", stored.text());

    // Opening a record waits for it (at most ProtocolArchive::RecordWaitMs): timed on its
    // own, outside the event loop's turns.
    turns.stop();
    say("longest_turn", turns.text());

    // A record opened while a search reads the server.
    Stats opened;
    for (int i = 0; i < 5; ++i) {
        const qint64 id = w.model->idAt(0);
        w.filterEdit->setText(QStringLiteral("нет такого %1").arg(i));
        QElapsedTimer t;
        t.start();
        const bool ok = archive.record(id).has_value();
        opened.add(ok ? t.nsecsElapsed() / 1e6 : 99999);
        until([&] { return !w.model->isLoading(); });
        w.filterEdit->clear();
        until([&] { return !w.model->isLoading(); });
    }
    say("open_record", opened.text());
    say("rss", QStringLiteral("%1 MiB at the start, %2 MiB after the session").arg(rssStart / 1024).arg(residentKiB() / 1024));
    archive.stopSender();
}

void benchesPart(PgCluster &cluster, const ArchiveSettings &settings, const QList<int> &counts, int seconds,
                 const QString &folder)
{
    for (int n : counts) {
        // Two windows list and filter while the benches store.
        ProtocolArchive archive(settings);
        until([&] { return !archive.isChecking(); }, 10000);
        ArchiveWindow a(&archive), b(&archive);
        a.resize(900, 600);
        b.resize(900, 600);
        a.show();
        b.show();
        until([&] { return a.model->rowCount() > 0 && b.model->rowCount() > 0; });

        QDir().mkpath(QDir(folder).filePath(QString::number(n)));
        QList<QProcess *> benches;
        for (int i = 0; i < n; ++i) {
            auto *process = new QProcess;
            process->setProcessChannelMode(QProcess::SeparateChannels);
            process->start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--bench"), QString::number(n * 100 + i), settings.host, QString::number(settings.port),
                            settings.database, QString::number(seconds), QDir(folder).filePath(QString::number(n))});
            benches.append(process);
        }
        const pid_t server = cluster.serverPid();
        const qint64 ticks0 = serverTicks(server);
        QElapsedTimer wall;
        wall.start();
        TurnWatch turns;
        turns.start();
        Stats keys, heads;
        const QStringList texts = {QStringLiteral("тмг-25"), QStringLiteral("1234"), QStringLiteral("нет такого")};
        int round = 0;
        while (wall.elapsed() < qint64(seconds) * 1000) {
            ArchiveWindow &w = round % 2 ? b : a;
            turns.step = QStringLiteral("round %1").arg(round);
            typeInto(w, texts[round % texts.size()], keys);
            heads.add(clickHead(w, round % 2 ? ArchiveListModel::TypeColumn : ArchiveListModel::SerialColumn, Qt::AscendingOrder));
            heads.add(clickHead(w, ArchiveListModel::DateColumn, Qt::DescendingOrder));
            ++round;
        }
        const double cpuShare = 100.0 * (serverTicks(server) - ticks0) / sysconf(_SC_CLK_TCK) / (wall.elapsed() / 1000.0);
        turns.stop();
        qint64 queued = 0, acknowledged = 0, waiting = 0, failed = 0;
        Stats latency;
        for (QProcess *process : benches) {
            process->waitForFinished(120000);
            const QList<QByteArray> lines = process->readAllStandardOutput().split('\n');
            for (const QByteArray &line : lines) {
                const QList<QByteArray> words = line.split(' ');
                if (words[0] == "queued")
                    queued += words.value(1).toLongLong();
                else if (words[0] == "acknowledged")
                    acknowledged += words.value(1).toLongLong();
                else if (words[0] == "waiting")
                    waiting += words.value(1).toLongLong();
                else if (words[0] == "failed")
                    failed += words.value(1).toLongLong();
                else if (words[0] == "latency")
                    for (qsizetype i = 1; i < words.size(); ++i)
                        latency.add(words[i].toDouble());
            }
            delete process;
        }
        // On the server: each mark once, revisions of each protocol 1..n without a gap.
        qint64 onServer = 0, distinct = 0;
        QString gaps = QStringLiteral("?");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("check"));
            db.setHostName(settings.host);
            db.setPort(settings.port);
            db.setDatabaseName(settings.database);
            db.setUserName(settings.user);
            if (db.open()) {
                QSqlQuery q(db);
                const QString marks = QStringLiteral("SELECT (c.fields::json)->>'QRMark' AS mark FROM contents c "
                                                     "JOIN revisions r ON r.id = c.revision_id WHERE r.protocol_number LIKE '9%' AND r.serial_number = '77' AND (c.fields::json)->>'QRMark' LIKE '%1__-%'")
                                          .arg(n);
                if (q.exec(QStringLiteral("SELECT count(*), count(DISTINCT mark) FROM (%1) m").arg(marks)) && q.next()) {
                    onServer = q.value(0).toLongLong();
                    distinct = q.value(1).toLongLong();
                }
                if (q.exec(QStringLiteral("SELECT count(*) FROM (SELECT protocol_id, max(revision) AS top, count(*) AS n, "
                                          "count(DISTINCT revision) AS d FROM revisions WHERE protocol_number LIKE '9%' AND serial_number = '77' "
                                          "GROUP BY protocol_id) p WHERE top <> n OR d <> n"))
                    && q.next())
                    gaps = q.value(0).toLongLong() == 0 ? QStringLiteral("none") : QStringLiteral("%1 protocols with gaps").arg(q.value(0).toLongLong());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        const QString prefix = QStringLiteral("benches_%1_").arg(n);
        say(qPrintable(prefix + QStringLiteral("stored")),
            QStringLiteral("%1 queued, %2 acknowledged, %3 on the server (%4 distinct), %5 still waiting, %6 refused")
                .arg(queued)
                .arg(acknowledged)
                .arg(onServer)
                .arg(distinct)
                .arg(waiting)
                .arg(failed));
        say(qPrintable(prefix + QStringLiteral("gaps")), gaps);
        say(qPrintable(prefix + QStringLiteral("latency")), latency.text());
        say(qPrintable(prefix + QStringLiteral("keystroke")), keys.text());
        say(qPrintable(prefix + QStringLiteral("head_click")), heads.text());
        say(qPrintable(prefix + QStringLiteral("longest_turn")), turns.text());
        say(qPrintable(prefix + QStringLiteral("server_cpu")), QString::number(cpuShare, 'f', 1) + QStringLiteral(" % of one core"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    // A bench: --bench index host port database seconds folder
    if (argc == 8 && qstrcmp(argv[1], "--bench") == 0) {
        QCoreApplication app(argc, argv);
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = QString::fromLocal8Bit(argv[3]);
        settings.port = QByteArray(argv[4]).toInt();
        settings.database = QString::fromLocal8Bit(argv[5]);
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = settings.host + QStringLiteral("/no-password-file");
        return runBench(QByteArray(argv[2]).toInt(), settings, QByteArray(argv[6]).toInt(), QString::fromLocal8Bit(argv[7]));
    }
    // Fills a database of a server started by hand: --fill host port database records
    if (argc == 6 && qstrcmp(argv[1], "--fill") == 0) {
        QCoreApplication app(argc, argv);
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = QString::fromLocal8Bit(argv[2]);
        settings.port = QByteArray(argv[3]).toInt();
        settings.database = QString::fromLocal8Bit(argv[4]);
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = settings.host + QStringLiteral("/no-password-file");
        return fill(settings, QByteArray(argv[5]).toInt()) ? 0 : 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int records = 1000000;
    int seconds = 60;
    QList<int> counts = {1, 5, 10, 20};
    bool windowOnly = false;
    QStringList at; // host port database of a server filled before

    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--records" && i + 1 < args.size())
            records = args[++i].toInt();
        else if (args[i] == u"--seconds" && i + 1 < args.size())
            seconds = args[++i].toInt();
        else if (args[i] == u"--benches" && i + 1 < args.size()) {
            counts.clear();
            for (const QString &n : args[++i].split(u',', Qt::SkipEmptyParts))
                counts << n.toInt();
        } else if (args[i] == u"--window-only") {
            windowOnly = true;
        } else if (args[i] == u"--at" && i + 3 < args.size()) {
            at = args.mid(i + 1, 3);
            i += 3;
        }
    }
    if (!at.isEmpty()) {
        RecordingPrompts prompts;
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = at[0];
        settings.port = at[1].toInt();
        settings.database = at[2];
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = settings.host + QStringLiteral("/no-password-file");
        QTemporaryDir folder;
        windowPart(settings, folder.path());
        return 0;
    }
    // A message box would stop the measuring: messages are counted and told at the end.
    RecordingPrompts prompts;
    const auto tellMessages = qScopeGuard([&] {
        say("messages", QString::number(prompts.messages.size()));
        for (const RecordingPrompts::Message &m : std::as_const(prompts.messages))
            std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    });
    PgCluster cluster;
    bool skip = false;
    const QString problem = cluster.start(&skip, QStringLiteral("ru_RU.UTF-8"));
    if (!problem.isEmpty()) {
        say("error", problem);
        return skip ? 0 : 1;
    }
    QString error;
    const ArchiveSettings settings = cluster.createDatabase(&error);
    if (!error.isEmpty()) {
        say("error", error);
        return 1;
    }
    QTemporaryDir folder;
    QElapsedTimer t;
    t.start();
    if (!fill(settings, records)) {
        say("error", QStringLiteral("the records could not be made on the server"));
        return 1;
    }
    say("records", QString::number(records));
    say("fill_s", QString::number(t.elapsed() / 1000.0, 'f', 1));
    {
        QProcess version;
        version.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("ls /usr/lib/postgresql | sort -n | tail -n 1")});
        version.waitForFinished();
        say("server", QStringLiteral("PostgreSQL ") + QString::fromLocal8Bit(version.readAllStandardOutput()).trimmed());
    }
    windowPart(settings, folder.path());
    if (!windowOnly)
        benchesPart(cluster, settings, counts, seconds, folder.path());
    return 0;
}
