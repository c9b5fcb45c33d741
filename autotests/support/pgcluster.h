#pragma once

#include "archivesettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

// A throwaway PostgreSQL cluster on a socket in a temporary folder: started, stopped and
// started again by the test, and stopped for good when it goes. The server refuses to
// run as root, so as root it runs as the user "postgres".
class PgCluster {
public:
    ~PgCluster() { stop(); }

    // Empty when the cluster runs; else why not. `*skip` tells a missing installation
    // (nothing to test against) from a failure. `locale` is the cluster's regional setting.
    QString start(bool *skip, const QString &locale = QStringLiteral("C"))
    {
        *skip = false;
        const QString initdb = serverBinary(QStringLiteral("initdb"));
        m_pgctl = serverBinary(QStringLiteral("pg_ctl"));
        m_createdb = serverBinary(QStringLiteral("createdb"));
        if (initdb.isEmpty() || m_pgctl.isEmpty() || m_createdb.isEmpty()) {
            *skip = true;
            return QStringLiteral("PostgreSQL server binaries (initdb, pg_ctl, createdb) are not installed: "
                                  "scripts/deps.sh installs them");
        }
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            *skip = true;
            return QStringLiteral("The Qt SQL driver QPSQL is not installed: scripts/deps.sh installs it");
        }
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        m_asRoot = geteuid() == 0;
        if (m_asRoot) {
            const passwd *user = getpwnam("postgres");
            if (!user) {
                *skip = true;
                return QStringLiteral("Running as root without a user \"postgres\" to run the server as");
            }
            if (chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0)
                return QStringLiteral("chown failed");
        }
        m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
        const QString error = runAsServerUser(initdb, {"-D", dataDir(), "-A", "trust", "-U", "postgres", "-E", "UTF8",
                                                       QStringLiteral("--locale=") + locale, "--no-sync"});
        if (!error.isEmpty())
            return error;
        return startServer();
    }

    // Only a socket in the private folder: nothing listens on the network. `options` are
    // further server settings ("-c name=value ...").
    QString startServer(const QString &options = QString())
    {
        const QString error = runAsServerUser(m_pgctl, {"-D", dataDir(), "-l", m_dir.filePath(QStringLiteral("server.log")),
                                                        "-w", "-t", "60", "-o",
                                                        QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off %3")
                                                            .arg(m_dir.path()).arg(m_port).arg(options),
                                                        "start"});
        m_started = error.isEmpty();
        return error;
    }

    bool isRunning() const { return m_started; }

    QString stop()
    {
        if (!m_started)
            return {};
        m_started = false;
        return runAsServerUser(m_pgctl, {"-D", dataDir(), "-m", "fast", "-w", "stop"});
    }

    // The server's main process, for a test that stops it in its tracks (SIGSTOP).
    pid_t serverPid() const
    {
        QFile file(dataDir() + QStringLiteral("/postmaster.pid"));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return pid_t(file.readLine().trimmed().toInt());
    }

    // Stops (SIGSTOP) or continues (SIGCONT) the server and every process it started: a
    // server that stalls, answering nothing while its sockets stay open.
    void signalServer(int signal) const
    {
        const pid_t main = serverPid();
        if (main <= 0)
            return;
        ::kill(main, signal);
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            bool number = false;
            const pid_t pid = pid_t(entry.toInt(&number));
            if (!number)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces, so count from its end.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1 && rest[1].toInt() == main)
                ::kill(pid, signal);
        }
    }

    // A new empty database and the settings that reach it; in the cluster's UTF8, or in
    // `encoding` ("WIN1251") as a workshop's older server may keep it.
    ArchiveSettings createDatabase(QString *error = nullptr, const QString &encoding = QString())
    {
        const QString name = QStringLiteral("archive_%1").arg(++m_databases);
        QStringList arguments{"-h", m_dir.path(), "-p", QString::number(m_port), "-U", QStringLiteral("postgres")};
        if (!encoding.isEmpty())
            arguments << "-E" << encoding << "-T" << "template0";
        const QString problem = runAsServerUser(m_createdb, arguments << name);
        if (error)
            *error = problem;
        return settingsFor(name);
    }

    ArchiveSettings settingsFor(const QString &database) const
    {
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = m_dir.path();
        settings.port = m_port;
        settings.database = database;
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = m_dir.filePath(QStringLiteral("no-password-file"));
        return settings;
    }

    QString socketFolder() const { return m_dir.path(); }
    int port() const { return m_port; }

private:
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }

    // The newest installed server binary of that name, or the one on the PATH.
    static QString serverBinary(const QString &name)
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
};
