#include "archivefixture.h"
#include "archiveoutbox.h"
#include "archivewindow.h"
#include "protocolarchive.h"
#include "recordingprompts.h"
#include "recordslocation.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The window "Архив протоколов" names the records the server refused, quietly, with
// the server's reason, and sends them again when asked.
class tst_SetAsideWindow : public QObject {
    Q_OBJECT

private slots:
    void refusedRecordsAreNamedAndSentAgainOnDemand()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        setRecordsDirectoryForTests(dir.path());
        const QString path = ArchiveOutbox::defaultPath();
        {
            ArchiveOutbox outbox(path);
            QString refused;
            QVERIFY(outbox.add(sampleRecord(QStringLiteral("17"), QStringLiteral("4411")), &refused));
            QVERIFY(outbox.add(sampleRecord(QStringLiteral("18"), QStringLiteral("4412"))));
            QVERIFY(outbox.setAside(refused, QStringLiteral("ERROR:  value too long for type character varying(40)")));
        }
        // A server nobody listens at: the records stay in the outbox all along.
        ArchiveSettings server;
        server.driver = ArchiveSettings::Driver::PostgreSQL;
        server.host = dir.filePath(QStringLiteral("no-server"));
        server.port = 5998;
        server.database = QStringLiteral("bench_archive");
        server.user = QStringLiteral("bench");
        server.passwordFile = dir.filePath(QStringLiteral("no-password-file"));
        {
            // The list the server cannot give is said in a box of its own, recorded here.
            RecordingPrompts prompts;
            ProtocolArchive archive(server);
            archive.enableOutbox(path);
            ArchiveWindow window(&archive);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(archive.waitingCount(), 1);
            const QString shown = window.archiveLabel->text();
            QVERIFY2(shown.contains(QStringLiteral("Не приняты сервером, отложены: 1")), qPrintable(shown));
            QVERIFY2(shown.contains(QStringLiteral("протокол №17, зав. № 4411 — ERROR: value too long")), qPrintable(shown));
            QVERIFY(window.retryButton->isVisible());
            if (!qEnvironmentVariableIsEmpty("SETASIDE_PICTURE"))
                window.grab().save(qEnvironmentVariable("SETASIDE_PICTURE"));

            QTest::mouseClick(window.retryButton, Qt::LeftButton);
            QVERIFY(archive.setAsideRecords().isEmpty());
            QCOMPARE(archive.waitingCount(), 2);
            QVERIFY(!window.retryButton->isVisible());
            QVERIFY2(!window.archiveLabel->text().contains(QStringLiteral("отложены")), qPrintable(window.archiveLabel->text()));
            archive.stopSender(1000);
        }
        QCOMPARE(ArchiveOutbox(path).count(), std::optional<int>(2));
        setRecordsDirectoryForTests(QString());
    }
};

QTEST_MAIN(tst_SetAsideWindow)
#include "tst_setasidewindow.moc"
