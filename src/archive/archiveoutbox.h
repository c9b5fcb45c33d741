#pragma once

#include "archiverecord.h"
#include "archivesettings.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QTimer;

// A record of the outbox that the server refused for its content: kept, out of the line,
// until the operator asks for it to be sent again.
struct OutboxSetAside {
    QString key;
    QDateTime moment;
    QString protocolNumber;
    QString serialNumber;
    QString type;
    QString problem; // what the server said
};

// The local queue of records on their way to the archive server: a SQLite file beside
// the records, each record in the archive's own form (texts as JSON, both sheets) under
// a key of its own. A record is added in one transaction, so a kill leaves it whole or
// absent; the server keeps each key once, so a record sent whose removal here was cut
// short is recognised when it is sent again.
//
// A record the server refuses for what it holds is set aside with the server's reason,
// so the records behind it go on; it goes back in line when the operator asks.
//
// One object is one connection, used on one thread only.
class ArchiveOutbox {
public:
    // How long SQLite waits for another writer of the file before an operation fails.
    static constexpr int BusyTimeoutMs = 250;
    // The same for a thread of the outbox's own, which may wait.
    static constexpr int WorkerBusyTimeoutMs = 5000;

    struct Entry {
        qint64 seq = 0;
        QString key;
        ArchiveRecord record;
        QString problem; // why the server refused it, empty when it was never refused
    };

    // ReadOnly: a file to read only (one saved at close and loaded into an archive); an
    // empty file or one of another kind is refused, nothing is written to it.
    enum class Access { ReadWrite, ReadOnly };

    // `busyTimeoutMs`: how long an operation waits for another writer of the file; a
    // thread that may wait (the writer's, the sender's) waits longer than the window's.
    explicit ArchiveOutbox(const QString &path, Access access = Access::ReadWrite, int busyTimeoutMs = BusyTimeoutMs);
    ~ArchiveOutbox();
    ArchiveOutbox(const ArchiveOutbox &) = delete;
    ArchiveOutbox &operator=(const ArchiveOutbox &) = delete;

    QString path() const { return m_path; }
    // Why the last operation failed.
    QString lastError() const { return m_lastError; }


    // Adds `record` under a new key (given back in `key`); false when the file cannot take it.
    bool add(const ArchiveRecord &record, QString *key = nullptr);
    // Adds `record` under `key`, a key it was given before (the server keeps a key once).
    bool addWithKey(const ArchiveRecord &record, const QString &key);
    // A key for a record that is not in any outbox yet.
    static QString newKey();
    // The oldest entry not set aside, or an empty optional when there is none; false when
    // unreadable.
    bool first(std::optional<Entry> *entry);
    // The entry after `seq` in the file's order, set aside or not (0: the first).
    bool next(qint64 seq, std::optional<Entry> *entry);
    bool remove(const QString &key);
    bool setProblem(const QString &key, const QString &problem);
    // Takes the entry out of the line with the server's reason.
    bool setAside(const QString &key, const QString &problem);
    // Every entry set aside back in line, in its old place.
    bool retrySetAside();
    std::optional<QList<OutboxSetAside>> setAsideEntries();
    // How many entries wait in line (those set aside not counted); nullopt when unreadable.
    std::optional<int> count();
    // Every entry, set aside or not; nullopt when unreadable.
    std::optional<int> countAll();

    // "varnek-outbox.db" in the records folder.
    static QString defaultPath();

private:
    bool open();
    bool addAsideColumn();
    void close();
    void release();
    bool change(const QString &statement, const QVariantList &values);
    std::optional<int> countWhere(const QString &condition);
    QString entryColumns() const;

    QString m_path;
    Access m_access = Access::ReadWrite;
    int m_busyTimeoutMs = BusyTimeoutMs;
    QString m_connectionName;
    QString m_lastError;
    bool m_open = false;
    bool m_hasJudgement = true; // false for a file of an older version read only
};

