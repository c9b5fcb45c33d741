#include "archivelistsource.h"
#include "archiveoutbox.h"
#include "archivetransfer.h"
#include "pgcluster.h"
#include "protocolarchive.h"
#include "serverlistsource.h"
#include "storetests.h"

#include <QDir>
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

#include <array>
#include <functional>
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

// Runs `statements` on the server in one session of its own; false when one fails.
bool execOnServer(const ArchiveSettings &settings, const QStringList &statements, QString *error = nullptr)
{
    const QString name = QStringLiteral("statements-runner");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(settings.host);
        db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(settings.user);
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!ok)
                break;
            ok = query.exec(statement);
            if (!ok && error)
                *error = query.lastError().text();
        }
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// Records made at a moment of their own, so the list's order is theirs.
ArchiveRecord recordWith(int mark, const std::function<void(ArchiveRecord &)> &change)
{
    ArchiveRecord record = markedRecord(mark);
    change(record);
    return record;
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

    // The records of one serial number come from the reader's thread of a window's archive.
    void theRecordsOfOneSerialNumberComeByAnIndexOnTheReadersThread()
    {
        const ArchiveSettings settings = freshArchive();
        {
            ProtocolArchive direct(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY(direct.store(sampleRecord(QStringLiteral("1"), QStringLiteral("Аб-7"))).ok());
            QVERIFY(direct.store(sampleRecord(QStringLiteral("2"), QStringLiteral("аб-7 "))).ok());
            QVERIFY(direct.store(sampleRecord(QStringLiteral("3"), QStringLiteral("аб-77"))).ok());
        }
        ProtocolArchive archive(settings);
        archive.enableOutbox(m_local.filePath(QStringLiteral("outbox-serial.db")));
        const std::optional<QList<ArchiveSummary>> found = archive.summariesOfSerial(QStringLiteral("АБ-7"));
        QVERIFY2(found, qPrintable(archive.lastError()));
        QCOMPARE(found->size(), 2);
        archive.stopSender(1000);
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
            // Counted from the outbox once each write is told: the count may lag a moment.
            QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 20, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!archive.waitingProblem().isEmpty(), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 20, 5000);

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
    // The judgement goes with its record through the outbox; the approval is given on the
    // server; a file archive moved to the server brings its approvals; the server's list
    // carries the verdicts and keeps only those that want attention when asked.
    void judgementTravelsThroughTheOutboxAndAFileMove()
    {
        const ArchiveSettings settings = freshArchive();
        ProtocolArchive archive(settings);
        archive.enableOutbox(m_local.filePath(QStringLiteral("outbox-judged.db")));
        QSignalSpy stored(&archive, &ProtocolArchive::recordStored);
        ArchiveRecord record = markedRecord(1);
        record.judgement = sampleJudgement();
        QCOMPARE(archive.store(record).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 1, 15000);
        const qint64 id = stored.at(0).at(0).toLongLong();
        QTRY_VERIFY_WITH_TIMEOUT(archive.record(id).has_value(), 15000);
        QCOMPARE(archive.record(id)->judgement.rows, record.judgement.rows);
        QTRY_VERIFY_WITH_TIMEOUT(archive.latestRevisionId(QStringLiteral("7"), QStringLiteral("7007")) == id, 15000);
        QCOMPARE(archive.approve(id, QStringLiteral("Петров П.П."), 5000), QString());
        QCOMPARE(archive.record(id)->approvals.size(), 1);
        // Printed again with a new judgement: the approved revision keeps its own.
        ArchiveRecord again = record;
        again.judgement = sampleJudgement(QStringLiteral("9.9.9"));
        QCOMPARE(archive.store(again).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 0, 15000);
        QCOMPARE(archive.record(id)->judgement.programVersion, record.judgement.programVersion);

        const QString path = m_local.filePath(QStringLiteral("judged-file.db"));
        qint64 localId = 0;
        {
            ArchiveSettings file;
            file.database = path;
            ProtocolArchive local(file);
            ArchiveRecord other = sampleRecord(QStringLiteral("8"), QStringLiteral("8008"));
            other.judgement = sampleJudgement();
            localId = local.store(other).id;
            QCOMPARE(local.approve(localId, QStringLiteral("Сидоров С.С."), 6000), QString());
            QCOMPARE(local.withdrawApproval(localId, QStringLiteral("Сидоров С.С."), QStringLiteral("описка"), 7000), QString());
            QCOMPARE(local.approve(localId, QStringLiteral("Сидоров С.С."), 8000), QString());
        }
        const ArchiveTransferSummary moved = copyArchiveFile(path, settings);
        QVERIFY2(moved.problem.isEmpty(), qPrintable(moved.problem));
        QCOMPARE(moved.copied, 1);
        ProtocolArchive direct(settings, ProtocolArchive::ServerAccess::Direct);
        const std::optional<qint64> movedId = direct.latestRevisionId(QStringLiteral("8"), QStringLiteral("8008"));
        QVERIFY(movedId && *movedId > 0);
        const std::optional<ArchiveRecord> back = direct.record(*movedId);
        QVERIFY(back);
        QCOMPARE(back->approvals.size(), 3);
        QCOMPARE(approvalInForce(back->approvals)->msecs, 8000);
        QCOMPARE(back->judgement.rows, sampleJudgement().rows);

        ServerListSource list(settings);
        QSignalSpy rows(&list, &AsyncArchiveListSource::rowsRead);
        ArchiveListQuery query;
        query.attentionOnly = true;
        list.ask(query, std::nullopt, 50);
        QTRY_COMPARE_WITH_TIMEOUT(rows.size(), 1, 15000);
        QVERIFY2(rows.at(0).at(2).toBool(), qPrintable(rows.at(0).at(3).toString()));
        const QList<ArchiveSummary> page = rows.at(0).at(1).value<QList<ArchiveSummary>>();
        QCOMPARE(page.size(), 2);
        for (const ArchiveSummary &row : page) {
            QCOMPARE(row.verdictText(), QStringLiteral("не соответствует: 1, требует анализа: 1"));
            QVERIFY(!row.approvedBy.isEmpty());
        }
        list.stop();
    }

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
        const ArchiveTransferSummary first = copyArchiveFile(path, server, [&done](int d, int total) {
            done.append(d);
            return total == 4;
        });
        QVERIFY2(first.problem.isEmpty(), qPrintable(first.problem));
        QCOMPARE(first.total, 4);
        QCOMPARE(first.copied, 4);
        QCOMPARE(done, (QList<int>{0, 1, 2, 3, 4}));
        const ArchiveTransferSummary second = copyArchiveFile(path, server);
        QCOMPARE(second.copied, 0);
        QCOMPARE(second.present, 4);
        QMap<QString, int> marks = marksOnServer(server);
        QCOMPARE(marks, (QMap<QString, int>{{"1", 2}, {"2", 1}, {"3", 1}, {"50", 1}}));
        QVERIFY(second.text().contains(QStringLiteral("Уже были на сервере: 4")));

        // Stopped after two, then run again: the other two follow, nothing twice.
        const ArchiveSettings another = freshArchive();
        const ArchiveTransferSummary stopped =
            copyArchiveFile(path, another, [](int d, int) { return d < 2; });
        QVERIFY(stopped.cancelled);
        QCOMPARE(stopped.copied, 2);
        const ArchiveTransferSummary rest = copyArchiveFile(path, another);
        QCOMPARE(rest.copied, 2);
        QCOMPARE(rest.present, 2);
        QCOMPARE(marksOnServer(another), (QMap<QString, int>{{"1", 2}, {"2", 1}, {"3", 1}}));

        const QString missing = m_local.filePath(QStringLiteral("absent.db"));
        QVERIFY(copyArchiveFile(missing, server).problem.contains(QStringLiteral("не найден")));
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

    // A record the server refuses for what it holds (here a rule of the server's own)
    // waits aside with the server's reason, and the records behind it go on; asked for
    // again once the rule is gone, it goes too.
    void aRecordRefusedForWhatItHoldsIsSetAsideAndTheOthersGo()
    {
        const ArchiveSettings settings = freshArchive();
        {
            ProtocolArchive made(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY(made.open());
        }
        QString error;
        QVERIFY2(execOnServer(settings, {QStringLiteral("ALTER TABLE revisions ADD CONSTRAINT no_refused_type "
                                                        "CHECK (type <> 'отказ')")},
                              &error),
                 qPrintable(error));
        ProtocolArchive archive(settings);
        archive.enableOutbox(m_local.filePath(QStringLiteral("outbox-aside.db")));
        QSignalSpy stored(&archive, &ProtocolArchive::recordStored);
        const ArchiveRecord refused = recordWith(1, [](ArchiveRecord &r) { r.type = QStringLiteral("отказ"); });
        for (const ArchiveRecord &record : {refused, markedRecord(2), markedRecord(3)})
            QCOMPARE(archive.store(record).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(archive.setAsideRecords().size(), 1, 5000);
        QCOMPARE(archive.waitingCount(), 0);
        const OutboxSetAside aside = archive.setAsideRecords().first();
        QVERIFY2(aside.problem.contains(QStringLiteral("no_refused_type")), qPrintable(aside.problem));
        QCOMPARE(aside.type, QStringLiteral("отказ"));
        QCOMPARE(aside.protocolNumber, refused.protocolNumber);
        QCOMPARE(marksOnServer(settings), (QMap<QString, int>{{"2", 1}, {"3", 1}}));
        // Later records are not held up either.
        QCOMPARE(archive.store(markedRecord(4)).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 3, 20000);
        QCOMPARE(archive.setAsideRecords().size(), 1);

        QVERIFY(execOnServer(settings, {QStringLiteral("ALTER TABLE revisions DROP CONSTRAINT no_refused_type")}));
        archive.retrySetAside();
        QVERIFY(archive.setAsideRecords().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 4, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 0, 5000);
        QVERIFY(archive.setAsideRecords().isEmpty());
        QCOMPARE(marksOnServer(settings), (QMap<QString, int>{{"1", 1}, {"2", 1}, {"3", 1}, {"4", 1}}));
    }

    // What the program stores in the list's columns fits the server's index rows, and no
    // text carries a NUL: such records reach the server, their whole texts in the fields,
    // and the same record again is still known as a repeat.
    void textsTheServerCouldNotTakeAreBoundedAndCleaned_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("kept");
        const QString longFirm(2400, QChar(u'Ф'));
        QTest::newRow("firm of 2400 characters")
            << "firm" << longFirm << QString(ProtocolArchive::FirmLimit - 1, QChar(u'Ф')) + QChar(u'…');
        QTest::newRow("serial number of 4000 characters")
            << "serial" << QString(4000, QChar(u'7')) << QString(ProtocolArchive::SerialNumberLimit - 1, QChar(u'7')) + QChar(u'…');
        QTest::newRow("type of 3000 characters")
            << "type" << QString(3000, QChar(u'Т')) << QString(ProtocolArchive::TypeLimit - 1, QChar(u'Т')) + QChar(u'…');
        QTest::newRow("NUL in the firm")
            << "firm" << QStringLiteral("ООО") + QChar(u'\0') + QStringLiteral(" Ромашка") << QStringLiteral("ООО Ромашка");
        QTest::newRow("NUL in a field")
            << "field" << QStringLiteral("1240") + QChar(u'\0') + QStringLiteral(".5") << QStringLiteral("1240.5");
        QTest::newRow("NUL in a protocol number")
            << "protocol" << QStringLiteral("12") + QChar(u'\0') << QStringLiteral("12");
    }

    void textsTheServerCouldNotTakeAreBoundedAndCleaned()
    {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, kept);
        const ArchiveSettings settings = freshArchive();
        ProtocolArchive archive(settings, ProtocolArchive::ServerAccess::Direct);
        QVERIFY(archive.open());
        // The list's indexes, as the window makes them, and one of every list column.
        SqlArchiveListSource list(settings);
        QVERIFY2(list.count(), qPrintable(list.lastError()));
        QVERIFY(execOnServer(settings, {QStringLiteral("CREATE INDEX IF NOT EXISTS every_list_column ON revisions "
                                                       "(stored_at, id, protocol_number, type, serial_number, revision, firm)")}));
        const ArchiveRecord record = recordWith(1, [&](ArchiveRecord &r) {
            if (column == QStringLiteral("firm"))
                r.firm = value;
            else if (column == QStringLiteral("serial"))
                r.serialNumber = value;
            else if (column == QStringLiteral("type"))
                r.type = value;
            else if (column == QStringLiteral("protocol"))
                r.protocolNumber = value;
            else
                r.fields.insert(QStringLiteral("QRPxx00"), value);
        });
        const ProtocolArchive::StoreResult result = archive.storeOnce(record, QStringLiteral("bounded"));
        QVERIFY2(result.status == ProtocolArchive::StoreResult::Status::Stored, qPrintable(result.message));
        const std::optional<ArchiveRecord> back = archive.record(result.id);
        QVERIFY(back);
        const QString shown = column == QStringLiteral("firm")     ? back->firm
                            : column == QStringLiteral("serial")   ? back->serialNumber
                            : column == QStringLiteral("type")     ? back->type
                            : column == QStringLiteral("protocol") ? back->protocolNumber
                                                                   : back->fields.value(QStringLiteral("QRPxx00"));
        QCOMPARE(shown, kept);
        QCOMPARE(back->sheet1, record.sheet1);
        QCOMPARE(archive.store(record).status, ProtocolArchive::StoreResult::Status::Unchanged);
    }

    // A workshop's older server keeps its texts in Windows-1251: a character it lacks
    // ("Ω") does not stop the record. The texts keep it (escaped in their JSON), the
    // list's columns show "?" in its place.
    void aWindows1251ServerTakesCharactersItLacks()
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error, QStringLiteral("WIN1251"));
        if (!error.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no WIN1251 database in this cluster: ") + error));
        const ArchiveRecord record = recordWith(1, [](ArchiveRecord &r) {
            r.firm = QStringLiteral("ООО «Ом» Ω");
            r.fields.insert(QStringLiteral("QRR60"), QStringLiteral("1200 МΩ, 20 °C"));
            r.results.insert(QStringLiteral("Note"), QStringLiteral("Ω ≈ 𝛀"));
        });
        ProtocolArchive archive(settings, ProtocolArchive::ServerAccess::Direct);
        const ProtocolArchive::StoreResult result = archive.storeOnce(record, QStringLiteral("win1251"));
        QVERIFY2(result.status == ProtocolArchive::StoreResult::Status::Stored, qPrintable(result.message));
        const std::optional<ArchiveRecord> back = archive.record(result.id);
        QVERIFY2(back, qPrintable(archive.lastError()));
        QCOMPARE(back->firm, QStringLiteral("ООО «Ом» ?"));
        QCOMPARE(back->fields, record.fields);
        QCOMPARE(back->results, record.results);
        QCOMPARE(back->type, record.type);
        // Through the outbox too, the character now known.
        ProtocolArchive queued(settings);
        queued.enableOutbox(m_local.filePath(QStringLiteral("outbox-win1251.db")));
        QSignalSpy stored(&queued, &ProtocolArchive::recordStored);
        QCOMPARE(queued.store(recordWith(2, [](ArchiveRecord &r) { r.type = QStringLiteral("ТМГ-Ω"); })).status,
                 ProtocolArchive::StoreResult::Status::Queued);
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 1, 20000);
        QVERIFY(queued.setAsideRecords().isEmpty());
    }

    // Two programs on one records folder send the same first record of their outbox at
    // once: the second finds it stored by the first, which is success, not an error.
    void aRecordStoredByAnotherSenderMeanwhileIsSuccess()
    {
        const ArchiveSettings settings = freshArchive();
        {
            ProtocolArchive earlier(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY(earlier.store(markedRecord(0)).ok()); // the protocol's row exists
        }
        // Both senders pass the look for the key, then wait on the protocol's row.
        const QString name = QStringLiteral("row-holder");
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const auto removeHolder = qScopeGuard([&] {
            holder.close();
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
        });
        holder.setHostName(settings.host);
        holder.setPort(settings.port);
        holder.setDatabaseName(settings.database);
        holder.setUserName(settings.user);
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec(QStringLiteral("BEGIN")));
        QVERIFY(hold.exec(QStringLiteral("SELECT id FROM protocols FOR UPDATE")));

        std::array<ProtocolArchive::StoreResult, 2> results;
        std::array<QString, 2> problems;
        QList<QThread *> senders;
        for (int i = 0; i < 2; ++i)
            senders.append(QThread::create([&, i] {
                ProtocolArchive sender(settings, ProtocolArchive::ServerAccess::Direct);
                results[i] = sender.storeOnce(markedRecord(1), QStringLiteral("one-entry"));
                problems[i] = sender.lastError();
            }));
        for (QThread *thread : senders)
            thread->start();
        QSqlQuery waiting(holder);
        QTRY_VERIFY_WITH_TIMEOUT(waiting.exec(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted"))
                                     && waiting.next() && waiting.value(0).toInt() >= 2,
                                 20000);
        QVERIFY(hold.exec(QStringLiteral("COMMIT")));
        for (QThread *thread : senders) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        for (int i = 0; i < 2; ++i)
            QVERIFY2(results[i].ok(), qPrintable(problems[i]));
        QCOMPARE(results[0].id, results[1].id);
        QCOMPARE(marksOnServer(settings), (QMap<QString, int>{{"0", 1}, {"1", 1}}));
    }

    // Records no database took, saved to a file at close, load into the server once
    // however often they are loaded.
    void recordsSavedAtCloseLoadIntoTheServerOnce()
    {
        const ArchiveSettings server = freshArchive();
        const QString saved = m_local.filePath(QStringLiteral("saved-at-close.db"));
        QFile blocker(m_local.filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        {
            ProtocolArchive archive(server);
            archive.enableOutbox(QDir(blocker.fileName()).filePath(QStringLiteral("varnek-outbox.db")));
            archive.store(markedRecord(1));
            archive.store(markedRecord(2));
            archive.finishWrites(ProtocolArchive::WriteWaitAtCloseMs);
            QCOMPARE(archive.unsavedCount(), 2);
            QString error;
            QVERIFY2(archive.saveUnsaved(saved, &error), qPrintable(error));
        }
        const ArchiveTransferSummary first = copyArchiveFile(saved, server);
        QVERIFY2(first.problem.isEmpty(), qPrintable(first.text()));
        QCOMPARE(first.total, 2);
        QCOMPARE(first.copied, 2);
        const ArchiveTransferSummary second = copyArchiveFile(saved, server);
        QVERIFY2(second.problem.isEmpty(), qPrintable(second.text()));
        QCOMPARE(second.copied, 0);
        QCOMPARE(second.present, 2);
        QCOMPARE(marksOnServer(server), (QMap<QString, int>{{"1", 1}, {"2", 1}}));
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
        ArchiveSender sender([settings] { return std::make_unique<ProtocolArchive>(settings, ProtocolArchive::ServerAccess::Direct); },
                             QString::fromLocal8Bit(argv[2]));
        sender.send();
        return 0;
    }
    QCoreApplication app(argc, argv);
    tst_ProtocolArchivePg test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_protocolarchive_pg.moc"
