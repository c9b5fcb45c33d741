// The server archive's list, a page at a time, against a throwaway PostgreSQL cluster:
// keyset pages across equal sort keys, the server's search, a newer ask cancelling the
// older on the server, a read cancelled by others read again, an older schema given its
// indexes, the search without pg_trgm, and retries that a clock set back does not stop.

#include "archivefixture.h"
#include "archivelistmodel.h"
#include "pgcluster.h"
#include "protocolarchive.h"
#include "serverlistsource.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <dlfcn.h>
#include <sys/time.h>
#include <time.h>

// The wall clock of this process, shifted by the test; the steady clock is left alone.
namespace {
std::atomic<long> wallClockShift{0};
}

extern "C" int clock_gettime(clockid_t clock, struct timespec *ts)
{
    using Real = int (*)(clockid_t, struct timespec *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "clock_gettime"));
    const int result = real(clock, ts);
    if (result == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE))
        ts->tv_sec += wallClockShift.load();
    return result;
}

extern "C" int gettimeofday(struct timeval *tv, void *zone)
{
    using Real = int (*)(struct timeval *, void *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "gettimeofday"));
    const int result = real(tv, zone);
    if (result == 0)
        tv->tv_sec += wallClockShift.load();
    return result;
}

namespace {

struct Page {
    bool answered = false;
    bool ok = false;
    QList<ArchiveSummary> rows;
    QString problem;
};

// The answer to `ticket`, waiting at most `msecs`.
Page answerTo(QSignalSpy &spy, quint64 ticket, int msecs = 20000)
{
    Page page;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        for (const QList<QVariant> &answer : std::as_const(spy)) {
            if (answer.at(0).toULongLong() == ticket) {
                page.answered = true;
                page.rows = answer.at(1).value<QList<ArchiveSummary>>();
                page.ok = answer.at(2).toBool();
                page.problem = answer.at(3).toString();
                return page;
            }
        }
        if (waited.elapsed() > msecs)
            return page;
        spy.wait(50);
    }
}

Page readPage(ServerListSource &source, const ArchiveListQuery &query, const std::optional<ArchiveSummary> &after, int limit)
{
    QSignalSpy spy(&source, &AsyncArchiveListSource::rowsRead);
    return answerTo(spy, source.ask(query, after, limit));
}

// Every row of `query`, `limit` at a time.
std::optional<QList<ArchiveSummary>> readAll(ServerListSource &source, const ArchiveListQuery &query, int limit)
{
    QList<ArchiveSummary> all;
    std::optional<ArchiveSummary> after;
    for (int pages = 0; pages < 10000; ++pages) {
        const Page page = readPage(source, query, after, limit);
        if (!page.answered || !page.ok) {
            qWarning("page %d: %s", pages, qPrintable(page.problem));
            return std::nullopt;
        }
        all += page.rows;
        if (page.rows.size() < limit)
            return all;
        after = page.rows.constLast();
    }
    return std::nullopt;
}

QList<qint64> idsOf(const QList<ArchiveSummary> &rows)
{
    QList<qint64> ids;
    for (const ArchiveSummary &row : rows)
        ids.append(row.id);
    return ids;
}

// A connection of the test's own, as `user`.
class Direct {
public:
    explicit Direct(const ArchiveSettings &settings, const QString &user = QStringLiteral("postgres"))
        : m_name(QStringLiteral("direct-%1").arg(++counter()))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setHostName(settings.host);
        db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(user);
        db.open();
    }
    ~Direct()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    // Runs `statement`; empty when it worked, else why not.
    QString exec(const QString &statement) const
    {
        QSqlQuery query(db());
        return query.exec(statement) ? QString() : query.lastError().text();
    }
    QVariant value(const QString &statement) const
    {
        QSqlQuery query(db());
        return query.exec(statement) && query.next() ? query.value(0) : QVariant();
    }

private:
    static int &counter()
    {
        static int n = 0;
        return n;
    }
    QString m_name;
};

// The rows the tests list: ASCII texts (the cluster orders bytes), many of them equal.
QList<ArchiveSummary> tiedRows(int count)
{
    const QStringList types = {QStringLiteral("TM-630"), QStringLiteral("TMG-250"), QStringLiteral("TMZ-400")};
    QList<ArchiveSummary> rows;
    for (int i = 1; i <= count; ++i) {
        ArchiveSummary row;
        row.id = i;
        row.revision = 1 + i % 2;
        row.msecs = 1700000000000 + qint64(i % 4) * 86400000;
        row.protocolNumber = QStringLiteral("N%1").arg(i % 7);
        row.serialNumber = QStringLiteral("S%1").arg(i % 5);
        row.type = types[i % 3];
        row.firm = QStringLiteral("F%1").arg(i % 2);
        rows.append(row);
    }
    return rows;
}

