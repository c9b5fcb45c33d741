#pragma once

#include "archiveoutbox.h"
#include "archiverecord.h"
#include "archivesettings.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSqlDatabase;
class QSqlQuery;
class QThread;
class QTimer;
struct ArchiveSql;
class ArchiveReader;

// The archive of every protocol the program produced, on Qt SQL.
//
// Nothing here may stop the program or the paper: every operation reports failure as a
// result, never throws, and a database that cannot be opened, is locked, full or corrupt
// only makes the archive unavailable. The first failure after a working spell asks for
// one message (StoreResult::report); the next failures stay quiet until it works again.
//
// A server is never connected to on the caller's thread before a check on a thread of
// its own has reached it (libpq waits at least two seconds on a host that does not
// answer), so the window never freezes on it. A server archive starts that check when
// it is made, and again after every failure.
//
// Each record is written in one transaction: a crash leaves it whole or absent.
//
// One archive lives as long as the main window:
//   ProtocolArchive archive(ArchiveSettings::fromSettingsFile());
// printing, saving or writing a PDF then calls recordInArchive() (src/app/archivewindow.h),
// and the archive window asks record(id) for the sheets of the record it opens.
class ProtocolArchive : public QObject, public OutboxTarget {
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 3;
    // How long SQLite waits for another writer before the store gives up.
    static constexpr int BusyTimeoutMs = 250;

    struct StoreResult {
        enum class Status {
            Stored,    // a new record: revision 1 of its protocol, or a later one
            Unchanged, // the same texts as the protocol's latest revision: nothing written
            Queued,    // kept in the local outbox; sent to the server from a thread of its own
            Failed,    // not stored; `message` says why
        };
        Status status = Status::Failed;
        qint64 id = 0;
        int revision = 0;
        QString message;
        bool report = false; // show `message` to the operator (the first failure only)
        // The server refused this record for what it holds (a value it cannot take), not
        // for being out of reach: records behind it may go, and this one again only when
        // asked.
        bool refusedRecord = false;

        bool ok() const { return status != Status::Failed; }
    };

    // How a server is reached: after a check on a thread of its own (the user-interface
    // thread), or at once (a thread that may wait, such as the outbox's sender).
    enum class ServerAccess { AfterCheck, Direct };

    explicit ProtocolArchive(const ArchiveSettings &settings, QObject *parent = nullptr);
    ProtocolArchive(const ArchiveSettings &settings, ServerAccess access, QObject *parent = nullptr);
    ~ProtocolArchive() override;

    // From now on no record is lost to a database that does not answer. A server archive
    // hands every record to a thread that writes it into the local SQLite outbox
    // `outboxPath` (the caller never waits for the disk), and sends it from another, in
    // order, as soon as the server answers; store() then says Queued. A record that not
    // even the local file takes stays pending in memory and is tried again every second.
    void enableOutbox(const QString &outboxPath);
    bool hasOutbox() const { return !m_outboxPath.isEmpty(); }
    // Records on their way to the server, in the outbox or about to be written there (0
    // without an outbox), those set aside not counted. The file is counted when a write
    // or a send is told, so the count may lag a moment behind.
    int waitingCount() const;
    // Why the first of them is not sent, empty while the server takes them.
    QString waitingProblem() const { return m_waitingProblem; }
    // Records the server refused for their content, kept in the outbox with its reason
    // while the others go on.
    const QList<OutboxSetAside> &setAsideRecords() const { return m_setAside; }
    // Puts the records set aside back in line, oldest first, and sends.
    void retrySetAside();
    // Records that no database took: kept in memory only.
    int unsavedCount() const;
    // Writes the records pending in memory into a SQLite file of the outbox's form.
    bool saveUnsaved(const QString &path, QString *error);
    // At the program's end: waits at most `msecs` for the records handed to the outbox's
    // writer to reach the file. Those that did not stay in memory (unsavedCount), for
    // the operator to save elsewhere; a record written late as well keeps its key, so
    // the archive stores it once.
    void finishWrites(int msecs);
    static constexpr int WriteWaitAtCloseMs = 3000;
    // Asks the sender to try the server now (it also tries every few seconds).
    void sendWaiting();
    // Stops the sender and the reader, waiting at most `msecs` for a server that does not
    // answer; what was not sent stays in the outbox for the next start.
    void stopSender(int msecs = 2000);
    // How long the archive's end waits for a connection check still under way: a server
    // that lets a client in and never answers keeps that thread until the process ends.
    static constexpr int CheckWaitAtCloseMs = 1000;

    const ArchiveSettings &settings() const { return m_settings; }

