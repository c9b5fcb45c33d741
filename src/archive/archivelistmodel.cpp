#include "archivelistmodel.h"

#include <QDateTime>
#include <QElapsedTimer>

ArchiveListModel::ArchiveListModel(QObject *parent)
    : QAbstractTableModel(parent), m_readOn(new QTimer(this)), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_async)
            askServer();
    });
    m_readOn->setSingleShot(true);
    m_readOn->setInterval(0);
    connect(m_readOn, &QTimer::timeout, this, [this] {
        if (readOn() && isSearching())
            m_readOn->start();
        else
            emit searchFinished();
    });
}

ArchiveListModel::~ArchiveListModel() = default;

void ArchiveListModel::setSource(std::unique_ptr<ArchiveListSource> source)
{
    m_async.reset();
    m_asked = 0;
    m_replace = false;
    m_retry->stop();
    setLoading(false);
    m_source = std::move(source);
    requery();
}

void ArchiveListModel::setAsyncSource(std::unique_ptr<AsyncArchiveListSource> source)
{
    m_source.reset();
    m_async = std::move(source);
    connect(m_async.get(), &AsyncArchiveListSource::rowsRead, this, &ArchiveListModel::serverAnswered);
    requery();
}

void ArchiveListModel::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    emit loadingChanged(loading);
}

void ArchiveListModel::failed(const QString &problem)
{
    m_problem = problem;
    emit this->problem(problem);
}

void ArchiveListModel::askServer()
{
    m_retry->stop();
    m_asked = m_async->ask(m_query, m_replace ? std::nullopt : m_lastRead, PageSize);
    setLoading(true);
}

void ArchiveListModel::serverAnswered(quint64 ticket, const QList<ArchiveSummary> &rows, bool ok, const QString &problem)
{
    // Only the newest ask counts; an older answer that slipped through is dropped.
    if (ticket != m_asked)
        return;
    m_asked = 0;
    if (!ok) {
        // What was shown stays; the same page is asked again later.
        setLoading(false);
        failed(problem);
        m_retry->start();
        return;
    }
    m_problem.clear();
    if (m_replace) {
        beginResetModel();
        m_rows = rows;
        m_replace = false;
        m_lastRead.reset();
        endResetModel();
    } else if (!rows.isEmpty()) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
        m_rows.append(rows);
        endInsertRows();
    }
    if (!rows.isEmpty())
        m_lastRead = rows.constLast();
    m_complete = rows.size() < PageSize;
    setLoading(false);
    emit rowsArrived();
}

void ArchiveListModel::setRecords(QList<ArchiveSummary> records)
{
    setSource(std::make_unique<MemoryArchiveListSource>(std::move(records)));
}

ArchiveListQuery ArchiveListModel::sourceQuery() const
{
    ArchiveListQuery query = m_query;
    query.filter.clear();
    return query;
}

bool ArchiveListModel::matches(const ArchiveSummary &row) const
{
    const QString &filter = m_query.filter;
    return filter.isEmpty() || row.type.contains(filter, Qt::CaseInsensitive)
        || row.serialNumber.contains(filter, Qt::CaseInsensitive)
        || row.protocolNumber.contains(filter, Qt::CaseInsensitive);
}

bool ArchiveListModel::readOn()
{
    if (!m_source)
        return false;
    const ArchiveListQuery query = sourceQuery();
    // Without a text every row read is shown: a page is one read.
    const int slice = m_query.filter.isEmpty() ? PageSize : SliceRows;
    QElapsedTimer turn;
    turn.start();
    while (!m_complete && m_rows.size() < m_wanted) {
        std::optional<QList<ArchiveSummary>> read = m_source->rows(query, m_lastRead ? &*m_lastRead : nullptr, slice);
        if (!read) {
            m_complete = true;
            failed(m_source->lastError());
            return false;
        }
        m_complete = read->size() < slice;
        if (!read->isEmpty())
            m_lastRead = read->constLast();
        QList<ArchiveSummary> shown;
        for (ArchiveSummary &row : *read) {
            if (matches(row))
                shown.append(std::move(row));
        }
        if (!shown.isEmpty()) {
            beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + shown.size() - 1));
            m_rows.append(std::move(shown));
            endInsertRows();
        }
        if (turn.elapsed() >= SliceMs)
            break;
    }
    return true;
}

