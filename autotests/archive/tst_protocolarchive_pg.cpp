#include "archiveoutbox.h"
#include "archivetransfer.h"
#include "pgcluster.h"
#include "protocolarchive.h"
#include "storetests.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <QScopeGuard>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

namespace {

// One protocol's revision, told apart from the others by its mark.
ArchiveRecord markedRecord(int mark)
{
    ArchiveRecord record = sampleRecord(QStringLiteral("7"), QStringLiteral("7007"));
    record.fields.insert(QStringLiteral("QRMark"), QString::number(mark));
    record.moment = record.moment.addSecs(mark);
    return record;
}

// How many records of each mark the server holds.
QMap<QString, int> marksOnServer(const ArchiveSettings &settings)
{
    QMap<QString, int> marks;
    const QString name = QStringLiteral("marks-reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(settings.host);
        db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(settings.user);
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT fields FROM contents"));
            while (query.next()) {
                const QJsonObject fields = QJsonDocument::fromJson(query.value(0).toString().toUtf8()).object();
                marks[fields.value(QStringLiteral("QRMark")).toString()] += 1;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return marks;
}

} // namespace


// The same store and read-back as on SQLite, against a throwaway PostgreSQL cluster on
// a socket in a temporary folder, started here and stopped at the end.
class tst_ProtocolArchivePg : public StoreTests {
    Q_OBJECT
public:
    // A test that ends the run early must not leave the server behind.
    ~tst_ProtocolArchivePg() override { cleanupTestCase(); }

protected:
    ArchiveSettings freshArchive() override
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        if (!error.isEmpty())
            qWarning("createdb: %s", qPrintable(error));
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
    PgCluster m_cluster;
    QTemporaryDir m_local;

private slots:
    void initTestCase()
    {
        bool skip = false;
        const QString error = m_cluster.start(&skip);
        if (skip)
            QSKIP(qPrintable(error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(m_local.isValid());
    }

    void cleanupTestCase() { m_cluster.stop(); }

    // A test that failed with the server stopped leaves it running for the next.
    void init()
    {
        if (!m_cluster.isRunning())
            QVERIFY(m_cluster.startServer().isEmpty());
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

    // The server stops, 20 protocols are produced, the server comes back: each of the
    // 20 is on it once, and the first protocol after the return is stored as well.
    void outboxKeepsWhatTheStoppedServerMissedAndSendsEachOnce()
    {
        const ArchiveSettings settings = freshArchive();
        QVERIFY(m_cluster.stop().isEmpty());
        const QString outboxPath = m_local.filePath(QStringLiteral("outbox-stopped.db"));
        {
            ProtocolArchive archive(settings);
            archive.enableOutbox(outboxPath);
            for (int i = 0; i < 20; ++i) {
                const auto result = archive.store(markedRecord(i));
                QCOMPARE(result.status, ProtocolArchive::StoreResult::Status::Queued);
                QVERIFY(!result.report);
            }
            QCOMPARE(archive.waitingCount(), 20);
            QTRY_VERIFY_WITH_TIMEOUT(!archive.waitingProblem().isEmpty(), 15000);
            QCOMPARE(archive.waitingCount(), 20);

            QSignalSpy stored(&archive, &ProtocolArchive::recordStored);
            const QString started = m_cluster.startServer();
            QVERIFY2(started.isEmpty(), qPrintable(started));
            QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 0, 30000);
            QCOMPARE(stored.size(), 20);
            QVERIFY(archive.waitingProblem().isEmpty());

            QCOMPARE(archive.store(markedRecord(20)).status, ProtocolArchive::StoreResult::Status::Queued);
            QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 21, 15000);
            QCOMPARE(archive.waitingCount(), 0);
        }
        const QMap<QString, int> marks = marksOnServer(settings);
        QCOMPARE(marks.size(), 21);
        for (int i = 0; i <= 20; ++i)
            QCOMPARE(marks.value(QString::number(i)), 1);
    }

    // The server's insert and the outbox's removal are two databases: a kill between
    // them leaves a record that the server has and the outbox still holds. Another bench
    // storing the same protocol meanwhile makes a plain resend a new revision; the key
    // of each record keeps it once.
    void replayKilledAtRandomMomentsSendsEachRecordOnce()
    {
        const ArchiveSettings settings = freshArchive();
        const QString outboxPath = m_local.filePath(QStringLiteral("outbox-killed.db"));
        constexpr int Records = 40;
        {
            ArchiveOutbox outbox(outboxPath);
            for (int i = 0; i < Records; ++i) {
                ArchiveRecord record = markedRecord(i);
                record.sheet1 = QByteArray(256 * 1024, char('a' + i % 26)); // a send that takes a moment
                QVERIFY2(outbox.add(record), qPrintable(outbox.lastError()));
            }
        }
        ProtocolArchive otherBench(settings, ProtocolArchive::ServerAccess::Direct);
        int kills = 0;
        int runs = 0;
        for (; runs < 200; ++runs) {
            const std::optional<int> left = ArchiveOutbox(outboxPath).count();
            QVERIFY(left);
            if (*left == 0)
                break;
            QProcess replay;
            replay.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--replay"), outboxPath, settings.host, QString::number(settings.port),
                          settings.database});
            QVERIFY(replay.waitForStarted());
            // Later and later moments, so the last runs get through.
            const int moment = int(QRandomGenerator::global()->bounded(20, 250)) + runs * 10;
            if (!replay.waitForFinished(moment)) {
                ::kill(pid_t(replay.processId()), SIGKILL);
                QVERIFY(replay.waitForFinished(10000));
                ++kills;
            }
            QVERIFY(otherBench.storeOnce(markedRecord(1000 + runs), QString()).ok());
        }
        QCOMPARE(ArchiveOutbox(outboxPath).count().value_or(-1), 0);
        QVERIFY(kills > 0);
        qInfo("%d replays, %d of them killed", runs, kills);
        const QMap<QString, int> marks = marksOnServer(settings);
        for (int i = 0; i < Records; ++i)
            QVERIFY2(marks.value(QString::number(i)) == 1,
                     qPrintable(QStringLiteral("record %1 is on the server %2 times").arg(i).arg(marks.value(QString::number(i)))));
    }

    // With an outbox the window's reads go to a thread of their own: the list comes by a
    // signal, a record within a time limit, and a stalled server gets a message, not a wait.
    void readsOfTheWindowGoAsideAndGiveUpOnAStalledServer()
    {
        const ArchiveSettings settings = freshArchive();
        ProtocolArchive archive(settings);
        archive.enableOutbox(m_local.filePath(QStringLiteral("outbox-reads.db")));
        QSignalSpy stored(&archive, &ProtocolArchive::recordStored);
        QSignalSpy arrived(&archive, &ProtocolArchive::summariesArrived);
        QCOMPARE(archive.store(markedRecord(1)).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 1, 15000);

        QVERIFY(archive.summaries()); // the read starts
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 15000);
        std::optional<QList<ArchiveSummary>> list = archive.summaries();
        QVERIFY(list);
        QCOMPARE(list->size(), 1);
        const std::optional<ArchiveRecord> record = archive.record(list->at(0).id);
        QVERIFY2(record, qPrintable(archive.lastError()));
        QCOMPARE(record->fields.value(QStringLiteral("QRMark")), QStringLiteral("1"));
        QCOMPARE(record->sheet1, markedRecord(1).sheet1);

        m_cluster.signalServer(SIGSTOP);
        const auto cont = qScopeGuard([this] { m_cluster.signalServer(SIGCONT); });
        QVERIFY(!archive.record(list->at(0).id));
        QVERIFY2(archive.lastError().contains(QStringLiteral("не ответил")), qPrintable(archive.lastError()));
        // The reader still waits on the server: asked again, the archive says so at once.
        QVERIFY(!archive.record(list->at(0).id));
        QVERIFY2(archive.lastError().contains(QStringLiteral("не ответил")), qPrintable(archive.lastError()));
        // A print meanwhile is queued as ever.
        QCOMPARE(archive.store(markedRecord(2)).status, ProtocolArchive::StoreResult::Status::Queued);
        m_cluster.signalServer(SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 2, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(archive.record(list->at(0).id).has_value(), 15000);
    }

    // Benches started together on an empty server (or one bench's sender and reader)
    // all find the archive usable: one makes the schema, the others wait for it.
    void sessionsOpeningAnEmptyServerAtOnceAllSucceed()
    {
        for (int round = 0; round < 5; ++round) {
            const ArchiveSettings settings = freshArchive();
            QList<QThread *> threads;
            QStringList problems;
            QMutex mutex;
            for (int i = 0; i < 4; ++i) {
                threads.append(QThread::create([&] {
                    ProtocolArchive archive(settings, ProtocolArchive::ServerAccess::Direct);
                    if (!archive.open()) {
                        QMutexLocker lock(&mutex);
                        problems.append(archive.lastError());
                    }
                }));
            }
            for (QThread *thread : threads)
                thread->start();
            for (QThread *thread : threads) {
                thread->wait();
                delete thread;
            }
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        }
    }

    // A workshop's file moves to the server once however often it is moved, and a move
    // cut short goes on where it stopped.
    void fileMovedToTheServerIsCopiedOnceEvenWhenRunAgain()
    {
        const QString path = m_local.filePath(QStringLiteral("moved.db"));
        {
            ArchiveSettings file;
            file.database = path;
            ProtocolArchive local(file);
            QVERIFY(local.store(markedRecord(1)).ok());
            QVERIFY(local.store(markedRecord(2)).ok()); // revision 2 of the same protocol
            QCOMPARE(local.store(markedRecord(2)).status, ProtocolArchive::StoreResult::Status::Unchanged);
            ArchiveRecord other = sampleRecord(QStringLiteral("8"), QStringLiteral("8008"));
            other.fields.insert(QStringLiteral("QRMark"), QStringLiteral("3"));
            QVERIFY(local.store(other).ok());
            ArchiveRecord repeat = markedRecord(1); // back to the first texts: a revision of its own
            repeat.moment = repeat.moment.addDays(1);
            QVERIFY(local.store(repeat).ok());
        }
        const ArchiveSettings server = freshArchive();
        ProtocolArchive otherBench(server, ProtocolArchive::ServerAccess::Direct);
        QVERIFY(otherBench.store(markedRecord(50)).ok());

        QList<int> done;
        const ArchiveTransferSummary first = copyArchiveFileToServer(path, server, [&done](int d, int total) {
            done.append(d);
            return total == 4;
        });
        QVERIFY2(first.problem.isEmpty(), qPrintable(first.problem));
        QCOMPARE(first.total, 4);
        QCOMPARE(first.copied, 4);
        QCOMPARE(done, (QList<int>{0, 1, 2, 3, 4}));
        const ArchiveTransferSummary second = copyArchiveFileToServer(path, server);
        QCOMPARE(second.copied, 0);
        QCOMPARE(second.present, 4);
        QMap<QString, int> marks = marksOnServer(server);
        QCOMPARE(marks, (QMap<QString, int>{{"1", 2}, {"2", 1}, {"3", 1}, {"50", 1}}));
        QVERIFY(second.text().contains(QStringLiteral("Уже были на сервере: 4")));

        // Stopped after two, then run again: the other two follow, nothing twice.
        const ArchiveSettings another = freshArchive();
        const ArchiveTransferSummary stopped =
            copyArchiveFileToServer(path, another, [](int d, int) { return d < 2; });
        QVERIFY(stopped.cancelled);
        QCOMPARE(stopped.copied, 2);
        const ArchiveTransferSummary rest = copyArchiveFileToServer(path, another);
        QCOMPARE(rest.copied, 2);
        QCOMPARE(rest.present, 2);
        QCOMPARE(marksOnServer(another), (QMap<QString, int>{{"1", 2}, {"2", 1}, {"3", 1}}));

        const QString missing = m_local.filePath(QStringLiteral("absent.db"));
        QVERIFY(copyArchiveFileToServer(missing, server).problem.contains(QStringLiteral("не найден")));
        QVERIFY(!QFile::exists(missing));
    }

    // A server whose archive this program does not know keeps the records queued, each
    // with the reason, never dropped.
    void recordRefusedForGoodStaysQueuedWithItsReason()
    {
        const ArchiveSettings settings = freshArchive();
        {
            ProtocolArchive newer(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY(newer.open());
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("newer-schema"));
            db.setHostName(settings.host);
            db.setPort(settings.port);
            db.setDatabaseName(settings.database);
            db.setUserName(settings.user);
            QVERIFY(db.open());
            QVERIFY(db.exec(QStringLiteral("UPDATE archive_meta SET value = '9' WHERE name = 'schema_version'"))
                        .lastError()
                        .type()
                    == QSqlError::NoError);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer-schema"));
        const QString outboxPath = m_local.filePath(QStringLiteral("outbox-refused.db"));
        ProtocolArchive archive(settings);
        archive.enableOutbox(outboxPath);
        QCOMPARE(archive.store(markedRecord(1)).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(archive.waitingProblem().contains(QStringLiteral("более новой версией")), 15000);
        QCOMPARE(archive.waitingCount(), 1);
        archive.stopSender();
        std::optional<ArchiveOutbox::Entry> entry;
        ArchiveOutbox outbox(outboxPath);
        QVERIFY(outbox.first(&entry));
        QVERIFY(entry);
        QVERIFY2(entry->problem.contains(QStringLiteral("более новой версией")), qPrintable(entry->problem));
        QCOMPARE(entry->record.fields.value(QStringLiteral("QRMark")), QStringLiteral("1"));
    }
};

// Run as "--replay outbox host port database", the program sends an outbox as the
// archive's sender does, so the test can kill it at any moment.
int main(int argc, char *argv[])
{
    if (argc == 6 && qstrcmp(argv[1], "--replay") == 0) {
        QCoreApplication app(argc, argv);
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = QString::fromLocal8Bit(argv[3]);
        settings.port = QByteArray(argv[4]).toInt();
        settings.database = QString::fromLocal8Bit(argv[5]);
        settings.user = QStringLiteral("postgres");
        settings.passwordFile = settings.host + QStringLiteral("/no-password-file");
        ArchiveSender sender(settings, QString::fromLocal8Bit(argv[2]));
        sender.send();
        return 0;
    }
    QCoreApplication app(argc, argv);
    tst_ProtocolArchivePg test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_protocolarchive_pg.moc"
