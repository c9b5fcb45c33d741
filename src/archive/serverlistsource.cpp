#include "serverlistsource.h"

#include "protocolarchive.h"
#include "workerthread.h"

#include <QEventLoop>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <atomic>
#include <mutex>
#include <thread>

// What the window's thread and the reader share: the asks waiting and what is read now.
struct ServerListJob {
    enum class Kind { Page, Count, Ids };
    Kind kind = Kind::Page;
    quint64 ticket = 0;
    ArchiveListQuery query;
    std::optional<ArchiveSummary> after;
    int limit = 0;
};

struct ServerListShared {
    using Kind = ServerListJob::Kind;
    using Job = ServerListJob;
    std::mutex mutex;
    std::optional<Job> page; // the newest page not begun yet
    std::optional<Job> ids;
    bool countWanted = false;
    quint64 latestPage = 0; // the newest page asked for
    quint64 running = 0;    // the ask being read, 0 when none
    Kind runningKind = Kind::Page;
    int backendPid = 0;     // the server process of the reader's connection
    bool building = false;  // missing indexes are being made
    std::atomic<quint64> nextTicket{0};
};

namespace {

const QString CyrillicUpper = QStringLiteral("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
const QString CyrillicLower = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
// Characters of the sort keys kept in the indexes.
constexpr int SortKeyLength = 256;
constexpr int BuildLock = 7301002;
// A page of a few hundred rows takes milliseconds; a server this slow is in trouble.
const QString ReaderOptions =
    QStringLiteral("connect_timeout=1;tcp_user_timeout=1000;options='-c statement_timeout=30000'");
const QString BuilderOptions =
    QStringLiteral("connect_timeout=5;options='-c statement_timeout=0 -c lock_timeout=0'");

// Lower case however the server's regional settings fold: lower() folds Latin letters
// under any of them, Cyrillic is folded here.
QString folded(const QString &expression)
{
    return QStringLiteral("lower(translate(%1, '%2', '%3'))").arg(expression, CyrillicUpper, CyrillicLower);
}

// The searched texts of a row as one; the separator is never part of a typed text, so a
// match never spans two fields.
const QString &searchExpression()
{
    static const QString text = folded(QStringLiteral("type || chr(31) || serial_number || chr(31) || protocol_number"));
    return text;
}

// The row keeps it in a column the server computes: a search then compares stored texts
// instead of folding every row's texts anew (seconds for a million rows under Russian
// regional settings), and the trigram index is built on it.
const QString SearchColumn = QStringLiteral("search_text");
QString searchColumnStatement()
{
    return QStringLiteral("ALTER TABLE revisions ADD COLUMN IF NOT EXISTS %1 text GENERATED ALWAYS AS (%2) STORED")
        .arg(SearchColumn, searchExpression());
}

const QString SearchIndex = QStringLiteral("revisions_page_search");

// A text of one or two characters has no trigram. The distinct one- and two-character
// pieces of each row's searched texts, in an index of their own, find the rows that hold
// such a text: few rows at once by the index, many rows by the list's order, whichever
// the server expects cheaper, never the whole table.
const QString ShortIndex = QStringLiteral("revisions_page_short");
const QString ShortPieces = QStringLiteral("archive_short_pieces");
// How many rows next in the list's order a short text is looked for in before the index.
constexpr int ShortScanRows = 20000;
QString shortPiecesFunction()
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION %1(t text) RETURNS text[] LANGUAGE sql IMMUTABLE PARALLEL SAFE "
                          "AS $$ SELECT coalesce(array_agg(DISTINCT p), '{}') FROM ("
                          "SELECT substr(t, i, 1) AS p FROM generate_series(1, length(t)) i UNION ALL "
                          "SELECT substr(t, i, 2) FROM generate_series(1, length(t) - 1) i) pieces $$")
        .arg(ShortPieces);
}
bool hasShortPiecesFunction(QSqlDatabase db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT to_regprocedure('%1(text)') IS NOT NULL").arg(ShortPieces)) && query.next()
        && query.value(0).toBool();
}

struct IndexDefinition {
    QString name;
    QString definition;
};

