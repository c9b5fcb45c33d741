#pragma once

#include "archivelistsource.h"
#include "archiverecord.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QTimer>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The archive's list for the window: date, protocol number, revision, type, serial
// number, firm, the stored verdict and who approved; newest first until a click on a column's head orders it by that column.
// The filter keeps the rows whose type, serial number or protocol number contains the
// text, without regard to case; a span of days keeps the rows of those days.
//
// Rows are read a page at a time as the view scrolls to them (canFetchMore/fetchMore),
// so a million records open as fast as a hundred and memory holds only what was seen.
// From a file the text filter is applied here, to the rows as they are read in slices: a
// keystroke reads for at most SliceMs, shows what matched, and the rest of the search goes
// on in later turns of the event loop (a new keystroke starts it afresh), so neither a
// rare text nor one that matches nothing holds up the window.
//
// A server's list comes from an AsyncArchiveListSource, which searches itself and answers
// later: the model asks and returns at once, and isLoading() says rows are still coming.
// A new query keeps the rows shown until its first page arrives, so the list is never
// blank while the server reads, and a read that fails leaves what was shown and is asked
// again RetryMs later (a timer, so a clock set back does not hold it up).
class ArchiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        DateColumn = ArchiveListQuery::Date,
        ProtocolColumn = ArchiveListQuery::Protocol,
        RevisionColumn = ArchiveListQuery::Revision,
        TypeColumn = ArchiveListQuery::Type,
        SerialColumn = ArchiveListQuery::Serial,
        FirmColumn = ArchiveListQuery::Firm,
        // The stored judgement and the approval: shown, not an order of the list.
        VerdictColumn = ArchiveListQuery::ColumnCount,
        ApprovalColumn,
        ColumnCount
    };
    static constexpr int IdRole = Qt::UserRole + 1;
    static constexpr int PageSize = 200;
    // Rows read at a time while a text filter is searched for, and how long one turn may read.
    static constexpr int SliceRows = 500;
    static constexpr int SliceMs = 10;
    // How long after a failed read of a server it is asked again.
    static constexpr int RetryMs = 5000;

    explicit ArchiveListModel(QObject *parent = nullptr);
    ~ArchiveListModel() override;

    // Reads from `source` from now on, beginning again at the first page.
    void setSource(std::unique_ptr<ArchiveListSource> source);
    ArchiveListSource *source() const { return m_source.get(); }
    // A list held in memory (newest first).
    void setRecords(QList<ArchiveSummary> records);
    // Reads from a source that answers later (a server) from now on, beginning again.
    void setAsyncSource(std::unique_ptr<AsyncArchiveListSource> source);
    AsyncArchiveListSource *asyncSource() const { return m_async.get(); }

    // Reads the first page again; false (and problem()) when the archive cannot be read.
    bool reload();
    // True while a search goes on in later turns of the event loop, or rows asked of a
    // server have not come yet.
    bool isSearching() const { return m_async ? m_loading : !m_complete && m_rows.size() < m_wanted; }
    // Rows asked of a server have not come yet.
    bool isLoading() const { return m_loading; }
    // The ids of every row of the list as shown (filter and span included), in its order:
    // for an export of the whole list. Nullopt (and lastProblem()) when the archive cannot be read.
    std::optional<QList<qint64>> allIds();
    // Why the last read failed.
    QString lastProblem() const { return m_problem; }

    // Only the records whose stored judgement has rows that do not conform or need analysis.
    void setAttentionOnly(bool only);
    void setFilterText(const QString &text);
    QString filterText() const { return m_query.filter; }
    // The days from `first` to `last`, both kept, local time; an invalid date leaves that end open.
    void setDateRange(const QDate &first, const QDate &last);
    const ArchiveListQuery &query() const { return m_query; }

    // The record shown in `row` (a row read so far).
    const ArchiveSummary &summaryAt(int row) const { return m_rows[row]; }
    qint64 idAt(int row) const { return m_rows[row].id; }

    static QString dateText(qint64 msecs);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // The archive could not be read; the list shows what it had.
    void problem(const QString &text);
    // A search that went on in later turns has read to its end or filled its page.
    void searchFinished();
    // Rows asked of a server are coming (true) or have come or failed (false).
    void loadingChanged(bool loading);
    // A server's page has arrived.
    void rowsArrived();

private:
    void requery();
    // Reads slices until the wanted rows are there, the list ends, or the turn's time is up.
    bool readOn();
    bool matches(const ArchiveSummary &row) const;
    // The query the source sees: the span and the order; the text is applied here.
    ArchiveListQuery sourceQuery() const;
    void askServer();
    void serverAnswered(quint64 ticket, const QList<ArchiveSummary> &rows, bool ok, const QString &problem);
    void setLoading(bool loading);
    void failed(const QString &problem);

    std::unique_ptr<ArchiveListSource> m_source;
    ArchiveListQuery m_query;
    QList<ArchiveSummary> m_rows;
    std::optional<ArchiveSummary> m_lastRead; // the last row read from the source, shown or not
    qsizetype m_wanted = PageSize;            // rows the view asked for so far
    bool m_complete = true;                   // the source has no rows after m_lastRead
    QTimer *m_readOn = nullptr;
    QString m_problem;

    std::unique_ptr<AsyncArchiveListSource> m_async;
    quint64 m_asked = 0;      // the ticket of the page awaited, 0 for none
    bool m_replace = false;   // the page awaited begins the list anew
    bool m_loading = false;
    QTimer *m_retry = nullptr;
};
