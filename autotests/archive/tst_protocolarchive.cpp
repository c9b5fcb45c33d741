#include "archivefixture.h"
#include "keyvaluefile.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "archivelistsource.h"
#include "serverlistsource.h"
#include "storetests.h"

#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

// The archive on its default SQLite file, each test in a folder of its own.
class tst_ProtocolArchive : public StoreTests {
    Q_OBJECT
protected:
    ArchiveSettings freshArchive() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        setRecordsDirectoryForTests(m_dir->path());
        return ArchiveSettings::sqliteDefault();
    }

private:
    QString dbPath() const { return m_dir->filePath(QStringLiteral("varnek.db")); }
    std::unique_ptr<QTemporaryDir> m_dir;

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void cleanupTestCase() { setRecordsDirectoryForTests(QString()); }

    void fileLiesBesideTheProgramInWalMode()
    {
        const ArchiveSettings settings = freshArchive();
        QCOMPARE(settings.database, dbPath());
        ProtocolArchive archive(settings);
        QVERIFY(archive.store(sampleRecord()).ok());
        QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
        QVERIFY(QFile::exists(dbPath() + QStringLiteral("-wal")));
    }

    // The records of one serial number are read by an index, not by the whole list.
    void theRecordsOfOneSerialNumberAreReadByAnIndex()
    {
        ProtocolArchive archive(freshArchive());
        QVERIFY(archive.store(sampleRecord()).ok());
        QCOMPARE(archive.summariesOfSerial(QStringLiteral("4411")).value_or(QList<ArchiveSummary>{}).size(), 1);
        QString plan;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
            db.setDatabaseName(dbPath());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("EXPLAIN QUERY PLAN SELECT id FROM revisions WHERE %1 IN ('4411', 'x')")
                                   .arg(ServerListSchema::serialKey())));
            while (query.next())
                plan += query.value(3).toString() + u'\n';
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plan"));
        QVERIFY2(plan.contains(QStringLiteral("revisions_serial_key")), qPrintable(plan));
    }

    void versionOneFileIsMigratedWithEveryRow()
    {
        freshArchive();
        const QString fields1 = QStringLiteral("{\"QRPxx00\":\"1240.5\",\"QRKI\":\"25.01\\n25.02\"}");
        const QString results1 = QStringLiteral("{\"Pxx00\":\"1240.5\"}");
        const QString results2 = QStringLiteral("{\"Pxx00\":\"1310.0\"}");
        QString error;
        QVERIFY2(writeVersion1File(dbPath(),
                                   {{"2025-02-01T10:00:00.000Z", "5", "ТМ-400", "77", "Фирма", fields1, results1},
                                    {"2025-02-03T11:00:00.000Z", "5", "ТМ-400", "77", "Фирма", fields1, results2},
                                    {"2025-01-20T08:30:00.000Z", "4", "ТМГ-100", "12", "Фирма", "{}", "{}"}},
                                   &error),
                 qPrintable(error));

        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        const auto list = archive.summaries();
        QVERIFY2(list, qPrintable(archive.lastError()));
        QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
        QCOMPARE(list->size(), 3);
        QCOMPARE(list->at(0).protocolNumber, QStringLiteral("5"));
        QCOMPARE(list->at(0).revision, 2);
        QCOMPARE(list->at(1).revision, 1);
        QCOMPARE(list->at(2).type, QStringLiteral("ТМГ-100"));

        const auto latest = archive.record(list->at(0).id);
        QVERIFY(latest);
        QCOMPARE(latest->moment, QDateTime(QDate(2025, 2, 3), QTime(11, 0), Qt::UTC));
        QCOMPARE(latest->fields.value(QStringLiteral("QRKI")), QStringLiteral("25.01\n25.02"));
        QCOMPARE(latest->results.value(QStringLiteral("Pxx00")), QStringLiteral("1310.0"));
        QCOMPARE(latest->sheet1, QByteArray("v1 sheet 1"));

        // The migrated hash is the one a new store computes: a repeat stays one record.
        ArchiveRecord again = *latest;
        QCOMPARE(archive.store(again).status, ProtocolArchive::StoreResult::Status::Unchanged);
    }

    // A bench of that time left NULL where it had no text; the rows still become records.
    // A file of the version before judgements opens as it was: its record unjudged, listed
    // as "не оценивалось" and filtered out of the records that want attention; new records
    // keep their judgement beside it.
    void versionTwoFileOpensWithItsRecordsNotJudged()
    {
        freshArchive();
        QString error;
        QVERIFY2(writeVersion2File(dbPath(), &error), qPrintable(error));
        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        QVERIFY2(archive.open(), qPrintable(archive.lastError()));
        QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
        const std::optional<ArchiveRecord> old = archive.record(1);
        QVERIFY(old);
        QCOMPARE(old->results.value(QStringLiteral("Pxx00")), QStringLiteral("1240.5"));
        QCOMPARE(old->sheet1, QByteArray("\x01"));
        QVERIFY(!old->judgement.judged);
        QVERIFY(old->approvals.isEmpty());

        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement();
        const auto stored = archive.store(record);
        QVERIFY2(stored.ok(), qPrintable(stored.message));
        QCOMPARE(archive.record(stored.id)->judgement.rows, record.judgement.rows);
        const std::optional<QList<ArchiveSummary>> list = archive.summaries();
        QVERIFY(list);
        QCOMPARE(list->size(), 2);
        QCOMPARE(list->last().verdictText(), QStringLiteral("не оценивалось"));

        SqlArchiveListSource source(ArchiveSettings::sqliteDefault());
        ArchiveListQuery query;
        query.attentionOnly = true;
        const std::optional<QList<ArchiveSummary>> wanted = source.rows(query, nullptr, 50);
        QVERIFY2(wanted, qPrintable(source.lastError()));
        QCOMPARE(wanted->size(), 1);
        QCOMPARE(wanted->first().id, stored.id);
    }

    // The filter of records that want attention reads a page at a time after the last row
    // shown, in any order of the list, through the index made for it.
    void attentionFilterPagesInEveryOrder_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::newRow("newest first") << int(ArchiveListQuery::Date) << true;
        QTest::newRow("by protocol") << int(ArchiveListQuery::Protocol) << false;
        QTest::newRow("by serial, descending") << int(ArchiveListQuery::Serial) << true;
    }

    void attentionFilterPagesInEveryOrder()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        ProtocolArchive archive(freshArchive());
        QSet<qint64> wanted;
        for (int i = 0; i < 23; ++i) {
            ArchiveRecord record = sampleRecord(QString::number(100 + i), QString::number(5000 + i % 7));
            record.moment = record.moment.addSecs(i * 37 % 11);
            if (i % 3 != 0) {
                record.judgement = sampleJudgement();
                // Every third judged record conforms throughout.
                if (i % 3 == 2)
                    for (JudgedCheck &c : record.judgement.rows)
                        c.verdict = StoredVerdict::Complies;
            }
            const auto stored = archive.store(record);
            QVERIFY(stored.ok());
            if (i % 3 == 1)
                wanted.insert(stored.id);
        }
        SqlArchiveListSource source(archive.settings());
        ArchiveListQuery query;
        query.attentionOnly = true;
        query.sortColumn = ArchiveListQuery::Column(column);
        query.descending = descending;
        QSet<qint64> seen;
        std::optional<ArchiveSummary> last;
        for (int page = 0; page < 10; ++page) {
            const std::optional<QList<ArchiveSummary>> rows = source.rows(query, last ? &*last : nullptr, 3);
            QVERIFY2(rows, qPrintable(source.lastError()));
            if (rows->isEmpty())
                break;
            for (const ArchiveSummary &row : *rows) {
                QVERIFY(!seen.contains(row.id));
                QVERIFY(row.failing > 0 || row.analysis > 0);
                seen.insert(row.id);
            }
            last = rows->last();
        }
        QCOMPARE(seen, wanted);
        // The query plan uses the filter's index when the list is in its default order.
        if (column == int(ArchiveListQuery::Date)) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
            db.setDatabaseName(dbPath());
            QVERIFY(db.open());
            QSqlQuery plan(db);
            QVERIFY(plan.exec(QStringLiteral("EXPLAIN QUERY PLAN SELECT id FROM revisions WHERE attention = 1 "
                                             "ORDER BY stored_at DESC, id DESC LIMIT 3")));
            QString steps;
            while (plan.next())
                steps += plan.value(3).toString() + QLatin1Char('\n');
            QVERIFY2(steps.contains(QStringLiteral("revisions_attention")), qPrintable(steps));
            plan = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("plan"));
        }
    }

    void versionOneNullTextsAreMigratedAsEmpty()
    {
        freshArchive();
        QString error;
        QVERIFY2(writeVersion1File(dbPath(),
                                   {{"2025-02-01T10:00:00.000Z", QString(), QString(), QString(), QString(), QString(),
                                     QString()},
                                    {"2025-02-02T10:00:00.000Z", "6", "ТМ-400", QString(), QString(), "{}", "{}"}},
                                   &error),
                 qPrintable(error));
        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        const auto list = archive.summaries();
        QVERIFY2(list, qPrintable(archive.lastError()));
        QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
        QCOMPARE(list->size(), 2);
        const auto empty = archive.record(list->at(1).id);
        QVERIFY(empty);
        QCOMPARE(empty->protocolNumber, QString(""));
        QCOMPARE(empty->firm, QString(""));
        QVERIFY(empty->fields.isEmpty());
        // The same protocol stored anew is the migrated one, not a new revision.
        ArchiveRecord again = *archive.record(list->at(0).id);
        again.serialNumber = QString();
        QCOMPARE(archive.store(again).status, ProtocolArchive::StoreResult::Status::Unchanged);
    }

    void unusableFileIsReportedOnceAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray(8192, '\x5A');
        QTest::newRow("truncated database") << QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\0');
    }
    void unusableFileIsReportedOnceAndLeftAlone()
    {
        QFETCH(QByteArray, content);
        freshArchive();
        {
            QFile file(dbPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        const auto first = archive.store(sampleRecord());
        QCOMPARE(first.status, ProtocolArchive::StoreResult::Status::Failed);
        QVERIFY(first.report);
        QVERIFY2(first.message.contains(dbPath()), qPrintable(first.message));
        const auto second = archive.store(sampleRecord());
        QCOMPARE(second.status, ProtocolArchive::StoreResult::Status::Failed);
        QVERIFY(!second.report);
        QVERIFY(!archive.summaries());
        QCOMPARE(readAll(dbPath()), content);
    }

    void foreignOrNewerDatabaseIsRefused_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("expected");
        QTest::newRow("another program's")
            << QStringList{"CREATE TABLE invoices (id INTEGER PRIMARY KEY)"} << QStringLiteral("не является архивом");
        QTest::newRow("newer schema")
            << QStringList{"CREATE TABLE archive_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
                           "INSERT INTO archive_meta VALUES ('schema_version', '4')"}
            << QStringLiteral("более новой версией");
    }
    void foreignOrNewerDatabaseIsRefused()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, expected);
        freshArchive();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
            db.setDatabaseName(dbPath());
            QVERIFY(db.open());
            QSqlQuery query(db);
            for (const QString &statement : statements)
                QVERIFY(query.exec(statement));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        const QByteArray before = readAll(dbPath());

        ProtocolArchive archive(ArchiveSettings::sqliteDefault());
        const auto result = archive.store(sampleRecord());
        QCOMPARE(result.status, ProtocolArchive::StoreResult::Status::Failed);
        QVERIFY2(result.message.contains(expected), qPrintable(result.message));
        QCOMPARE(readAll(dbPath()), before);
    }

    void lockedFileFailsQuicklyAndWorksAgainWhenReleased()
    {
        ProtocolArchive archive(freshArchive());
        QVERIFY(archive.store(sampleRecord(QStringLiteral("1"))).ok());

        const QString holder = QStringLiteral("lock-holder");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
            db.setDatabaseName(dbPath());
            QVERIFY(db.open());
            QSqlQuery lock(db);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

            const auto first = archive.store(sampleRecord(QStringLiteral("2")));
            QCOMPARE(first.status, ProtocolArchive::StoreResult::Status::Failed);
            QVERIFY(first.report);
            const auto second = archive.store(sampleRecord(QStringLiteral("3")));
            QCOMPARE(second.status, ProtocolArchive::StoreResult::Status::Failed);
            QVERIFY2(!second.report, "one message for one spell of failure");

            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            db.close();
        }
        QSqlDatabase::removeDatabase(holder);

        const auto afterRelease = archive.store(sampleRecord(QStringLiteral("2")));
        QVERIFY2(afterRelease.ok(), qPrintable(afterRelease.message));
        QCOMPARE(archive.summaries()->size(), 2); // nothing half-written by the failed stores

        // A new spell of failure is reported again.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
            db.setDatabaseName(dbPath());
            QVERIFY(db.open());
            QSqlQuery lock(db);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(archive.store(sampleRecord(QStringLiteral("4"))).report);
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            db.close();
        }
        QSqlDatabase::removeDatabase(holder);
    }

    void settingsComeFromTheArchiveSection()
    {
        freshArchive();
        QCOMPARE(ArchiveSettings::fromSettingsFile().driver, ArchiveSettings::Driver::SQLite);
        KeyValueFile ini(recordFilePath(QStringLiteral("varnek.ini")));
        ini.writeValues(ArchiveSettings::Section, {{"Driver", "PostgreSQL"}, {"Host", "bench-server"},
                                                   {"Port", "5433"}, {"Database", "archive"}, {"User", "bench"}});
        const ArchiveSettings settings = ArchiveSettings::fromSettingsFile();
        QVERIFY(settings.isServer());
        QCOMPARE(settings.host, QStringLiteral("bench-server"));
        QCOMPARE(settings.port, 5433);
        QCOMPARE(settings.database, QStringLiteral("archive"));
        QCOMPARE(settings.user, QStringLiteral("bench"));
        QCOMPARE(settings.passwordFile, recordFilePath(QStringLiteral("varnek.pass")));
        QVERIFY(settings.problem.isEmpty());

        ini.writeValues(ArchiveSettings::Section, {{"Port", "seventy"}});
        QVERIFY(!ArchiveSettings::fromSettingsFile().problem.isEmpty());
        ini.writeValues(ArchiveSettings::Section, {{"Driver", "Oracle"}});
        const ArchiveSettings unknown = ArchiveSettings::fromSettingsFile();
        QVERIFY(unknown.problem.contains(QStringLiteral("Oracle")));
        QVERIFY(!unknown.isServer());
    }

    void passwordFileOpenToOthersIsRefused_data()
    {
        QTest::addColumn<int>("permissions");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("owner only") << int(QFile::ReadOwner | QFile::WriteOwner) << true;
        QTest::newRow("group may read") << int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup) << false;
        QTest::newRow("others may read") << int(QFile::ReadOwner | QFile::ReadOther) << false;
        QTest::newRow("others may write") << int(QFile::ReadOwner | QFile::WriteOther) << false;
    }
    void passwordFileOpenToOthersIsRefused()
    {
        QFETCH(int, permissions);
        QFETCH(bool, accepted);
        freshArchive();
        const QString path = m_dir->filePath(QStringLiteral("varnek.pass"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("s3cret pass\r\nsecond line\n");
        }
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(permissions)));
        const PasswordFileResult result = readPasswordFile(path);
        QCOMPARE(result.problem.isEmpty(), accepted);
        QCOMPARE(result.password, accepted ? QStringLiteral("s3cret pass") : QString());
        if (!accepted)
            QVERIFY(result.problem.contains(QStringLiteral("chmod 600")));
        QVERIFY(readPasswordFile(m_dir->filePath(QStringLiteral("absent"))).problem.isEmpty());
    }

    // A FIFO opened for reading waits for a writer: the check thread would never end.
    void passwordFileThatIsAFifoIsRefusedAtOnce()
    {
        freshArchive();
        const QString path = m_dir->filePath(QStringLiteral("varnek.pass"));
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        auto read = std::async(std::launch::async, [path] { return readPasswordFile(path); });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Lets the blocked reader go before failing.
            const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            read.wait();
            QFAIL("reading a FIFO as the password file blocked");
        }
        const PasswordFileResult result = read.get();
        QVERIFY(result.password.isEmpty());
        QVERIFY2(result.problem.contains(QStringLiteral("не является обычным файлом")), qPrintable(result.problem));
    }

    void unreachableServerNeverConnectsOnTheCallersThread()
    {
        freshArchive();
        ArchiveSettings settings;
        settings.driver = ArchiveSettings::Driver::PostgreSQL;
        settings.host = m_dir->path(); // a socket folder with no server in it
        settings.port = 1;
        settings.database = QStringLiteral("archive");
        settings.user = QStringLiteral("bench");
        ProtocolArchive archive(settings);
        QSignalSpy checked(&archive, &ProtocolArchive::availabilityChanged);
        const auto result = archive.store(sampleRecord());
        QCOMPARE(result.status, ProtocolArchive::StoreResult::Status::Failed);
        QVERIFY(result.report);
        QVERIFY(checked.wait(10000));
        QCOMPARE(checked.at(0).at(0).toBool(), false);
        QVERIFY(!archive.store(sampleRecord()).report);
    }
};

QTEST_GUILESS_MAIN(tst_ProtocolArchive)
#include "tst_protocolarchive.moc"