bool insertRows(const Direct &direct, const QList<ArchiveSummary> &rows)
{
    QSqlDatabase db = direct.db();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN")))
        return false;
    QSqlQuery protocol(db), revision(db);
    protocol.prepare(QStringLiteral("INSERT INTO protocols (id, protocol_number, serial_number) VALUES (?, ?, ?)"));
    revision.prepare(QStringLiteral("INSERT INTO revisions (id, protocol_id, revision, stored_at, protocol_number, "
                                    "serial_number, type, firm, content_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'h')"));
    for (const ArchiveSummary &row : rows) {
        // Each row a protocol of its own: the list does not look at protocols.
        protocol.addBindValue(row.id);
        protocol.addBindValue(QStringLiteral("P%1").arg(row.id));
        protocol.addBindValue(row.serialNumber);
        revision.addBindValue(row.id);
        revision.addBindValue(row.id);
        revision.addBindValue(row.revision);
        revision.addBindValue(row.msecs);
        revision.addBindValue(row.protocolNumber);
        revision.addBindValue(row.serialNumber);
        revision.addBindValue(row.type);
        revision.addBindValue(row.firm);
        if (!protocol.exec() || !revision.exec()) {
            qWarning("%s %s", qPrintable(protocol.lastError().text()), qPrintable(revision.lastError().text()));
            return false;
        }
    }
    return query.exec(QStringLiteral("COMMIT"));
}

QVariant key(ArchiveListQuery::Column column, const ArchiveSummary &row)
{
    switch (column) {
    case ArchiveListQuery::Protocol: return row.protocolNumber;
    case ArchiveListQuery::Revision: return row.revision;
    case ArchiveListQuery::Type: return row.type;
    case ArchiveListQuery::Serial: return row.serialNumber;
    case ArchiveListQuery::Firm: return row.firm;
    default: return row.msecs;
    }
}

} // namespace

class tst_ArchiveServerList : public QObject {
    Q_OBJECT
public:
    ~tst_ArchiveServerList() override { m_cluster.stop(); }

private:
    PgCluster m_cluster;

    // A fresh archive made by the program, holding `rows`.
    ArchiveSettings archiveWith(const QList<ArchiveSummary> &rows)
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        if (!error.isEmpty())
            qWarning("createdb: %s", qPrintable(error));
        ProtocolArchive maker(settings, ProtocolArchive::ServerAccess::Direct);
        if (!maker.open())
            qWarning("open: %s", qPrintable(maker.lastError()));
        Direct direct(settings);
        if (!insertRows(direct, rows))
            qWarning("rows not inserted");
        return settings;
    }

