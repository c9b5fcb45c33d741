#pragma once

#include "archiverecord.h"
#include "archivesettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <limits>
#include <optional>

// What the archive's list shows: narrowed by a text and a span of time, in the order of
// one of its columns.
struct ArchiveListQuery {
    // The order's column, as the list numbers them.
    enum Column { Date, Protocol, Revision, Type, Serial, Firm, ColumnCount };

    // Kept when the type, serial number or protocol number contains it, any case. Applied by
    // the list model to the rows a source read from a file; a server applies it itself.
    QString filter;
    qint64 fromMsecs = std::numeric_limits<qint64>::min(); // first moment kept, UTC milliseconds
    qint64 toMsecs = std::numeric_limits<qint64>::max();   // first moment no longer kept
    // Kept only the records whose stored judgement has rows that do not conform or need analysis.
    bool attentionOnly = false;
    Column sortColumn = Date;
    bool descending = true; // ties fall to the record's id in the same direction

    bool operator==(const ArchiveListQuery &) const = default;
};

// The value a row is ordered by in `column`: where a page of the list resumes after it.
QVariant listSortValue(ArchiveListQuery::Column column, const ArchiveSummary &row);

// The list's rows a page at a time, so a window shows a million records as fast as a
// hundred: each page starts after the last row of the one before, never by counting
// rows from the top.
class ArchiveListSource {
public:
    virtual ~ArchiveListSource() = default;
    // Up to `limit` rows of the span in the query's order after `after` (none: from the
    // start); nullopt when unreadable. The query's text is not applied.
    virtual std::optional<QList<ArchiveSummary>> rows(const ArchiveListQuery &query, const ArchiveSummary *after,
                                                      int limit) = 0;
    // How many records the archive holds.
    virtual std::optional<qint64> count() = 0;
    // Why the last call failed.
    virtual QString lastError() const = 0;
};

// Rows held in memory (newest first as given).
class MemoryArchiveListSource : public ArchiveListSource {
public:
    explicit MemoryArchiveListSource(QList<ArchiveSummary> records) : m_records(std::move(records)) {}
    std::optional<QList<ArchiveSummary>> rows(const ArchiveListQuery &query, const ArchiveSummary *after,
                                              int limit) override;
    std::optional<qint64> count() override { return m_records.size(); }
    QString lastError() const override { return {}; }

private:
    QList<ArchiveSummary> sorted(const ArchiveListQuery &query) const;
    QList<ArchiveSummary> m_records;
};

// The rows read from the archive's database over a connection of its own, one query per
// page. An index per column of the list lets a page start anywhere at once; the source
// makes the ones that are missing the first time it reads the database.
class SqlArchiveListSource : public ArchiveListSource {
public:
    explicit SqlArchiveListSource(const ArchiveSettings &settings);
    ~SqlArchiveListSource() override;

    std::optional<QList<ArchiveSummary>> rows(const ArchiveListQuery &query, const ArchiveSummary *after,
                                              int limit) override;
    std::optional<qint64> count() override;
    QString lastError() const override { return m_lastError; }

private:
    bool open();
    void close();

    ArchiveSettings m_settings;
    QString m_connectionName;
    QString m_lastError;
};

// The rows of an archive that answers later (a server): asked on the window's thread, read
// on a thread of its own and answered by a signal, so the window never waits. A newer
// ask supersedes the older ones, which are never answered. The query's text is applied.
class AsyncArchiveListSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Up to `limit` rows after `after` (none: from the start); answered by rowsRead with
    // the ticket returned.
    virtual quint64 ask(const ArchiveListQuery &query, const std::optional<ArchiveSummary> &after, int limit) = 0;
    // How many records the archive holds; answered by countRead.
    virtual void askCount() = 0;
    // The ids of every row `query` keeps, in its order, for an export. The calling thread's
    // event loop runs while they are read; nullopt (and `error`) when unreadable.
    virtual std::optional<QList<qint64>> allIds(const ArchiveListQuery &query, QString *error) = 0;

signals:
    void rowsRead(quint64 ticket, const QList<ArchiveSummary> &rows, bool ok, const QString &problem);
    void countRead(qint64 count);
};
