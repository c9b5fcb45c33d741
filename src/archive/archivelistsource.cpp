#include "archivelistsource.h"

#include "protocolarchive.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>

namespace {

// -1, 0, 1 as `a` sorts before, with or after `b` in ascending order of `column`.
int compareBy(ArchiveListQuery::Column column, const ArchiveSummary &a, const ArchiveSummary &b)
{
    const auto three = [](const auto &x, const auto &y) { return x < y ? -1 : y < x ? 1 : 0; };
    int order = 0;
    switch (column) {
    case ArchiveListQuery::Date: order = three(a.msecs, b.msecs); break;
    case ArchiveListQuery::Protocol: order = a.protocolNumber.compare(b.protocolNumber); break;
    case ArchiveListQuery::Revision: order = three(a.revision, b.revision); break;
    case ArchiveListQuery::Type: order = a.type.compare(b.type); break;
    case ArchiveListQuery::Serial: order = a.serialNumber.compare(b.serialNumber); break;
    case ArchiveListQuery::Firm: order = a.firm.compare(b.firm); break;
    case ArchiveListQuery::ColumnCount: break;
    }
    return order != 0 ? (order < 0 ? -1 : 1) : three(a.id, b.id);
}

const char *columnName(ArchiveListQuery::Column column)
{
    switch (column) {
    case ArchiveListQuery::Protocol: return "protocol_number";
    case ArchiveListQuery::Revision: return "revision";
    case ArchiveListQuery::Type: return "type";
    case ArchiveListQuery::Serial: return "serial_number";
    case ArchiveListQuery::Firm: return "firm";
    default: return "stored_at";
    }
}

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("bench-archive-list-%1").arg(++counter);
}

} // namespace

// ---- in memory ----

QList<ArchiveSummary> MemoryArchiveListSource::sorted(const ArchiveListQuery &query) const
{
    QList<ArchiveSummary> list;
    for (const ArchiveSummary &row : m_records) {
        if (row.msecs >= query.fromMsecs && row.msecs < query.toMsecs
            && (!query.attentionOnly || row.failing > 0 || row.analysis > 0))
            list.append(row);
    }
    std::stable_sort(list.begin(), list.end(), [&](const ArchiveSummary &a, const ArchiveSummary &b) {
        const int order = compareBy(query.sortColumn, a, b);
        return query.descending ? order > 0 : order < 0;
    });
    return list;
}

std::optional<QList<ArchiveSummary>> MemoryArchiveListSource::rows(const ArchiveListQuery &query,
                                                                   const ArchiveSummary *after, int limit)
{
    const QList<ArchiveSummary> list = sorted(query);
    qsizetype start = 0;
    if (after) {
        while (start < list.size()) {
            const int order = compareBy(query.sortColumn, list[start], *after);
            ++start;
            if (order == 0)
                break;
        }
    }
    return list.mid(start, limit);
}

// ---- SQL ----

SqlArchiveListSource::SqlArchiveListSource(const ArchiveSettings &settings)
    : m_settings(settings), m_connectionName(nextConnectionName())
{
}

SqlArchiveListSource::~SqlArchiveListSource()
{
    close();
}

void SqlArchiveListSource::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqlArchiveListSource::open()
{
    if (QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen())
        return true;
    close();
    const bool server = m_settings.isServer();
    QSqlDatabase db = QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                                m_connectionName);
    db.setDatabaseName(m_settings.database);
    if (server) {
        const PasswordFileResult password = readPasswordFile(m_settings.passwordFile);
        db.setHostName(m_settings.host);
        db.setPort(m_settings.port);
        db.setUserName(m_settings.user);
        db.setPassword(password.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=1;tcp_user_timeout=1000"));
    } else {
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    }
    if (!db.isValid() || !db.open()) {
        m_lastError = QStringLiteral("Архив протоколов %1 не открывается: %2")
                          .arg(m_settings.description(), db.lastError().text().trimmed());
        close();
        return false;
    }
    // A page in any order starts at once only with an index of its column. Made once per
    // archive; one that cannot be made now (locked, read-only) only makes the list slower.
    QSqlQuery index(db);
    index.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS revisions_list_date ON revisions "
                              "(stored_at, id, protocol_number, type, serial_number, revision, firm)"));
    for (int c = ArchiveListQuery::Protocol; c < ArchiveListQuery::ColumnCount; ++c) {
        const QString name = QString::fromLatin1(columnName(ArchiveListQuery::Column(c)));
        index.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS revisions_list_%1 ON revisions (%1, id)").arg(name));
    }
    return true;
}

namespace {

struct Statement {
    QString where;
    QVariantList values;
};

Statement conditions(const ArchiveListQuery &query)
{
    Statement s;
    QStringList parts;
    if (query.fromMsecs != std::numeric_limits<qint64>::min()) {
        parts.append(QStringLiteral("stored_at >= ?"));
        s.values << query.fromMsecs;
    }
    if (query.toMsecs != std::numeric_limits<qint64>::max()) {
        parts.append(QStringLiteral("stored_at < ?"));
        s.values << query.toMsecs;
    }
    // Served by the index of (attention, stored_at, id).
    if (query.attentionOnly)
        parts.append(QStringLiteral("attention = 1"));
    s.where = parts.join(QStringLiteral(" AND "));
    return s;
}


} // namespace

std::optional<QList<ArchiveSummary>> SqlArchiveListSource::rows(const ArchiveListQuery &query,
                                                                const ArchiveSummary *after, int limit)
{
    if (!open())
        return std::nullopt;
    Statement s = conditions(query);
    const QString column = QString::fromLatin1(columnName(query.sortColumn));
    const QString direction = query.descending ? QStringLiteral("DESC") : QStringLiteral("ASC");
    if (after) {
        const QString keyset = QStringLiteral("(%1, id) %2 (?, ?)").arg(column, query.descending ? u"<" : u">");
        s.where = s.where.isEmpty() ? keyset : s.where + QStringLiteral(" AND ") + keyset;
        s.values << listSortValue(query.sortColumn, *after) << after->id;
    }
    const QString statement =
        QStringLiteral("SELECT %1 FROM revisions%2 ORDER BY %3 %4, id %4 LIMIT %5")
            .arg(ProtocolArchive::SummaryColumns,
                 s.where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + s.where, column, direction)
            .arg(limit);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    bool ok = q.prepare(statement);
    for (const QVariant &value : std::as_const(s.values))
        q.addBindValue(value);
    ok = ok && q.exec();
    QList<ArchiveSummary> list;
    while (ok && q.next())
        list.append(ProtocolArchive::summaryOf(q));
    if (!ok || q.lastError().isValid()) {
        m_lastError = QStringLiteral("Архив протоколов не читается: ") + q.lastError().text().trimmed();
        close();
        return std::nullopt;
    }
    return list;
}

std::optional<qint64> SqlArchiveListSource::count()
{
    if (!open())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (!q.exec(QStringLiteral("SELECT count(*) FROM revisions")) || !q.next()) {
        m_lastError = QStringLiteral("Архив протоколов не читается: ") + q.lastError().text().trimmed();
        close();
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

QVariant listSortValue(ArchiveListQuery::Column column, const ArchiveSummary &row)
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