QList<IndexDefinition> indexDefinitions()
{
    const auto text = [](const char *column) {
        return QStringLiteral("ON revisions (left(%1, %2), id)").arg(QLatin1String(column)).arg(SortKeyLength);
    };
    return {
        {QStringLiteral("revisions_page_date"), QStringLiteral("ON revisions (stored_at, id)")},
        {QStringLiteral("revisions_page_protocol"), text("protocol_number")},
        {QStringLiteral("revisions_page_revision"), QStringLiteral("ON revisions (revision, id)")},
        {QStringLiteral("revisions_page_type"), text("type")},
        {QStringLiteral("revisions_page_serial"), text("serial_number")},
        {QStringLiteral("revisions_page_firm"), text("firm")},
        {SearchIndex, QStringLiteral("ON revisions USING gin (%1 gin_trgm_ops)").arg(SearchColumn)},
        {ShortIndex, QStringLiteral("ON revisions USING gin (%1(%2))").arg(ShortPieces, SearchColumn)},
        {QStringLiteral("revisions_page_serial_key"), QStringLiteral("ON revisions (%1)").arg(ServerListSchema::serialKey())},
    };
}

bool isTextColumn(ArchiveListQuery::Column column)
{
    return column != ArchiveListQuery::Date && column != ArchiveListQuery::Revision;
}

QString orderExpression(ArchiveListQuery::Column column)
{
    const auto text = [](const char *name) { return QStringLiteral("left(%1, %2)").arg(QLatin1String(name)).arg(SortKeyLength); };
    switch (column) {
    case ArchiveListQuery::Protocol: return text("protocol_number");
    case ArchiveListQuery::Revision: return QStringLiteral("revision");
    case ArchiveListQuery::Type: return text("type");
    case ArchiveListQuery::Serial: return text("serial_number");
    case ArchiveListQuery::Firm: return text("firm");
    default: return QStringLiteral("stored_at");
    }
}

// The typed text as a LIKE pattern's middle: its wildcards taken literally, control
// characters (which no field shows) left out.
QString searchNeedle(const QString &filter)
{
    QString needle;
    for (QChar c : filter.trimmed()) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            continue;
        if (c == u'\\' || c == u'%' || c == u'_')
            needle += u'\\';
        needle += c;
    }
    return needle;
}

// A value as a literal of the statement: the connection's own quoting, so a statement
// is sent once and planned for its values (no prepared statement to free afterwards).
QString literal(const QSqlDriver *driver, const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        QSqlField field(QString(), QMetaType(QMetaType::QString));
        field.setValue(value);
        return driver->formatValue(field);
    }
    return QString::number(value.toLongLong());
}

// The typed text when it is one or two characters (no trigram), else empty.
QString shortNeedle(const QString &filter)
{
    QString needle;
    for (QChar c : filter.trimmed())
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            needle += c;
    return needle.size() < 3 ? needle : QString();
}

// The rows of `query` after `after` in its order, `limit` of them (0: all); `searched` is
// the folded texts' column, or their expression where the rows lack it; `usesShortIndex`
// when the index of short pieces is there. With `scanBound`, only that many rows next in
// the order are looked at for the search (the rows must have the search's column).
QString listStatement(const QSqlDriver *driver, const QString &searched, const ArchiveListQuery &query,
                      const ArchiveSummary *after, const QString &columns, int limit, bool usesShortIndex,
                      int scanBound = 0)
{
    QStringList where;
    if (query.fromMsecs != std::numeric_limits<qint64>::min())
        where << QStringLiteral("stored_at >= %1").arg(query.fromMsecs);
    if (query.toMsecs != std::numeric_limits<qint64>::max())
        where << QStringLiteral("stored_at < %1").arg(query.toMsecs);
    if (query.attentionOnly)
        where << QStringLiteral("attention = 1");
    const QString order = orderExpression(query.sortColumn);
    if (after) {
        const QString value = literal(driver, listSortValue(query.sortColumn, *after));
        where << QStringLiteral("(%1, id) %2 (%3, %4)")
                     .arg(order, query.descending ? u"<" : u">",
                          isTextColumn(query.sortColumn) ? QStringLiteral("left(%1, %2)").arg(value).arg(SortKeyLength) : value)
                     .arg(after->id);
    }
    const QString direction = query.descending ? QStringLiteral("DESC") : QStringLiteral("ASC");
    const QString ordered = QStringLiteral(" ORDER BY %1 %2, id %2").arg(order, direction);
    const QString needle = searchNeedle(query.filter);
    QString search = needle.isEmpty() ? QString()
                                      : QStringLiteral("%1 LIKE ('%' || %2 || '%')")
                                            .arg(searched, folded(literal(driver, needle)));
    // Written as the index of short pieces is made, so the server can use it.
    const QString piece = shortNeedle(query.filter);
    if (usesShortIndex && !piece.isEmpty())
        search += QStringLiteral(" AND %1(%2) @> ARRAY[%3]").arg(ShortPieces, SearchColumn, folded(literal(driver, piece)));
    const QString limited = limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString();
    if (scanBound > 0 && !needle.isEmpty()) {
        const QString range = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
        return QStringLiteral("SELECT %1 FROM (SELECT %1, %2 FROM revisions%3%4 LIMIT %5) r WHERE %6 LIKE ('%' || %7 || '%')%4%8")
            .arg(columns, SearchColumn, range, ordered)
            .arg(scanBound)
            .arg(SearchColumn, folded(literal(driver, needle)), limited);
    }
    if (!search.isEmpty())
        where << search;
    const QString conditions = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    return QStringLiteral("SELECT %1 FROM revisions%2%3%4").arg(columns, conditions, ordered, limited);
}

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

