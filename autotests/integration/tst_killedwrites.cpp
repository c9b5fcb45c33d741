#include "recordslocation.h"
#include "statefile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
};

QTEST_GUILESS_MAIN(TestKilledWrites)
#include "tst_killedwrites.moc"
