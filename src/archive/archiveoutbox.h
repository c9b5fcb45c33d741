#pragma once

#include "archiverecord.h"
#include "archivesettings.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <atomic>
#include <memory>
#include <optional>

class ProtocolArchive;
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
    struct Entry {
        qint64 seq = 0;
        QString key;
        ArchiveRecord record;
        QString problem; // why the server refused it, empty when it was never refused
    };

    // ReadOnly: a file to read only (one saved at close and loaded into an archive); an
    // empty file or one of another kind is refused, nothing is written to it.
    enum class Access { ReadWrite, ReadOnly };

    explicit ArchiveOutbox(const QString &path, Access access = Access::ReadWrite);
    ~ArchiveOutbox();
    ArchiveOutbox(const ArchiveOutbox &) = delete;
    ArchiveOutbox &operator=(const ArchiveOutbox &) = delete;

    QString path() const { return m_path; }
    // Why the last operation failed.
    QString lastError() const { return m_lastError; }

    // Adds `record` under a new key (given back in `key`); false when the file cannot take it.
    bool add(const ArchiveRecord &record, QString *key = nullptr);
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
    QString m_connectionName;
    QString m_lastError;
    bool m_open = false;
    bool m_hasJudgement = true; // false for a file of an older version read only
};

// Sends the outbox to the server, oldest first, each record once. Lives on a thread of
// its own: the connection to the server may wait as long as the server makes it wait.
class ArchiveSender : public QObject {
    Q_OBJECT
public:
    // How long after a failure the server is tried again.
    static constexpr int RetryMs = 3000;

    ArchiveSender(const ArchiveSettings &server, const QString &outboxPath, QObject *parent = nullptr);
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

    ArchiveSettings m_settings;
    QString m_outboxPath;
    std::unique_ptr<ProtocolArchive> m_server;
    std::unique_ptr<ArchiveOutbox> m_outbox;
    QTimer *m_retry = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_poked{false};
};

// Reads the server's archive for the user-interface thread, on a thread of its own: a
// server that stalls keeps this thread waiting, never the window.
class ArchiveReader : public QObject {
    Q_OBJECT
public:
    explicit ArchiveReader(const ArchiveSettings &server, QObject *parent = nullptr);
    ~ArchiveReader() override;

    // On the reader's thread: the list, answered by summariesRead with the same ticket.
    void readSummaries(quint64 ticket);
    // On the reader's thread: one record; nullopt (and `error`) when absent or unreadable.
    std::optional<ArchiveRecord> readRecord(qint64 id, QString *error);

signals:
    void summariesRead(quint64 ticket, const QList<ArchiveSummary> &list, bool ok, const QString &problem);

private:
    ProtocolArchive &server();

    ArchiveSettings m_settings;
    std::unique_ptr<ProtocolArchive> m_server;
};
