#pragma once

#include "archivelistsource.h"
#include "archivesettings.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <memory>
#include <optional>

class QThread;
struct ServerListShared;
struct ServerListJob;

// The list's side of a server archive's schema: the expressions the list orders and
// searches by, and the indexes that serve them.
//
// Each column of the list has a btree index of (column, id), so a page in any order is an
// index range that starts after the last row shown. Texts are ordered by their first
// 256 characters, which keeps every index row far below the server's limit whatever a
// record holds. The search looks for the typed text in type, serial number and protocol
// number folded to lower case (Cyrillic folded by the query itself, so the server's
// regional settings do not matter); a trigram index of PostgreSQL's pg_trgm serves it.
// Without pg_trgm (not installed, or not ours to create) the same search scans the table:
// slower on a large archive, the same rows.
namespace ServerListSchema {
// Index names, in the order they are made.
QStringList indexNames();
// Whether the rows carry the folded texts the search compares.
bool hasSearchColumn(QSqlDatabase db);
// Makes the list's indexes in the caller's transaction, for an archive just created: the
// trigram index only when pg_trgm is there or may be made. False (and `error`) when a
// btree index cannot be made.
bool create(QSqlDatabase db, QString *error);
// The list's indexes that are missing or were left unusable by a build cut short, and
// "search_text" first when the rows lack the search's column; nullopt (and `error`) when
// the server cannot say.
std::optional<QStringList> missing(QSqlDatabase db, QString *error);
// Makes `names` on a live archive without holding up its writers (CONCURRENTLY), one
// bench at a time: a bench that finds another building returns at once. Needs a
// connection outside any transaction and without a statement timeout.
bool build(QSqlDatabase db, const QStringList &names, QString *error);
// Whether the search is served by a trigram index.
bool hasTrigramIndex(QSqlDatabase db);
// The serial number as the records of one transformer are found by (an index of a server
// and of a file archive serves it): trimmed of spaces, letters folded as the database folds.
QString serialKey();
} // namespace ServerListSchema

// The list of a server archive, a page at a time, read on a thread of its own so the
// window never waits on the server. Each ask supersedes the ones before: an older page
// not yet read is dropped, one the server is reading is cancelled on the server
// (pg_cancel_backend from a connection of its own), and only the newest is answered.
// A read the server cancelled for any other reason is read once more before it fails.
// The first read of an archive whose list indexes are missing (an older schema) builds
// them on a further connection while the list goes on without them.
class ServerListSource : public AsyncArchiveListSource {
    Q_OBJECT
public:
    // How long the window's thread lets its event loop run while the ids of an export are read.
    static constexpr int IdsWaitMs = 120000;

    explicit ServerListSource(const ArchiveSettings &settings, QObject *parent = nullptr);
    ~ServerListSource() override;

    quint64 ask(const ArchiveListQuery &query, const std::optional<ArchiveSummary> &after, int limit) override;
    void askCount() override;
    std::optional<QList<qint64>> allIds(const ArchiveListQuery &query, QString *error) override;

    // Stops the threads, waiting at most `msecs` for a server that does not answer.
    void stop(int msecs = 1000);
    // The server process that reads the list (0 before the first read): for tests.
    int readerBackendPid() const;
    // True while missing list indexes are being built.
    bool isBuildingIndexes() const;

private:
    void cancelRunning();

    ArchiveSettings m_settings;
    std::shared_ptr<ServerListShared> m_shared;
    QThread *m_readerThread = nullptr;
    QObject *m_reader = nullptr;
    QThread *m_cancelThread = nullptr;
    QObject *m_canceller = nullptr;
    std::shared_ptr<ServerListShared> m_countShared;
    QThread *m_countThread = nullptr;
    QObject *m_counter = nullptr;
};

// Reads for a ServerListSource on its thread; signals carry the answers back.
class ServerListReader : public QObject {
    Q_OBJECT
public:
    // `buildsIndexes`: this reader makes the list's indexes an older archive lacks.
    ServerListReader(const ArchiveSettings &settings, std::shared_ptr<ServerListShared> shared, bool buildsIndexes);
    ~ServerListReader() override;
    // Reads whatever is asked until nothing is left.
    void work();

signals:
    void rowsRead(quint64 ticket, const QList<ArchiveSummary> &rows, bool ok, const QString &problem);
    void countRead(qint64 count);
    void idsRead(quint64 ticket, const QList<qint64> &ids, bool ok, const QString &problem);

private:
    bool open(QString *problem);
    void close();
    // Runs one ask on the open connection; false (and `error`) when it failed.
    bool read(const ServerListJob &job, QList<ArchiveSummary> *rows, QList<qint64> *ids, qint64 *count, QSqlError *error);
    void startIndexBuild();

    ArchiveSettings m_settings;
    std::shared_ptr<ServerListShared> m_shared;
    QString m_connectionName;
    bool m_haveTables = false;
    bool m_haveSearchColumn = false; // else the search folds each row's texts itself
    bool m_haveShortIndex = false;   // the index of one- and two-character pieces
    bool m_buildTried;               // missing indexes were built (or tried), or are not ours to build
    QThread *m_builder = nullptr;
};
