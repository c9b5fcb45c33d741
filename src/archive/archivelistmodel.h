#pragma once

#include "archiverecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QVector>

// The archive's list for the window: date, protocol number, revision, type, serial
// number, firm; newest first, as the archive gives it. The filter keeps the rows whose
// type, serial number or protocol number contains the text, without regard to case.
// Filtering works on the rows in memory, never on the database, so a keystroke costs
// one pass over the list (fewer when the text only grows).
class ArchiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateColumn, ProtocolColumn, RevisionColumn, TypeColumn, SerialColumn, FirmColumn, ColumnCount };
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit ArchiveListModel(QObject *parent = nullptr);

    void setRecords(QList<ArchiveSummary> records);
    const QList<ArchiveSummary> &records() const { return m_records; }

    void setFilterText(const QString &text);
    QString filterText() const { return m_filter; }

    // The record shown in `row` (a row of the filtered list).
    const ArchiveSummary &summaryAt(int row) const { return m_records[m_visible[row]]; }
    qint64 idAt(int row) const { return summaryAt(row).id; }

    static QString dateText(qint64 msecs);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool matches(const ArchiveSummary &record) const;

    QList<ArchiveSummary> m_records;
    QVector<int> m_visible; // indexes into m_records, in order
    QString m_filter;
};
