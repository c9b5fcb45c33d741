#include "protocolarchive.h"
#include "storetests.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// The newest installed server binary of that name, or the one on the PATH.
QString serverBinary(const QString &name)
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : found) {
        const QString path = versions.filePath(version + QStringLiteral("/bin/") + name);
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace

// The same store and read-back as on SQLite, against a throwaway PostgreSQL cluster on
// a socket in a temporary folder, started here and stopped at the end. The server
// refuses to run as root, so as root it runs as the user "postgres".
class tst_ProtocolArchivePg : public StoreTests {
    Q_OBJECT
public:
    // A test that ends the run early must not leave the server behind.
    ~tst_ProtocolArchivePg() override { cleanupTestCase(); }

protected:
    ArchiveSettings freshArchive() override
    {
        const QString name = QStringLiteral("archive_%1").arg(++m_databases);
        const QString error = runAsServerUser(m_createdb, {"-h", m_dir.path(), "-p", QString::number(m_port),
                                                           "-U", QStringLiteral("postgres"), name});
        if (!error.isEmpty())
            qWarning("createdb: %s", qPrintable(error));
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = m_dir.path();
        settings.port = m_port;
        settings.database = name;
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = m_dir.filePath(QStringLiteral("no-password-file"));
        return settings;
    }

    std::unique_ptr<ProtocolArchive> openFresh() override
    {
        auto archive = std::make_unique<ProtocolArchive>(freshArchive());
        QSignalSpy checked(archive.get(), &ProtocolArchive::availabilityChanged);
        if (archive->isChecking())
            checked.wait(10000);
        return archive;
    }

private:
    QString runAsServerUser(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        if (m_asRoot)
            process.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", program} + arguments);
        else
            process.start(program, arguments);
        if (!process.waitForFinished(120000))
            return QStringLiteral("%1 did not finish").arg(program);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return QString::fromLocal8Bit(process.readAllStandardError() + process.readAllStandardOutput());
        return {};
    }

    QTemporaryDir m_dir;
    QString m_createdb;
    QString m_pgctl;
    int m_port = 0;
    int m_databases = 0;
    bool m_asRoot = false;
    bool m_started = false;

private slots:
    void initTestCase()
    {
        const QString initdb = serverBinary(QStringLiteral("initdb"));
        m_pgctl = serverBinary(QStringLiteral("pg_ctl"));
        m_createdb = serverBinary(QStringLiteral("createdb"));
        if (initdb.isEmpty() || m_pgctl.isEmpty() || m_createdb.isEmpty())
            QSKIP("PostgreSQL server binaries (initdb, pg_ctl, createdb) are not installed: scripts/deps.sh installs them");
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("The Qt SQL driver QPSQL is not installed: scripts/deps.sh installs it");
        QVERIFY(m_dir.isValid());
        m_asRoot = geteuid() == 0;
        if (m_asRoot) {
            const passwd *user = getpwnam("postgres");
            if (!user)
                QSKIP("Running as root without a user \"postgres\" to run the server as");
            QVERIFY(chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) == 0);
        }
        m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
        const QString data = m_dir.filePath(QStringLiteral("data"));
        QString error = runAsServerUser(initdb, {"-D", data, "-A", "trust", "-U", "postgres", "-E", "UTF8",
                                                 "--locale=C", "--no-sync"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // Only a socket in the private folder: nothing listens on the network.
        error = runAsServerUser(m_pgctl, {"-D", data, "-l", m_dir.filePath(QStringLiteral("server.log")), "-w", "-t", "60",
                                          "-o", QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off")
                                                    .arg(m_dir.path()).arg(m_port),
                                          "start"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_started = true;
    }

    void cleanupTestCase()
    {
        if (m_started)
            runAsServerUser(m_pgctl, {"-D", m_dir.filePath(QStringLiteral("data")), "-m", "fast", "-w", "stop"});
        m_started = false;
    }

    void serverArchiveIsReachedOnlyAfterItsCheck()
    {
        ProtocolArchive archive(freshArchive());
        QVERIFY(archive.isChecking());
        QSignalSpy checked(&archive, &ProtocolArchive::availabilityChanged);
        QVERIFY(checked.wait(10000));
        QVERIFY2(checked.at(0).at(0).toBool(), qPrintable(checked.at(0).at(1).toString()));
        const auto stored = archive.store(sampleRecord());
        QVERIFY2(stored.ok(), qPrintable(stored.message));
        QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
    }
};

QTEST_GUILESS_MAIN(tst_ProtocolArchivePg)
#include "tst_protocolarchive_pg.moc"
