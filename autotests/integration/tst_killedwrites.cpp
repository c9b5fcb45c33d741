#include "recordslocation.h"
#include "statefile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

// A writer killed with SIGKILL at a random moment leaves the old file or the new one,
// whole, and what it leaves beside them goes at the next start.
class TestKilledWrites : public QObject {
    Q_OBJECT

    static QByteArray contentOf(const QString &folder, char which)
    {
        QProcess writer;
        writer.start(QStringLiteral(RECORD_WRITER), {folder, QString(QLatin1Char(which)), QStringLiteral("once")});
        if (!writer.waitForFinished(30000) || writer.exitCode() != 0)
            return {};
        QFile file(QDir(folder).filePath(StateFile::FileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void aKilledWriteLeavesTheOldOrTheNewFileWhole()
    {
        QTemporaryDir reference;
        QTemporaryDir folder;
        QVERIFY(reference.isValid() && folder.isValid());
        const QByteArray a = contentOf(reference.path(), 'a');
        const QByteArray b = contentOf(reference.path(), 'b');
        QVERIFY(!a.isEmpty() && !b.isEmpty() && a != b);
        QCOMPARE(contentOf(folder.path(), 'a'), a);

        const QString path = QDir(folder.path()).filePath(StateFile::FileName);
        auto *random = QRandomGenerator::global();
        constexpr int Kills = 40;
        int sawA = 0;
        int sawB = 0;
        for (int kill = 0; kill < Kills; ++kill) {
            QProcess writer;
            writer.start(QStringLiteral(RECORD_WRITER), {folder.path(), QStringLiteral("b")});
            QVERIFY(writer.waitForReadyRead(10000));
            QThread::usleep(random->bounded(200000));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray found = file.readAll();
            QVERIFY2(found == a || found == b, qPrintable(QStringLiteral("kill %1 left %2 bytes").arg(kill).arg(found.size())));
            (found == a ? sawA : sawB) += 1;
        }
        qInfo("%d kills: old file %d times, new file %d times", Kills, sawA, sawB);

        setRecordsDirectoryForTests(folder.path());
        const int leftOver = removeLeftOverTemporaries();
        qInfo("temporaries left by the kills and removed: %d", leftOver);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList(StateFile::FileName));
    }

    // The program run as a user whose data folder cannot be made says so at start and
    // closes on SIGTERM, as at a shutdown: no box at close keeps the process waiting.
    void aProgramWithoutAUsableDataFolderEndsOnSigterm_data()
    {
        QTest::addColumn<QString>("home");
        QTest::newRow("HOME unset") << "unset";
        QTest::newRow("a file in the data folder's place") << "file";
        QTest::newRow("a dangling link in the data folder's place") << "link";
    }

    void aProgramWithoutAUsableDataFolderEndsOnSigterm()
    {
        QFETCH(QString, home);
        const passwd *nobody = getpwnam("nobody");
        if (geteuid() != 0 || !nobody || !QFileInfo::exists(QStringLiteral("/usr/bin/setpriv")))
            QSKIP("needs root, the user nobody and setpriv to run the program as a user");
        // The program in a folder the user may not write, so its records go to the user's folder.
        QTemporaryDir place;
        QVERIFY(place.isValid());
        QFile::setPermissions(place.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString program = QDir(place.path()).filePath(QStringLiteral("transformer-bench"));
        QVERIFY(QFile::copy(QStringLiteral(BENCH_PROGRAM), program));
        const QString homeFolder = QDir(place.path()).filePath(QStringLiteral("home"));
        const QString data = homeFolder + QStringLiteral("/.local/share/transformer-bench");
        QVERIFY(QDir().mkpath(QFileInfo(data).path()));
        if (home == QStringLiteral("file"))
            QVERIFY(QFile(data).open(QIODevice::WriteOnly));
        else if (home == QStringLiteral("link"))
            QVERIFY(QFile::link(homeFolder + QStringLiteral("/gone"), data));
        const QString runtime = QDir(place.path()).filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(chown(QFile::encodeName(runtime).constData(), nobody->pw_uid, nobody->pw_gid) == 0);

        QProcess bench;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        if (home != QStringLiteral("unset"))
            environment.insert(QStringLiteral("HOME"), homeFolder);
        bench.setProcessEnvironment(environment);
        bench.start(QStringLiteral("/usr/bin/setpriv"),
                    {QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                     QStringLiteral("--clear-groups"), program});
        QVERIFY(bench.waitForStarted());
        // Long enough for the window to have started; a program that ended already failed.
        QVERIFY2(!bench.waitForFinished(3000), bench.readAllStandardError().constData());
        ::kill(pid_t(bench.processId()), SIGTERM);
        const bool ended = bench.waitForFinished(30000);
        if (!ended) {
            bench.kill();
            bench.waitForFinished();
        }
        QVERIFY2(ended, "the program did not end on SIGTERM");
        QCOMPARE(bench.exitStatus(), QProcess::NormalExit);
        // Nothing was made in the folder's place.
        QVERIFY(!QFileInfo(data).isDir());
    }
};

QTEST_GUILESS_MAIN(TestKilledWrites)
#include "tst_killedwrites.moc"