    // Opens (and creates or migrates) the database when it is not open yet.
    bool open();
    bool isOpen() const;
    // Why the archive is unavailable, empty while it works.
    QString lastError() const { return m_lastError; }

    StoreResult store(const ArchiveRecord &record);
    // Stores `record` once under `key`: when a record of that key is there already nothing
    // is written and the result names it. A queue replayed after a kill may find its
    // first record on the server already; the key makes the replay harmless.
    // `keepRepeats` keeps a record equal to its protocol's latest revision as well.
    StoreResult storeOnce(const ArchiveRecord &record, const QString &key, bool keepRepeats = false);
    // The outbox's sender stores through this.
    Answer take(const ArchiveRecord &record, const QString &key) override;
    // The last open failed on a database this program must not write (another program's,
    // or a newer schema): trying again does not help.
    bool refusedForGood() const { return m_refused; }

    // Every record, newest first; nullopt when the archive cannot be read. A server
    // archive with an outbox answers from the list last read on the reader's thread and
    // reads it anew there when it may have changed (summariesArrived tells when).
    std::optional<QList<ArchiveSummary>> summaries();
    // The record with all its texts and sheets; nullopt when absent or unreadable. A server
    // archive with an outbox reads it on the reader's thread and waits at most
    // RecordWaitMs for it.
    std::optional<ArchiveRecord> record(qint64 id);
    static constexpr int RecordWaitMs = 3000;
    // Every record of one serial number (each revision), newest first; nullopt when the
    // archive cannot be read. Serial numbers compare as the history compares them: the
    // spaces around and the letter case do not count. Read by an index, on the reader's
    // thread for a server archive with an outbox (waiting at most RecordWaitMs).
    std::optional<QList<ArchiveSummary>> summariesOfSerial(const QString &serialNumber);
    // How long after a failed read of a server's list summaries() asks again.
    static constexpr int SummariesRetryMs = 5000;
    // Records came in by another way (a file moved to the server): the next list is read anew.
    void listMayHaveChanged() { m_summariesStale = true; }
    // The list is being read from the server for the first time.
    bool isReadingList() const { return m_summariesInFlight && !m_haveSummaries; }

    // The newest revision of a protocol number and serial number: 0 when there is none yet
    // (a server's record still in the outbox), nullopt when the archive cannot be read.
    std::optional<qint64> latestRevisionId(const QString &protocolNumber, const QString &serialNumber);
    // Approves revision `id` in the name of `person` at `msecs`, with `judgement` (when
    // given) as the one it is approved with; withdraws an approval for a reason. Each is
    // logged and kept. Empty on success, else why not (a revision approved already, or
    // not approved, is refused). An approved revision's texts and judgement never change:
    // a changed protocol becomes a new revision, unapproved.
    QString approve(qint64 id, const QString &person, qint64 msecs, const ArchiveJudgement *judgement = nullptr);
    QString withdrawApproval(qint64 id, const QString &person, const QString &reason, qint64 msecs);

    // The schema version of the open database (0 when closed).
    int schemaVersion() const { return m_schemaVersion; }

    // Tries a connection of its own on the calling thread: empty when it works, else why.
    static QString check(const ArchiveSettings &settings);
    // The same check on a thread of its own; availabilityChanged tells the outcome.
    void checkInBackground();
    bool isChecking() const { return m_checkThread != nullptr; }

    // The SHA-256 of the texts of a record (not of its sheets, which also carry the day
    // they were drawn): equal for a protocol produced again without a change.
    static QByteArray contentHash(const ArchiveRecord &record);

    // Caption of the archive's messages.
    static inline const QString Caption = QStringLiteral("Архив протоколов");

    // The columns of `revisions` the list reads, and one row of them as the list holds it.
    static const QString SummaryColumns;
    static ArchiveSummary summaryOf(const QSqlQuery &query);

