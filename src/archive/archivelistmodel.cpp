#include "archivelistmodel.h"

#include <QDateTime>

ArchiveListModel::ArchiveListModel(QObject *parent) : QAbstractTableModel(parent) {}

void ArchiveListModel::setRecords(QList<ArchiveSummary> records)
{
    beginResetModel();
    m_records = std::move(records);
    m_visible.clear();
    m_visible.reserve(m_records.size());
    for (int i = 0; i < m_records.size(); ++i) {
        if (matches(m_records[i]))
            m_visible.append(i);
    }
    endResetModel();
}

bool ArchiveListModel::matches(const ArchiveSummary &record) const
{
    return m_filter.isEmpty() || record.type.contains(m_filter, Qt::CaseInsensitive)
        || record.serialNumber.contains(m_filter, Qt::CaseInsensitive)
        || record.protocolNumber.contains(m_filter, Qt::CaseInsensitive);
}

void ArchiveListModel::setFilterText(const QString &text)
{
    const QString filter = text.trimmed();
    if (filter == m_filter)
        return;
    // A longer text can only narrow the rows already shown.
    const bool narrowing = !m_filter.isEmpty() && filter.contains(m_filter, Qt::CaseInsensitive);
    m_filter = filter;
    beginResetModel();
    QVector<int> visible;
    if (narrowing) {
        for (int i : std::as_const(m_visible)) {
            if (matches(m_records[i]))
                visible.append(i);
        }
    } else {
        visible.reserve(m_records.size());
        for (int i = 0; i < m_records.size(); ++i) {
            if (matches(m_records[i]))
                visible.append(i);
        }
    }
    m_visible = std::move(visible);
    endResetModel();
}

QString ArchiveListModel::dateText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

int ArchiveListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

int ArchiveListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_visible.size())
        return {};
    const ArchiveSummary &record = summaryAt(index.row());
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