private slots:
    void initTestCase()
    {
        bool skip = false;
        const QString error = m_cluster.start(&skip);
        if (skip)
            QSKIP(qPrintable(error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        wallClockShift = 0;
        if (!m_cluster.isRunning())
            QVERIFY(m_cluster.startServer().isEmpty());
    }

    // Pages of 7 rows over keys that repeat dozens of times: every row once, in the
    // order of the key and then the id, whichever row a page ends on.
    void pagesFollowEachOtherAcrossEqualKeys_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        for (int c = ArchiveListQuery::Date; c < ArchiveListQuery::ColumnCount; ++c) {
            QTest::addRow("column %d, ascending", c) << c << false;
            QTest::addRow("column %d, descending", c) << c << true;
        }
    }
    void pagesFollowEachOtherAcrossEqualKeys()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        static const QList<ArchiveSummary> rows = tiedRows(150);
        static ArchiveSettings settings;
        if (settings.database.isEmpty())
            settings = archiveWith(rows);
        ServerListSource source(settings);
        ArchiveListQuery query;
        query.sortColumn = ArchiveListQuery::Column(column);
        query.descending = descending;
        const std::optional<QList<ArchiveSummary>> read = readAll(source, query, 7);
        QVERIFY(read);

        QList<ArchiveSummary> expected = rows;
        std::sort(expected.begin(), expected.end(), [&](const ArchiveSummary &a, const ArchiveSummary &b) {
            const QVariant ka = key(query.sortColumn, a), kb = key(query.sortColumn, b);
            const int order = QVariant::compare(ka, kb) == QPartialOrdering::Less      ? -1
                              : QVariant::compare(ka, kb) == QPartialOrdering::Greater ? 1
                              : a.id < b.id                                            ? -1
                                                                                       : 1;
            return descending ? order > 0 : order < 0;
        });
        QCOMPARE(idsOf(*read), idsOf(expected));
    }

    // The server searches type, serial number and protocol number, any case (Cyrillic
    // too), the span applied with it; a text nothing holds gives an empty list, not a failure.
    void theServerSearches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("span");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::newRow("type in another case") << "тмг" << false << QList<qint64>{4, 2};
        QTest::newRow("type and size") << "ТМГ-250" << false << QList<qint64>{2};
        QTest::newRow("serial number") << "4411" << false << QList<qint64>{3};
        QTest::newRow("protocol number") << "17" << false << QList<qint64>{5, 1};
        QTest::newRow("Latin in another case") << "abc" << false << QList<qint64>{5};
        QTest::newRow("within the span only") << "тмг" << true << QList<qint64>{2};
        QTest::newRow("one letter in another case") << "Г" << false << QList<qint64>{4, 2};
        QTest::newRow("two characters") << "мз" << false << QList<qint64>{5};
        QTest::newRow("two characters nothing holds") << "не" << false << QList<qint64>{};
        QTest::newRow("nothing matches") << "нет такого" << false << QList<qint64>{};
        QTest::newRow("a percent sign is a character") << "%" << false << QList<qint64>{};
        QTest::newRow("an underscore is a character") << "1_0" << false << QList<qint64>{};
        QTest::newRow("no match across two fields") << "/101001" << false << QList<qint64>{};
    }
    void theServerSearches()
    {
        QFETCH(QString, typed);
        QFETCH(bool, span);
        QFETCH(QList<qint64>, ids);
        static ArchiveSettings settings;
        if (settings.database.isEmpty()) {
            const auto row = [](qint64 id, int day, const char *protocol, const char *type, const char *serial) {
                return ArchiveSummary{id, 1, 1700000000000 + qint64(day) * 86400000, QString::fromUtf8(protocol),
                                      QString::fromUtf8(type), QString::fromUtf8(serial), QStringLiteral("ООО")};
            };
            settings = archiveWith({row(1, 1, "17", "ТМ-630/10", "1001"), row(2, 2, "18", "ТМГ-250/10", "1002"),
                                    row(3, 3, "19", "ТМ-1000/10", "4411"), row(4, 4, "20", "тмг-100/6", "1004"),
                                    row(5, 5, "ABC-17", "ТМЗ-400", "1005")});
        }
        ServerListSource source(settings);
        ArchiveListQuery query;
        query.filter = typed;
        if (span) {
            query.fromMsecs = 1700000000000 + 2 * 86400000;
            query.toMsecs = 1700000000000 + 3 * 86400000;
        }
        const Page page = readPage(source, query, std::nullopt, 50);
        QVERIFY(page.answered);
        QVERIFY2(page.ok, qPrintable(page.problem));
        QCOMPARE(idsOf(page.rows), ids);
        QString error;
        QCOMPARE(source.allIds(query, &error), std::optional(ids));
    }

    // A newer ask while the server reads an older one: the older is cancelled on the
    // server (the reader goes on to the newer while the older would still wait), and only
    // the newer is answered.
    void aNewerAskCancelsTheOlderOnTheServer()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(20));
        ServerListSource source(settings);
        QSignalSpy answers(&source, &AsyncArchiveListSource::rowsRead);
        QVERIFY(readPage(source, {}, std::nullopt, 5).ok); // connected, indexes there

        Direct locker(settings);
        QVERIFY(locker.exec(QStringLiteral("BEGIN")).isEmpty());
        QVERIFY(locker.exec(QStringLiteral("LOCK TABLE revisions IN ACCESS EXCLUSIVE MODE")).isEmpty());
        const int pid = source.readerBackendPid();
        QVERIFY(pid > 0);
        Direct watcher(settings);
        const QString waiting = QStringLiteral("SELECT query FROM pg_stat_activity WHERE pid = %1 AND wait_event_type = 'Lock'").arg(pid);

        const quint64 older = source.ask({}, std::nullopt, 5);
        QTRY_VERIFY_WITH_TIMEOUT(watcher.value(waiting).isValid(), 10000);
        QVERIFY(!watcher.value(waiting).toString().contains(QStringLiteral("LIKE")));
        ArchiveListQuery searched;
        searched.filter = QStringLiteral("S3");
        const quint64 newer = source.ask(searched, std::nullopt, 5);
        // Still locked: the reader can be at the newer ask only if the older was cancelled.
        QTRY_VERIFY_WITH_TIMEOUT(watcher.value(waiting).toString().contains(QStringLiteral("LIKE")), 10000);
        QVERIFY(locker.exec(QStringLiteral("COMMIT")).isEmpty());

        const Page page = answerTo(answers, newer);
        QVERIFY(page.answered);
        QVERIFY2(page.ok, qPrintable(page.problem));
        QCOMPARE(page.rows.size(), 4); // S3: ids 3, 8, 13, 18
        QTest::qWait(200);
        QVERIFY(!answerTo(answers, older, 0).answered);
    }

    // A read cancelled by someone else (an administrator, a statement timeout) is read
    // again: the list is never left empty by it.
    void aReadCancelledByOthersIsReadAgain()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(20));
        ServerListSource source(settings);
        QSignalSpy answers(&source, &AsyncArchiveListSource::rowsRead);
        QVERIFY(readPage(source, {}, std::nullopt, 5).ok);
        Direct locker(settings);
        QVERIFY(locker.exec(QStringLiteral("BEGIN")).isEmpty());
        QVERIFY(locker.exec(QStringLiteral("LOCK TABLE revisions IN ACCESS EXCLUSIVE MODE")).isEmpty());
        const int pid = source.readerBackendPid();
        Direct watcher(settings);
        const QString waiting = QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE pid = %1 AND wait_event_type = 'Lock'").arg(pid);

        const quint64 ticket = source.ask({}, std::nullopt, 5);
        QTRY_VERIFY_WITH_TIMEOUT(watcher.value(waiting).isValid(), 10000);
        QVERIFY(watcher.value(QStringLiteral("SELECT pg_cancel_backend(%1)").arg(pid)).toBool());
        QTest::qWait(300);
        QTRY_VERIFY_WITH_TIMEOUT(watcher.value(waiting).isValid(), 10000); // asked again
        QVERIFY(locker.exec(QStringLiteral("COMMIT")).isEmpty());
        const Page page = answerTo(answers, ticket);
        QVERIFY(page.answered);
        QVERIFY2(page.ok, qPrintable(page.problem));
        QCOMPARE(page.rows.size(), 5);
    }

    // The model keeps the rows it shows while a newer list is read, and a failed read
    // leaves them too.
    void theModelKeepsItsRowsWhileTheServerReads()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(30));
        ArchiveListModel model;
        model.setAsyncSource(std::make_unique<ServerListSource>(settings));
        QVERIFY(model.isLoading());
        QCOMPARE(model.rowCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 30, 15000);
        QVERIFY(!model.isLoading());

        QVERIFY(m_cluster.stop().isEmpty());
        const auto restart = qScopeGuard([this] {
            if (!m_cluster.isRunning())
                m_cluster.startServer();
        });
        QSignalSpy problems(&model, &ArchiveListModel::problem);
        model.setFilterText(QStringLiteral("S1"));
        QCOMPARE(model.rowCount(), 30); // still the old list while the server is asked
        QTRY_VERIFY_WITH_TIMEOUT(!problems.isEmpty(), 15000);
        QCOMPARE(model.rowCount(), 30);
        QVERIFY(m_cluster.startServer().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 6, ArchiveListModel::RetryMs + 15000);
    }

    // An archive made by an earlier version has none of the list's indexes: the first
    // read builds them beside the list (two windows at once build them once), and
    // building again finds nothing to do.
    void anOlderSchemaGetsItsListIndexes()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(500));
        Direct direct(settings);
        for (const QString &name : ServerListSchema::indexNames())
            QVERIFY(direct.exec(QStringLiteral("DROP INDEX %1").arg(name)).isEmpty());
        QVERIFY(direct.exec(QStringLiteral("ALTER TABLE revisions DROP COLUMN search_text")).isEmpty());
        QVERIFY(direct.exec(QStringLiteral("DROP EXTENSION pg_trgm")).isEmpty());
        QString error;
        QCOMPARE(ServerListSchema::missing(direct.db(), &error).value_or(QStringList{}),
                 QStringList{QStringLiteral("search_text")} + ServerListSchema::indexNames());
        // Before the build the search folds each row itself, and finds the same rows.
        {
            ServerListSource early(settings);
            ArchiveListQuery query;
            query.filter = QStringLiteral("TMG-250");
            QCOMPARE(readPage(early, query, std::nullopt, 1000).rows.size(), 167);
        }

        ServerListSource first(settings);
        ServerListSource second(settings);
        QSignalSpy a(&first, &AsyncArchiveListSource::rowsRead), b(&second, &AsyncArchiveListSource::rowsRead);
        const quint64 ta = first.ask({}, std::nullopt, 10), tb = second.ask({}, std::nullopt, 10);
        QVERIFY(answerTo(a, ta).ok);
        QVERIFY(answerTo(b, tb).ok);
        QTRY_VERIFY_WITH_TIMEOUT(ServerListSchema::missing(direct.db(), &error).value_or(QStringList{"?"}).isEmpty(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!first.isBuildingIndexes() && !second.isBuildingIndexes(), 60000);
        QVERIFY(ServerListSchema::hasTrigramIndex(direct.db()));
        QVERIFY(ServerListSchema::hasSearchColumn(direct.db()));
        QCOMPARE(direct.value(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname LIKE 'revisions_page%'")).toInt(),
                 ServerListSchema::indexNames().size());
        QVERIFY(ServerListSchema::build(direct.db(), ServerListSchema::indexNames(), &error));
        QCOMPARE(direct.value(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname LIKE 'revisions_page%'")).toInt(),
                 ServerListSchema::indexNames().size());
        // The search finds the same rows with the index as it did without.
        ArchiveListQuery query;
        query.filter = QStringLiteral("tmg-250");
        const Page page = readPage(first, query, std::nullopt, 1000);
        QVERIFY(page.ok);
        QCOMPARE(page.rows.size(), 167);
    }

    // The records of one serial number are found by an index of the server.
    void theRecordsOfOneSerialNumberAreFoundByAnIndex()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(50));
        Direct direct(settings);
        QVERIFY(direct.exec(QStringLiteral("SET enable_seqscan = off")).isEmpty());
        const QString plan = direct.value(QStringLiteral("EXPLAIN (FORMAT JSON) SELECT id FROM revisions WHERE %1 IN ('аб-7', 'x')")
                                              .arg(ServerListSchema::serialKey()))
                                 .toString();
        QVERIFY2(plan.contains(QStringLiteral("revisions_page_serial_key")), qPrintable(plan));
    }

    // A server archive of the first schema (one flat row per protocol): the program
    // brings it up to date with every row as a revision, and its list, paged and
    // searched, gets the list's indexes on its first read.
    void aServerArchiveOfTheFirstSchemaIsUpgraded()
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        {
            Direct old(settings);
            for (const char *statement :
                 {"CREATE TABLE archive_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
                  "INSERT INTO archive_meta VALUES ('schema_version', '1')",
                  "CREATE TABLE protocols (id BIGSERIAL PRIMARY KEY, stored_at TEXT NOT NULL, protocol_number TEXT, "
                  "type TEXT, serial_number TEXT, firm TEXT, fields TEXT, results TEXT, sheet1 BYTEA, sheet2 BYTEA)",
                  "INSERT INTO protocols (stored_at, protocol_number, type, serial_number, firm, fields, results, sheet1, sheet2) "
                  "VALUES ('2025-02-01T10:00:00.000Z', '5', 'TM-400', '77', 'F', '{}', '{\"Pxx00\":\"1240.5\"}', 'a', 'b'), "
                  "('2025-02-03T11:00:00.000Z', '5', 'TM-400', '77', 'F', '{}', '{\"Pxx00\":\"1310.0\"}', 'a', 'b'), "
                  "('2025-01-20T08:30:00.000Z', '4', 'TMG-100', '12', 'F', '{}', '{}', 'a', 'b')"})
                QVERIFY2(old.exec(QString::fromUtf8(statement)).isEmpty(), statement);
        }
        {
            ProtocolArchive archive(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY2(archive.open(), qPrintable(archive.lastError()));
            QCOMPARE(archive.schemaVersion(), ProtocolArchive::SchemaVersion);
        }
        ServerListSource source(settings);
        const std::optional<QList<ArchiveSummary>> read = readAll(source, {}, 2);
        QVERIFY(read);
        QCOMPARE(read->size(), 3);
        QCOMPARE(read->at(0).protocolNumber, QStringLiteral("5"));
        QCOMPARE(read->at(0).revision, 2);
        QCOMPARE(read->at(1).revision, 1);
        QCOMPARE(read->at(2).type, QStringLiteral("TMG-100"));
        Direct direct(settings);
        QTRY_VERIFY_WITH_TIMEOUT(ServerListSchema::missing(direct.db(), &error).value_or(QStringList{"?"}).isEmpty(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!source.isBuildingIndexes(), 60000);
        ArchiveListQuery query;
        query.filter = QStringLiteral("g-1");
        const Page page = readPage(source, query, std::nullopt, 10);
        QVERIFY2(page.ok, qPrintable(page.problem));
        QCOMPARE(page.rows.size(), 1);
        query.filter = QStringLiteral("7");
        QCOMPARE(readPage(source, query, std::nullopt, 10).rows.size(), 2);
    }

    // A user who may not create extensions: the archive is made without the trigram
    // index, and the search finds the same rows by reading the table.
    void theSearchWorksWithoutTrigrams()
    {
        QString error;
        const ArchiveSettings owned = m_cluster.createDatabase(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        {
            Direct admin(owned);
            admin.exec(QStringLiteral("CREATE ROLE plain LOGIN"));
            QVERIFY(admin.exec(QStringLiteral("GRANT CREATE ON SCHEMA public TO plain")).isEmpty());
        }
        ArchiveSettings settings = owned;
        settings.user = QStringLiteral("plain");
        {
            ProtocolArchive maker(settings, ProtocolArchive::ServerAccess::Direct);
            QVERIFY2(maker.open(), qPrintable(maker.lastError()));
        }
        Direct direct(settings, QStringLiteral("plain"));
        QVERIFY(!direct.value(QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'")).isValid());
        QCOMPARE(ServerListSchema::missing(direct.db(), &error).value_or(QStringList{}), QStringList{QStringLiteral("revisions_page_search")});
        QVERIFY(insertRows(direct, tiedRows(60)));

        ServerListSource source(settings);
        ArchiveListQuery query;
        query.filter = QStringLiteral("tmz");
        const Page page = readPage(source, query, std::nullopt, 100);
        QVERIFY2(page.ok, qPrintable(page.problem));
        QCOMPARE(page.rows.size(), 20);
        query.filter = QStringLiteral("нет такого");
        QCOMPARE(readPage(source, query, std::nullopt, 100).rows.size(), 0);
    }

    // Retries after a failed read wait on a steady clock: the wall clock set back an
    // hour meanwhile does not stop them (before, the whole list stayed failed).
    void aClockSetBackDoesNotStopTheRetries()
    {
        const ArchiveSettings settings = archiveWith(tiedRows(12));
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        wallClockShift = -3600;
        const bool shifted = QDateTime::currentMSecsSinceEpoch() < before - 3000 * 1000;
        wallClockShift = 0;
        if (!shifted)
            QSKIP("the wall clock of this process cannot be shifted here");

        QTemporaryDir local;
        ProtocolArchive archive(settings);
        archive.enableOutbox(local.filePath(QStringLiteral("outbox.db")));
        ArchiveListModel model;
        model.setAsyncSource(std::make_unique<ServerListSource>(settings));
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 12, 15000);

        QVERIFY(m_cluster.stop().isEmpty());
        const auto restart = qScopeGuard([this] {
            wallClockShift = 0;
            if (!m_cluster.isRunning())
                m_cluster.startServer();
        });
        QSignalSpy arrived(&archive, &ProtocolArchive::summariesArrived);
        QSignalSpy problems(&model, &ArchiveListModel::problem);
        archive.summaries();
        model.reload();
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty() && !problems.isEmpty(), 15000);
        QVERIFY(!archive.summaries());

        wallClockShift = -3600;
        QVERIFY(m_cluster.startServer().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(archive.summaries().has_value(), ProtocolArchive::SummariesRetryMs + 15000);
        QCOMPARE(archive.summaries()->size(), 12);
        QTRY_VERIFY_WITH_TIMEOUT(!model.isLoading() && model.lastProblem().isEmpty(), ArchiveListModel::RetryMs + 15000);
        QCOMPARE(model.rowCount(), 12);
    }
};

QTEST_GUILESS_MAIN(tst_ArchiveServerList)
#include "tst_archiveserverlist.moc"
