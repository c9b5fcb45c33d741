// The longest stall of the event loop while the program works with an archive server that
// does not answer as it should: one that only listens (accepts and never answers), one
// whose tables another session holds locked, and one that stalls (SIGSTOP) after the
// program has reached it. A healthy server gives the baseline. Aim: under 100 ms each.
//
// In each case the archive is made, the window "Архив протоколов" is shown, ten protocols
// are stored at 200 ms intervals and the list is read again every half second, all from
// the event loop, while a 1 ms timer measures the gaps between its turns. Closing (the
// workers are given at most a second) is timed apart.
//
// Prints "name value" lines (milliseconds) for benchmarks/run.sh, a summary on stderr.
// Needs the PostgreSQL server binaries (scripts/deps.sh); as root it runs the server as
// the user "postgres".

#include "archivefixture.h"
#include "archivewindow.h"
#include "pgcluster.h"
#include "prompts.h"
#include "protocolarchive.h"
#include "recordslocation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Messages are counted and printed, never shown: a modal box would stop the measure.
class CountingPrompts : public Prompts {
public:
    void showMessage(QWidget *, const QString &, const QString &text, PromptIcon) override
    {
        ++messages;
        std::fprintf(stderr, "  message: %s\n", qPrintable(QString(text).replace(u'\n', u' ')));
    }
    QString openFileName(QWidget *, const FileRequest &) override { return {}; }
    QString saveFileName(QWidget *, const FileRequest &) override { return {}; }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
    bool setUpPrinter(QWidget *, QPrinter *) override { return false; }
    int messages = 0;
};

// The longest time between two turns of a 1 ms timer.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.nsecsElapsed());
            m_clock.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    double stopMs()
    {
        m_longest = std::max(m_longest, m_clock.nsecsElapsed());
        m_timer.stop();
        return m_longest / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

struct Outcome {
    double stallMs = 0;
    double slowestStepMs = 0;
    QString slowestStep;
    double closeMs = 0;
    int queued = 0;
};

// Runs the work of one case in the event loop; `duringWork` runs one second in (the
// moment a server starts to stall).
Outcome runCase(const ArchiveSettings &settings, const QString &outboxPath, const std::function<void()> &duringWork)
{
    Outcome outcome;
    StallMeter meter;
    QEventLoop loop;
    std::unique_ptr<ProtocolArchive> archive;
    std::unique_ptr<ArchiveWindow> window;
    // Which of the program's own steps took longest, to name the stall's cause.
    const auto timed = [&outcome](const QString &name, const std::function<void()> &step) {
        QElapsedTimer clock;
        clock.start();
        step();
        const double ms = clock.nsecsElapsed() / 1e6;
        if (ms > outcome.slowestStepMs) {
            outcome.slowestStepMs = ms;
            outcome.slowestStep = name;
        }
    };
    meter.start();
    QTimer::singleShot(10, [&] {
        timed(QStringLiteral("making the archive and its outbox"), [&] {
            archive = std::make_unique<ProtocolArchive>(settings);
            archive->enableOutbox(outboxPath);
        });
        timed(QStringLiteral("showing the window"), [&] {
            window = std::make_unique<ArchiveWindow>(archive.get());
            window->show();
        });
    });
    if (duringWork)
        QTimer::singleShot(1000, duringWork);
    for (int i = 0; i < 10; ++i) {
        QTimer::singleShot(1200 + i * 200, [&, i] {
            timed(QStringLiteral("storing a protocol"), [&] {
                const auto result = recordInArchive(nullptr, *archive, sampleRecord(QString::number(100 + i)));
                outcome.queued += result.status == ProtocolArchive::StoreResult::Status::Queued;
            });
        });
    }
    for (int t = 1500; t < 4500; t += 500)
        QTimer::singleShot(t, [&] { timed(QStringLiteral("reading the list"), [&] { window->reload(); }); });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    outcome.stallMs = meter.stopMs();
    QElapsedTimer close;
    close.start();
    window.reset();
    archive->stopSender(1000);
    archive.reset();
    outcome.closeMs = close.nsecsElapsed() / 1e6;
    return outcome;
}

void print(const char *key, const char *label, const Outcome &o)
{
    std::printf("%s_stall_ms %.1f\n%s_close_ms %.1f\n", key, o.stallMs, key, o.closeMs);
    std::fprintf(stderr, "%-46s longest stall %6.1f ms, close %7.1f ms, %d of 10 queued (aim 100); "
                 "slowest step: %s, %.1f ms\n",
                 label, o.stallMs, o.closeMs, o.queued, qPrintable(o.slowestStep), o.slowestStepMs);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());
    CountingPrompts prompts;
    Prompts::install(&prompts);

    // The first window of the process pays for fonts and styles once; not the archive's cost.
    {
        ProtocolArchive warmUp(ArchiveSettings::sqliteDefault());
        ArchiveWindow window(&warmUp);
        window.show();
        QCoreApplication::processEvents();
    }

    // A server that only listens: the system completes each connection into the backlog,
    // and nothing ever answers on it.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, 64) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::fprintf(stderr, "no listening socket\n");
        return 1;
    }
    ArchiveSettings listening;
    listening.driver = ArchiveSettings::Driver::PostgreSQL;
    listening.host = QStringLiteral("127.0.0.1");
    listening.port = ntohs(address.sin_port);
    listening.database = QStringLiteral("archive");
    listening.user = QStringLiteral("bench");
    listening.passwordFile = dir.filePath(QStringLiteral("no-password-file"));
    print("listening", "server that only listens", runCase(listening, dir.filePath(QStringLiteral("o1.db")), {}));

    PgCluster cluster;
    bool skip = false;
    const QString error = cluster.start(&skip);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "PostgreSQL: %s\n", qPrintable(error));
        return 1;
    }
    const auto freshServer = [&cluster] {
        const ArchiveSettings settings = cluster.createDatabase();
        ProtocolArchive creator(settings, ProtocolArchive::ServerAccess::Direct);
        creator.open();
        return settings;
    };

    print("healthy", "healthy server", runCase(freshServer(), dir.filePath(QStringLiteral("o2.db")), {}));

    // Another session holds the archive's tables for the whole case.
    const ArchiveSettings locked = freshServer();
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("lock-holder"));
        holder.setHostName(locked.host);
        holder.setPort(locked.port);
        holder.setDatabaseName(locked.database);
        holder.setUserName(locked.user);
        holder.open();
        QSqlQuery lock(holder);
        lock.exec(QStringLiteral("BEGIN"));
        if (!lock.exec(QStringLiteral("LOCK TABLE protocols, revisions, contents IN ACCESS EXCLUSIVE MODE")))
            std::fprintf(stderr, "lock: %s\n", qPrintable(lock.lastError().text()));
        print("lock", "tables locked by another session", runCase(locked, dir.filePath(QStringLiteral("o3.db")), {}));
        lock.exec(QStringLiteral("ROLLBACK"));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lock-holder"));

    // Reached first, then stopped in its tracks one second in.
    const ArchiveSettings stalling = freshServer();
    const Outcome stalled = runCase(stalling, dir.filePath(QStringLiteral("o4.db")),
                                    [&cluster] { cluster.signalServer(SIGSTOP); });
    cluster.signalServer(SIGCONT);
    print("stalled", "server stalled (SIGSTOP) after it was reached", stalled);

    ::close(listener);
    Prompts::install(nullptr);
    setRecordsDirectoryForTests(QString());
    return 0;
}