bool run(QSqlDatabase db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = errorText(query.lastError());
    return false;
}

bool hasTrigram(QSqlDatabase db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'")) && query.next();
}

QString nextConnectionName(const char *what)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("bench-archive-server-%1-%2").arg(QLatin1String(what)).arg(++counter);
}

// A connection to the server named `name` with `options`; false (and `problem`) when it fails.
bool connectTo(const ArchiveSettings &settings, const QString &name, const QString &options, QString *problem)
{
    const PasswordFileResult password = readPasswordFile(settings.passwordFile);
    if (!password.problem.isEmpty()) {
        *problem = password.problem;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        *problem = QStringLiteral("нет драйвера Qt SQL QPSQL");
        return false;
    }
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setPassword(password.password);
    db.setConnectOptions(options);
    if (!db.open()) {
        *problem = db.lastError().text().trimmed();
        return false;
    }
    return true;
}

void dropConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}


// What a statement of an ask begins with, so the server shows which ask it runs.
QString askMark(quint64 ticket)
{
    return QStringLiteral("/* archive list %1 */ ").arg(ticket);
}

// Cancels the reader's statement on the server when a newer ask makes it useless.
class ServerListCanceller : public QObject {
public:
    ServerListCanceller(const ArchiveSettings &settings, std::shared_ptr<ServerListShared> shared)
        : m_settings(settings), m_shared(std::move(shared)), m_name(nextConnectionName("cancel"))
    {
    }
    ~ServerListCanceller() override { dropConnection(m_name); }

    void cancel(quint64 ticket)
    {
        int pid = 0;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->running != ticket)
                return; // read to its end meanwhile
            pid = m_shared->backendPid;
        }
        if (pid <= 0)
            return;
        QString problem;
        if (!QSqlDatabase::contains(m_name) || !QSqlDatabase::database(m_name, false).isOpen()) {
            dropConnection(m_name);
            if (!connectTo(m_settings, m_name, ReaderOptions, &problem)) {
                dropConnection(m_name);
                return; // the old read then runs to its end, and its answer is dropped
            }
        }
        // Only while the server still runs that ask: a cancel that came late must not
        // hit the next one.
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(QStringLiteral("SELECT pg_cancel_backend(pid) FROM pg_stat_activity WHERE pid = %1 "
                                       "AND state = 'active' AND starts_with(query, '%2')")
                            .arg(pid)
                            .arg(askMark(ticket))))
            dropConnection(m_name);
    }

private:
    ArchiveSettings m_settings;
    std::shared_ptr<ServerListShared> m_shared;
    QString m_name;
};

} // namespace

// ---- the schema ----

QStringList ServerListSchema::indexNames()
{
    QStringList names;
    for (const IndexDefinition &index : indexDefinitions())
        names << index.name;
    return names;
}

bool ServerListSchema::create(QSqlDatabase db, QString *error)
{
    // A failed statement spoils the transaction; the savepoint keeps it for the rest.
    if (!run(db, QStringLiteral("SAVEPOINT list_trigram"), error))
        return false;
    const bool trigram = hasTrigram(db) || run(db, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"), nullptr);
    if (!run(db, trigram ? QStringLiteral("RELEASE SAVEPOINT list_trigram") : QStringLiteral("ROLLBACK TO SAVEPOINT list_trigram"),
             error))
        return false;
    if (!hasSearchColumn(db) && !run(db, searchColumnStatement(), error))
        return false;
    if (!hasShortPiecesFunction(db) && !run(db, shortPiecesFunction(), error))
        return false;
    for (const IndexDefinition &index : indexDefinitions()) {
        if (index.name == SearchIndex && !trigram)
            continue;
        if (!run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 %2").arg(index.name, index.definition), error))
            return false;
    }
    return true;
}

bool ServerListSchema::hasSearchColumn(QSqlDatabase db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('revisions') "
                                     "AND attname = '%1' AND NOT attisdropped").arg(SearchColumn))
        && query.next();
}