bool ArchiveListModel::reload()
{
    m_readOn->stop();
    if (m_async) {
        // The rows shown stay until the first page of the new list replaces them.
        m_replace = true;
        m_complete = false;
        m_wanted = PageSize;
        askServer();
        return true;
    }
    beginResetModel();
    m_rows.clear();
    m_lastRead.reset();
    m_wanted = PageSize;
    m_complete = !m_source;
    endResetModel();
    const bool ok = readOn();
    if (ok && isSearching())
        m_readOn->start();
    return ok;
}

std::optional<QList<qint64>> ArchiveListModel::allIds()
{
    if (m_async)
        return m_async->allIds(m_query, &m_problem);
    QList<qint64> ids;
    if (!m_source)
        return ids;
    const ArchiveListQuery query = sourceQuery();
    std::optional<ArchiveSummary> last;
    for (;;) {
        std::optional<QList<ArchiveSummary>> read = m_source->rows(query, last ? &*last : nullptr, SliceRows);
        if (!read) {
            m_problem = m_source->lastError();
            return std::nullopt;
        }
        for (const ArchiveSummary &row : std::as_const(*read)) {
            if (matches(row))
                ids.append(row.id);
        }
        if (read->size() < SliceRows)
            return ids;
        last = read->constLast();
    }
}

void ArchiveListModel::requery()
{
    reload();
}

void ArchiveListModel::setAttentionOnly(bool only)
{
    if (only == m_query.attentionOnly)
        return;
    m_query.attentionOnly = only;
    requery();
}

void ArchiveListModel::setFilterText(const QString &text)
{
    const QString filter = text.trimmed();
    if (filter == m_query.filter)
        return;
    m_query.filter = filter;
    requery();
}

void ArchiveListModel::setDateRange(const QDate &first, const QDate &last)
{
    ArchiveListQuery query = m_query;
    query.fromMsecs = first.isValid() ? first.startOfDay().toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    query.toMsecs = last.isValid() ? last.addDays(1).startOfDay().toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
    if (query == m_query)
        return;
    m_query = query;
    requery();
}

void ArchiveListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ArchiveListQuery::ColumnCount)
        return;
    ArchiveListQuery query = m_query;
    query.sortColumn = ArchiveListQuery::Column(column);
    query.descending = order == Qt::DescendingOrder;
    if (query == m_query)
        return;
    m_query = query;
    requery();
}

bool ArchiveListModel::canFetchMore(const QModelIndex &parent) const
{
    if (m_async)
        return !parent.isValid() && !m_complete && !m_loading && !m_replace && !m_retry->isActive();
    // While a search goes on in later turns, the view need not ask.
    return !parent.isValid() && !m_complete && m_source && !m_readOn->isActive();
}

void ArchiveListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    if (m_async) {
        askServer();
        return;
    }
    m_wanted = m_rows.size() + PageSize;
    if (readOn() && isSearching())
        m_readOn->start();
}

QString ArchiveListModel::dateText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

int ArchiveListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ArchiveListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ArchiveSummary &record = m_rows[index.row()];
    if (role == IdRole)
        return record.id;
    if (role == Qt::TextAlignmentRole && index.column() == RevisionColumn)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case DateColumn: return dateText(record.msecs);
    case ProtocolColumn: return record.protocolNumber;
    case RevisionColumn: return record.revision;
    case TypeColumn: return record.type;
    case SerialColumn: return record.serialNumber;
    case FirmColumn: return record.firm;
    case VerdictColumn: return record.verdictText();
    case ApprovalColumn:
        return record.approvedBy.isEmpty() ? QString() : record.approvedBy + QStringLiteral(", ") + dateText(record.approvedMsecs);
    default: return {};
    }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case DateColumn: return QStringLiteral("Дата");
    case ProtocolColumn: return QStringLiteral("Протокол №");
    case RevisionColumn: return QStringLiteral("Редакция");
    case TypeColumn: return QStringLiteral("Тип трансформатора");
    case SerialColumn: return QStringLiteral("Заводской №");
    case FirmColumn: return QStringLiteral("Фирма");
    case VerdictColumn: return QStringLiteral("Оценка");
    case ApprovalColumn: return QStringLiteral("Утверждено");
    default: return {};
    }
}