// What the sender needs of the archive it sends to: implemented by the archive, so the
// outbox knows nothing else of it.
class OutboxTarget {
public:
    struct Answer {
        bool ok = false;
        bool stored = false;         // a new record or revision, not one the target had already
        qint64 id = 0;
        bool refusedRecord = false;  // refused for what the record holds: the others may go
        bool refusedForGood = false; // the target refuses every record (another program's, a newer schema)
        QString problem;             // why it failed
    };
    virtual ~OutboxTarget() = default;
    // Stores `record` once under `key`: a key the target has already is success.
    virtual Answer take(const ArchiveRecord &record, const QString &key) = 0;
};

// Sends the outbox to the server, oldest first, each record once. Lives on a thread of
// its own: the connection to the server may wait as long as the server makes it wait.
class ArchiveSender : public QObject {
    Q_OBJECT
public:
    // Makes the connection to the target, on the sender's thread.
    using TargetMaker = std::function<std::unique_ptr<OutboxTarget>()>;

    // How long after a failure the server is tried again.
    static constexpr int RetryMs = 3000;

    ArchiveSender(TargetMaker makeTarget, const QString &outboxPath, QObject *parent = nullptr);
    ~ArchiveSender() override;

    // Sends until the outbox is empty or the server fails (then tries again later).
    // Returns how many records went out.
    int send();
    // Asked from any thread: a send() soon on the sender's own, once however often asked.
    void poke();
    // Asked from another thread: the current send ends after its record.
    void requestStop() { m_stop = true; }

signals:
    // One record has reached the server; `stored` when it became a new record or revision.
    void sent(qint64 id, bool stored);
    // The number of waiting records and why the first is not sent (empty when it goes).
    void waiting(int count, const QString &problem);

private:
    void report(const QString &problem);

    TargetMaker m_makeTarget;
    QString m_outboxPath;
    std::unique_ptr<OutboxTarget> m_server;
    std::unique_ptr<ArchiveOutbox> m_outbox;
    QTimer *m_retry = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_poked{false};
};

// A record on its way into the outbox, with the key it keeps there and on the server.
struct OutboxRecord {
    QString key;
    ArchiveRecord record;
};

// Writes records into the outbox on a thread of its own, in the order they were given:
// a write waits for the disk (half a second under load), the window must not. A record
// stays in memory until its write is done; one that fails stays first and is tried
// again, the ones behind it wait, so the order holds.
class OutboxWriter : public QObject {
    Q_OBJECT
public:
    // How long after a failed write it is tried again.
    static constexpr int RetryMs = 1000;

    // Made on the owner's thread, then moved to a thread of its own.
    explicit OutboxWriter(const QString &outboxPath, QObject *parent = nullptr);
    ~OutboxWriter() override;

    // Called on the writer's thread after each record written, before written() reaches
    // the owner: the sender is woken without a detour through the owner's thread. Set
    // before the thread starts.
    void setOnWritten(std::function<void()> onWritten) { m_onWritten = std::move(onWritten); }
    // From the owner's thread: `record` goes after those given before.
    void add(OutboxRecord record);
    // Records given and not written yet.
    int pendingCount() const;
    // Whether the last write failed (the records then wait in memory).
    bool isFailing() const;
    // From the owner's thread: waits at most `msecs` for every record given to be written,
    // then takes no more and gives back those not written, in order. The one being written
    // at that moment is given back too: it keeps its key, so wherever else it is kept the
    // archive stores it once.
    QList<OutboxRecord> finish(int msecs);

signals:
    // One record is in the outbox.
    void written();
    // A write failed; the record is tried again later.
    void failed(const QString &problem);

private:
    void work();

    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable done;
        std::deque<OutboxRecord> queue;
        bool scheduled = false;
        bool writing = false;
        bool failing = false;
        bool finished = false;
    };
    Shared m_shared;
    QString m_outboxPath;
    std::unique_ptr<ArchiveOutbox> m_outbox; // made on the writer's thread
    QTimer *m_retry = nullptr;
    std::function<void()> m_onWritten;
};