std::optional<QStringList> ServerListSchema::missing(QSqlDatabase db, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_index i ON i.indexrelid = c.oid "
                                   "WHERE i.indisvalid AND pg_table_is_visible(c.oid) AND c.relname LIKE 'revisions_page_%'"))) {
        *error = errorText(query.lastError());
        return std::nullopt;
    }
    QStringList names = indexNames();
    while (query.next())
        names.removeAll(query.value(0).toString());
    if (!hasSearchColumn(db))
        names.prepend(SearchColumn);
    return names;
}

bool ServerListSchema::build(QSqlDatabase db, const QStringList &names, QString *error)
{
    QSqlQuery lock(db);
    if (!lock.exec(QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(BuildLock)) || !lock.next()) {
        *error = errorText(lock.lastError());
        return false;
    }
    if (!lock.value(0).toBool())
        return true; // another bench builds them
    bool ok = true;
    // Another bench may have built some since they were found missing.
    const std::optional<QStringList> still = missing(db, error);
    if (!still)
        ok = false;
    // The search column rewrites the table once (a minute for a million rows): stores
    // meanwhile wait in their benches' outboxes. It waits a little for the table, else
    // the next list of any bench tries again.
    if (ok && still->contains(SearchColumn))
        ok = run(db, QStringLiteral("SET lock_timeout = 10000"), error) && run(db, searchColumnStatement(), error)
            && run(db, QStringLiteral("SET lock_timeout = 0"), error);
    const bool trigram = ok && (hasTrigram(db) || run(db, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"), nullptr));
    if (ok && still->contains(ShortIndex) && !hasShortPiecesFunction(db))
        ok = run(db, shortPiecesFunction(), error);
    for (const IndexDefinition &index : indexDefinitions()) {
        if (!ok)
            break;
        if (!names.contains(index.name) || !still->contains(index.name) || (index.name == SearchIndex && !trigram))
            continue;
        // One left unusable by a build cut short goes first.
        ok = run(db, QStringLiteral("DROP INDEX CONCURRENTLY IF EXISTS %1").arg(index.name), error)
            && run(db, QStringLiteral("CREATE INDEX CONCURRENTLY IF NOT EXISTS %1 %2").arg(index.name, index.definition), error);
    }
    // The search's estimates need the statistics of the new expression.
    if (ok)
        ok = run(db, QStringLiteral("ANALYZE revisions"), error);
    run(db, QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(BuildLock), nullptr);
    return ok;
}

QString ServerListSchema::serialKey()
{
    return QStringLiteral("lower(trim(serial_number))");
}

bool ServerListSchema::hasTrigramIndex(QSqlDatabase db)
{
    QString error;
    const std::optional<QStringList> absent = missing(db, &error);
    return absent && !absent->contains(SearchIndex);
}

// ---- the reader ----

ServerListReader::ServerListReader(const ArchiveSettings &settings, std::shared_ptr<ServerListShared> shared,
                                   bool buildsIndexes)
    : m_settings(settings), m_shared(std::move(shared)), m_connectionName(nextConnectionName("list")),
      m_buildTried(!buildsIndexes)
{
}

ServerListReader::~ServerListReader()
{
    close();
}

void ServerListReader::close()
{
    dropConnection(m_connectionName);
    std::lock_guard lock(m_shared->mutex);
    m_shared->backendPid = 0;
}

bool ServerListReader::open(QString *problem)
{
    if (QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen()) {
        // An archive not brought up to date yet is looked at again: its build may be done.
        bool building = false;
        {
            std::lock_guard lock(m_shared->mutex);
            building = m_shared->building;
        }
        if (m_haveTables && ((m_haveSearchColumn && m_haveShortIndex) || building))
            return true;
    } else {
        close();
        QString why;
        if (!connectTo(m_settings, m_connectionName, ReaderOptions, &why)) {
            close();
            *problem = QStringLiteral("Сервер архива %1 недоступен: %2").arg(m_settings.description(), why);
            return false;
        }
        std::lock_guard lock(m_shared->mutex);
        m_shared->backendPid = 0;
    }
    // One round trip: the server process (for a cancel), and how far the archive is made.
    // An archive that no bench has stored into yet has no tables: its list is empty.
    bool missingIndexes = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        QSqlQuery state(db);
        if (!state.exec(QStringLiteral(
                "SELECT pg_backend_pid(), to_regclass('revisions') IS NOT NULL, "
                "EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('revisions') AND attname = '%1' "
                "AND NOT attisdropped), "
                "(SELECT count(*) FROM pg_class c JOIN pg_index i ON i.indexrelid = c.oid WHERE i.indisvalid "
                "AND pg_table_is_visible(c.oid) AND c.relname IN ('%2')), "
                "EXISTS (SELECT 1 FROM pg_class c JOIN pg_index i ON i.indexrelid = c.oid WHERE i.indisvalid "
                "AND pg_table_is_visible(c.oid) AND c.relname = '%3')")
                            .arg(SearchColumn, ServerListSchema::indexNames().join(QStringLiteral("', '")), ShortIndex))
            || !state.next()) {
            *problem = QStringLiteral("Список архива не читается: ") + errorText(state.lastError());
        } else {
            std::lock_guard lock(m_shared->mutex);
            m_shared->backendPid = state.value(0).toInt();
            m_haveTables = state.value(1).toBool();
            m_haveSearchColumn = state.value(2).toBool();
            missingIndexes = m_haveTables && (!m_haveSearchColumn || state.value(3).toInt() < ServerListSchema::indexNames().size());
            m_haveShortIndex = state.value(4).toBool();
            problem->clear();
        }
    }
    if (!problem->isEmpty()) {
        close();
        return false;
    }
    if (missingIndexes && !m_buildTried) {
        m_buildTried = true;
        startIndexBuild();
    }
    return true;
}

void ServerListReader::startIndexBuild()
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->building)
            return;
        m_shared->building = true;
    }
    // An archive of an earlier version: its list indexes are made beside the list, which
    // meanwhile reads without them. A build cut short by the program's end leaves an
    // unusable index that the next build replaces.
    std::thread([settings = m_settings, shared = m_shared] {
        const QString name = nextConnectionName("indexes");
        QString problem;
        if (connectTo(settings, name, BuilderOptions, &problem)) {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            QString error;
            const std::optional<QStringList> absent = ServerListSchema::missing(db, &error);
            if (absent && !absent->isEmpty() && !ServerListSchema::build(db, *absent, &error))
                qWarning("archive list indexes not built: %s", qPrintable(error));
        }
        dropConnection(name);
        std::lock_guard lock(shared->mutex);
        shared->building = false;
    }).detach();
}

