// The archive window over a server archive, against a throwaway PostgreSQL cluster: the
// window returns at once and shows "загрузка…" until the server's rows come, searches on
// the server, follows a protocol stored while it is open, and exports the whole list as
// shown with its buttons enabled from the start.

#include "archivefixture.h"
#include "archivelistmodel.h"
#include "archivewindow.h"
#include "operatortyping.h"
#include "pgcluster.h"
#include "protocolarchive.h"
#include "recordingprompts.h"
#include "recordslocation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_ArchiveWindowPg : public QObject {
    Q_OBJECT
public:
    ~tst_ArchiveWindowPg() override { m_cluster.stop(); }

private:
    PgCluster m_cluster;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        bool skip = false;
        const QString error = m_cluster.start(&skip);
        if (skip)
            QSKIP(qPrintable(error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        setRecordsDirectoryForTests(m_dir.path());
    }
    void cleanupTestCase() { setRecordsDirectoryForTests(QString()); }

    void theWindowListsSearchesFollowsAndExportsTheServersRows()
    {
        RecordingPrompts prompts;
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        ProtocolArchive archive(settings);
        archive.enableOutbox(m_dir.filePath(QStringLiteral("outbox.db")));
        QSignalSpy stored(&archive, &ProtocolArchive::recordStored);
        for (const auto &[number, serial, type] : {std::tuple{"17", "4411", "ТМ-630/10"}, std::tuple{"21", "5120", "ТМГ-100/10"},
                                                   std::tuple{"22", "5188", "ТМГ-250/10"}})
            QCOMPARE(archive.store(sampleRecord(number, serial, type)).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 3, 20000);

        ArchiveWindow window(&archive);
        QElapsedTimer shown;
        shown.start();
        window.show();
        // Nothing is waited for: the rows come later, "загрузка…" meanwhile.
        QCOMPARE(window.model->rowCount(), 0);
        QVERIFY(window.model->isLoading());
        QVERIFY(window.loadingLabel->isVisible());
        QCOMPARE(window.loadingLabel->text(), QStringLiteral("загрузка…"));
        QTRY_COMPARE_WITH_TIMEOUT(window.model->rowCount(), 3, 15000);
        QVERIFY(!window.loadingLabel->isVisible());
        QVERIFY(window.xlsxButton->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel->text(), QStringLiteral("Записей в архиве: 3"), 15000);

        typeText(window.filterEdit, QStringLiteral("тмг"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.model->isLoading() && window.model->rowCount() == 2, 15000);

        // A protocol stored while the window is open shows in it.
        QCOMPARE(archive.store(sampleRecord("23", "5190", "ТМГ-400/10")).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(window.model->rowCount(), 3, 15000);

        // With none chosen, the list as shown goes out, read from the server.
        prompts.fileAnswers = {m_dir.filePath(QStringLiteral("list.json"))};
        QVERIFY(window.jsonButton->isEnabled());
        QTest::mouseClick(window.jsonButton, Qt::LeftButton);
        QFile file(m_dir.filePath(QStringLiteral("list.json")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
        QCOMPARE(array.size(), 3);
        QVERIFY2(window.statusLabel->text().startsWith(QStringLiteral("Выгружено записей: 3")), qPrintable(window.statusLabel->text()));
    }
};

QTEST_MAIN(tst_ArchiveWindowPg)
#include "tst_archivewindow_pg.moc"
