#include "archivelistmodel.h"

#include <QDateTime>

ArchiveListModel::ArchiveListModel(QObject *parent) : QAbstractTableModel(parent) {}

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

bool ArchiveListModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_complete = true;
    std::optional<QList<ArchiveSummary>> page;
    if (m_source)
        page = m_source->rows(m_query, nullptr, PageSize);
    if (page) {
        m_rows = std::move(*page);
        m_complete = m_rows.size() < PageSize;
    }
    endResetModel();
    if (m_source && !page) {
        emit problem(m_source->lastError());
        return false;
    }
    return true;
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
    return !parent.isValid() && !m_complete && m_source;
}

void ArchiveListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    std::optional<QList<ArchiveSummary>> page = m_source->rows(m_query, &m_rows.constLast(), PageSize);
    if (!page) {
        m_complete = true;
        emit problem(m_source->lastError());
        return;
    }
    m_complete = page->size() < PageSize;
    if (page->isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page->size() - 1));
    m_rows.append(std::move(*page));
    endInsertRows();
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