bool ServerListReader::read(const ServerListJob &job, QList<ArchiveSummary> *rows, QList<qint64> *ids,
                            qint64 *count, QSqlError *error)
{
    using Kind = ServerListShared::Kind;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const QSqlDriver *driver = db.driver();
    const QString searched = m_haveSearchColumn ? SearchColumn : searchExpression();
    const QString rowColumns = ProtocolArchive::SummaryColumns;
    const auto exec = [&](const QString &statement) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        // The ask's mark lets a cancel find this statement, and only this one.
        bool done = q.exec(askMark(job.ticket) + statement);
        while (done && q.next()) {
            if (job.kind == Kind::Page) {
                rows->append(ProtocolArchive::summaryOf(q));
            } else if (job.kind == Kind::Ids) {
                ids->append(q.value(0).toLongLong());
            } else {
                *count = q.value(0).toLongLong();
            }
        }
        *error = q.lastError();
        return done && !error->isValid();
    };
    const ArchiveSummary *after = job.after ? &*job.after : nullptr;
    switch (job.kind) {
    case Kind::Page: {
        // A text of one or two characters has no trigram: the trigram index would hand
        // over every row to be looked at again (seconds for a million). Without the index
        // of short pieces the server reads in the list's order or the whole table,
        // whichever it expects to be less.
        if (!shortNeedle(job.query.filter).isEmpty() && m_haveShortIndex) {
            // A text most rows hold fills the page from the rows next in the list's order:
            // a bounded number of them is looked at first.
            if (!exec(listStatement(driver, searched, job.query, after, rowColumns, job.limit, true, ShortScanRows)))
                return false;
            if (rows->size() >= job.limit)
                return true;
            rows->clear();
            // A rarer text: its rows come by the index of short pieces, never by reading on
            // through the whole table.
            if (!exec(QStringLiteral("SET enable_indexscan = off")) || !exec(QStringLiteral("SET enable_seqscan = off")))
                return false;
            const bool ok = exec(listStatement(driver, searched, job.query, after, rowColumns, job.limit, true));
            const QSqlError kept = *error;
            QSqlQuery(db).exec(QStringLiteral("RESET enable_indexscan"));
            QSqlQuery(db).exec(QStringLiteral("RESET enable_seqscan"));
            *error = kept;
            return ok;
        }
        const bool short_ = !shortNeedle(job.query.filter).isEmpty();
        if (short_ && !exec(QStringLiteral("SET enable_bitmapscan = off")))
            return false;
        const bool ok = exec(listStatement(driver, searched, job.query, after, rowColumns, job.limit, m_haveShortIndex));
        if (short_) {
            const QSqlError kept = *error;
            QSqlQuery(db).exec(QStringLiteral("RESET enable_bitmapscan"));
            *error = kept;
        }
        return ok;
    }
    case Kind::Ids: return exec(listStatement(driver, searched, job.query, nullptr, QStringLiteral("id"), 0, m_haveShortIndex));
    case Kind::Count: return exec(QStringLiteral("SELECT count(*) FROM revisions"));
    }
    return false;
}