    // The most characters the list's columns keep: a server's index row holds all of
    // them together and takes about 2.7 kB; longer texts are cut with "…". The whole
    // texts stay in the record's fields.
    static constexpr int ProtocolNumberLimit = 64;
    static constexpr int SerialNumberLimit = 64;
    static constexpr int TypeLimit = 128;
    static constexpr int FirmLimit = 256;
    // `record` as any database takes it: no NUL characters (a server refuses them), the
    // list's columns within their limits. Its content hash stays that of `record`.
    static ArchiveRecord storable(const ArchiveRecord &record);

signals:
    void availabilityChanged(bool available, const QString &problem);
    // A new record or revision was written (not for an unchanged repeat).
    void recordStored(qint64 id);
    // The outbox's count or its problem changed, or records pending in memory did.
    void waitingChanged();
    // A list read on the reader's thread has arrived (or failed): summaries() has it.
    void summariesArrived();
    // A record handed to the outbox's writer could not be written there (the first
    // failure after a working spell): `message` is for the operator.
    void storeFailed(const QString &message);

private:
    QSqlDatabase database() const;
    bool openConnection(QString *error);
    void closeConnection();
    void lostConnection();
    int storedSchemaVersion(QString *error);
    bool migrate(QString *error);
    bool createSchema(ArchiveSql &sql);
    bool migrateFrom1(ArchiveSql &sql);
    bool migrateFrom2(ArchiveSql &sql);
    bool writeJudgement(ArchiveSql &sql, qint64 id, const ArchiveJudgement &judgement);
    bool readJudgement(ArchiveSql &sql, ArchiveRecord *record);
    QString changeApproval(qint64 id, const ApprovalEvent &event, const ArchiveJudgement *judgement);
    std::optional<StoreResult> insertRecord(ArchiveSql &sql, const ArchiveRecord &record, const QByteArray &hash,
                                            bool keepRepeats);
    StoreResult storeInTransaction(const ArchiveRecord &record, const QString &key, bool keepRepeats);
    std::optional<StoreResult> storeOnceInTransaction(ArchiveSql &sql, const ArchiveRecord &record,
                                                      const QByteArray &hash, const QString &key, bool keepRepeats);
    // The server's encoding, and the characters of `record` it lacks, learnt once each.
    bool learnServerEncoding(QString *error);
    void learnMissingCharacters(const ArchiveRecord &record);
    bool serverLacks(char32_t c) const;
    ArchiveRecord inServerEncoding(const ArchiveRecord &record) const;
    QString jsonForServer(const QMap<QString, QString> &texts) const;
    QString escapedForServer(const QString &json) const;
    QString plainForServer(const QString &value) const;
    void countWaiting();
    bool usableVersion(int stored, QString *error);
    bool hasReceivedTable();
    StoreResult keep(const ArchiveRecord &record);
    bool flushUnsaved(StoreResult *last);
    void startSender();
    void startWriter();
    bool readsAside() const { return m_reader != nullptr; }
    void readSummariesAside();
    void stopListReader(int msecs);
    QString fail(const QString &what, const QString &detail);
    StoreResult failed(const QString &message);

    ArchiveSettings m_settings;
    QString m_connectionName;
    QString m_lastError;
    int m_schemaVersion = 0;
    bool m_reported = false;       // the current failure has been reported
    bool m_serverReachable = false; // a server check succeeded since the last failure
    QString m_lastCheckProblem;
    QThread *m_checkThread = nullptr;
    ServerAccess m_access = ServerAccess::AfterCheck;
    bool m_refused = false;

    QString m_outboxPath;
    std::unique_ptr<ArchiveOutbox> m_outbox; // the user-interface thread's connection to it
    QList<OutboxRecord> m_unsaved;
    QThread *m_writerThread = nullptr;
    OutboxWriter *m_writer = nullptr;
    QTimer *m_retryTimer = nullptr;
    QThread *m_senderThread = nullptr;
    QObject *m_sender = nullptr;
    int m_waiting = 0;
    QString m_waitingProblem;
    QList<OutboxSetAside> m_setAside;
    // Empty, UTF8 or SQL_ASCII: every character goes as it is.
    QString m_serverEncoding;

    // Reads of a server archive for the user-interface thread, on a thread of their own.
    struct PendingRecord;
    QThread *m_readerThread = nullptr;
    QObject *m_reader = nullptr;
    QThread *m_listReaderThread = nullptr; // the whole list's reads, apart from the records'
    QObject *m_listReader = nullptr;
    quint64 m_readTicket = 0;
    bool m_summariesInFlight = false;
    bool m_summariesStale = true;
    bool m_haveSummaries = false;
    bool m_summariesFailed = false;
    QElapsedTimer m_summariesFailedAt;
    QList<ArchiveSummary> m_summaries;
    std::shared_ptr<PendingRecord> m_recordRead;
    // Runs `read` on the reader's thread and waits for it; false (and m_lastError) when
    // the reader is busy with an earlier read or does not answer in time.
    bool readAside(const std::function<void(ArchiveReader &, PendingRecord &)> &read, std::shared_ptr<PendingRecord> *answer);
    std::optional<QList<ArchiveSummary>> readSummariesOfSerial(const QString &serialNumber);
    bool m_serialIndexTried = false;
};
