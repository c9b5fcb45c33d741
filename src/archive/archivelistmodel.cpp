#include "archivelistmodel.h"

#include <QDateTime>
#include <QElapsedTimer>

ArchiveListModel::ArchiveListModel(QObject *parent) : QAbstractTableModel(parent), m_readOn(new QTimer(this))
{
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
    m_source = std::move(source);
    requery();
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
            emit problem(m_source->lastError());
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
    QList<qint64> ids;
    if (!m_source)
        return ids;
    const ArchiveListQuery query = sourceQuery();
    std::optional<ArchiveSummary> last;
    for (;;) {
        std::optional<QList<ArchiveSummary>> read = m_source->rows(query, last ? &*last : nullptr, SliceRows);
        if (!read)
            return std::nullopt;
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
    if (column < 0 || column >= ColumnCount)
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
    // While a search goes on in later turns, the view need not ask.
    return !parent.isValid() && !m_complete && m_source && !m_readOn->isActive();
}

void ArchiveListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
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
    default: return {};
    }
}