void ServerListReader::work()
{
    using Kind = ServerListShared::Kind;
    for (;;) {
        ServerListShared::Job job;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->page) {
                job = *m_shared->page;
                m_shared->page.reset();
            } else if (m_shared->ids) {
                job = *m_shared->ids;
                m_shared->ids.reset();
            } else if (m_shared->countWanted) {
                m_shared->countWanted = false;
                job.kind = Kind::Count;
                job.ticket = ++m_shared->nextTicket;
            } else {
                m_shared->running = 0;
                return;
            }
            m_shared->running = job.ticket;
            m_shared->runningKind = job.kind;
        }
        QList<ArchiveSummary> rows;
        QList<qint64> ids;
        qint64 count = 0;
        QString problem;
        bool ok = false;
        bool dropped = false;
        // A read the server cancelled, or a connection it dropped, is tried again.
        for (int attempt = 0; attempt < 3 && !ok && !dropped; ++attempt) {
            if (!open(&problem))
                continue;
            if (!m_haveTables) {
                ok = true;
                break;
            }
            QSqlError error;
            ok = read(job, &rows, &ids, &count, &error);
            if (ok)
                break;
            rows.clear();
            ids.clear();
            problem = QStringLiteral("Список архива не читается: ") + errorText(error);
            if (error.nativeErrorCode() == QLatin1String("57014")) {
                std::lock_guard lock(m_shared->mutex);
                // Cancelled for a newer ask: nobody waits for it any more.
                if (job.kind == Kind::Page && m_shared->latestPage != job.ticket)
                    dropped = true;
                if (job.kind == Kind::Count) {
                    m_shared->countWanted = true; // asked again after the page that cut it short
                    dropped = true;
                }
            } else {
                // A connection that failed once is opened afresh.
                m_haveTables = false;
                close();
            }
        }
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->running = 0;
        }
        if (dropped)
            continue;
        switch (job.kind) {
        case Kind::Page: emit rowsRead(job.ticket, rows, ok, ok ? QString() : problem); break;
        case Kind::Ids: emit idsRead(job.ticket, ids, ok, ok ? QString() : problem); break;
        case Kind::Count:
            if (ok)
                emit countRead(count);
            break;
        }
    }
}

// ---- the source ----

ServerListSource::ServerListSource(const ArchiveSettings &settings, QObject *parent)
    : AsyncArchiveListSource(parent), m_settings(settings), m_shared(std::make_shared<ServerListShared>()),
      m_countShared(std::make_shared<ServerListShared>())
{
    m_readerThread = new QThread;
    m_readerThread->setObjectName(QStringLiteral("archive list reader"));
    auto *reader = new ServerListReader(m_settings, m_shared, true);
    reader->moveToThread(m_readerThread);
    m_reader = reader;
    connect(reader, &ServerListReader::rowsRead, this, &AsyncArchiveListSource::rowsRead);
    m_readerThread->start();

    // Counting a million rows takes most of a second: on a connection of its own, so no
    // page waits behind it.
    m_countThread = new QThread;
    m_countThread->setObjectName(QStringLiteral("archive list counter"));
    auto *counter = new ServerListReader(m_settings, m_countShared, false);
    counter->moveToThread(m_countThread);
    m_counter = counter;
    connect(counter, &ServerListReader::countRead, this, &AsyncArchiveListSource::countRead);
    m_countThread->start();

    m_cancelThread = new QThread;
    m_cancelThread->setObjectName(QStringLiteral("archive list canceller"));
    auto *canceller = new ServerListCanceller(m_settings, m_shared);
    canceller->moveToThread(m_cancelThread);
    m_canceller = canceller;
    m_cancelThread->start();
}

ServerListSource::~ServerListSource()
{
    stop();
}

void ServerListSource::stop(int msecs)
{
    if (m_reader) {
        disconnect(m_reader, nullptr, this, nullptr);
        retire(m_reader, m_readerThread, msecs / 2);
        m_reader = nullptr;
        m_readerThread = nullptr;
    }
    if (m_counter) {
        disconnect(m_counter, nullptr, this, nullptr);
        // A count under way is of no use any more: its thread ends when it does.
        retire(m_counter, m_countThread, std::min(msecs / 4, 20));
        m_counter = nullptr;
        m_countThread = nullptr;
    }
    if (m_canceller) {
        retire(m_canceller, m_cancelThread, msecs / 4);
        m_canceller = nullptr;
        m_cancelThread = nullptr;
    }
}

int ServerListSource::readerBackendPid() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->backendPid;
}

bool ServerListSource::isBuildingIndexes() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->building;
}

quint64 ServerListSource::ask(const ArchiveListQuery &query, const std::optional<ArchiveSummary> &after, int limit)
{
    ServerListShared::Job job;
    job.kind = ServerListShared::Kind::Page;
    job.ticket = ++m_shared->nextTicket;
    job.query = query;
    job.after = after;
    job.limit = limit;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->page = job;
        m_shared->latestPage = job.ticket;
    }
    if (auto *reader = static_cast<ServerListReader *>(m_reader))
        QMetaObject::invokeMethod(reader, [reader] { reader->work(); }, Qt::QueuedConnection);
    cancelRunning();
    return job.ticket;
}

void ServerListSource::cancelRunning()
{
    quint64 running = 0;
    {
        std::lock_guard lock(m_shared->mutex);
        // An export's ids are waited for; a page or a count gives way to the newest page.
        if (m_shared->running == 0 || m_shared->runningKind == ServerListShared::Kind::Ids)
            return;
        running = m_shared->running;
    }
    if (auto *canceller = static_cast<ServerListCanceller *>(m_canceller))
        QMetaObject::invokeMethod(canceller, [canceller, running] { canceller->cancel(running); }, Qt::QueuedConnection);
}

void ServerListSource::askCount()
{
    {
        std::lock_guard lock(m_countShared->mutex);
        m_countShared->countWanted = true;
    }
    if (auto *counter = static_cast<ServerListReader *>(m_counter))
        QMetaObject::invokeMethod(counter, [counter] { counter->work(); }, Qt::QueuedConnection);
}

std::optional<QList<qint64>> ServerListSource::allIds(const ArchiveListQuery &query, QString *error)
{
    auto *reader = static_cast<ServerListReader *>(m_reader);
    if (!reader) {
        *error = QStringLiteral("Список архива не читается");
        return std::nullopt;
    }
    ServerListShared::Job job;
    job.kind = ServerListShared::Kind::Ids;
    job.ticket = ++m_shared->nextTicket;
    job.query = query;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->ids = job;
    }
    std::optional<QList<qint64>> result;
    bool answered = false;
    QEventLoop loop;
    const QMetaObject::Connection c = connect(
        reader, &ServerListReader::idsRead, &loop,
        [&](quint64 ticket, const QList<qint64> &ids, bool ok, const QString &problem) {
            if (ticket != job.ticket)
                return;
            answered = true;
            if (ok)
                result = ids;
            else
                *error = problem;
            loop.quit();
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(reader, [reader] { reader->work(); }, Qt::QueuedConnection);
    QTimer::singleShot(IdsWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(c);
    if (!answered)
        *error = QStringLiteral("Сервер архива %1 не ответил за %2 с").arg(m_settings.description()).arg(IdsWaitMs / 1000);
    return result;
}
