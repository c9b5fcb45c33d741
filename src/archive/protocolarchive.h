#pragma once

#include "archiverecord.h"
#include "archivesettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QSqlDatabase;
class QThread;
struct ArchiveSql;

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
class ProtocolArchive : public QObject {
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 2;
    // How long SQLite waits for another writer before the store gives up.
    static constexpr int BusyTimeoutMs = 250;

    struct StoreResult {
        enum class Status {
            Stored,    // a new record: revision 1 of its protocol, or a later one
            Unchanged, // the same texts as the protocol's latest revision: nothing written
            Failed,    // not stored; `message` says why
        };
        Status status = Status::Failed;
        qint64 id = 0;
        int revision = 0;
        QString message;
        bool report = false; // show `message` to the operator (the first failure only)

        bool ok() const { return status != Status::Failed; }
    };

    explicit ProtocolArchive(const ArchiveSettings &settings, QObject *parent = nullptr);
    ~ProtocolArchive() override;

    const ArchiveSettings &settings() const { return m_settings; }

    // Opens (and creates or migrates) the database when it is not open yet.
    bool open();
    bool isOpen() const;
    // Why the archive is unavailable, empty while it works.
    QString lastError() const { return m_lastError; }

    StoreResult store(const ArchiveRecord &record);

    // Every record, newest first; nullopt when the archive cannot be read.
    std::optional<QList<ArchiveSummary>> summaries();
    // The record with all its texts and sheets; nullopt when absent or unreadable.
    std::optional<ArchiveRecord> record(qint64 id);

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

signals:
    void availabilityChanged(bool available, const QString &problem);
    // A new record or revision was written (not for an unchanged repeat).
    void recordStored(qint64 id);

private:
    QSqlDatabase database() const;
    bool openConnection(QString *error);
    void closeConnection();
    void lostConnection();
    int storedSchemaVersion(QString *error);
    bool migrate(QString *error);
    bool createSchema(ArchiveSql &sql);
    bool migrateFrom1(ArchiveSql &sql);
    std::optional<StoreResult> insertRecord(ArchiveSql &sql, const ArchiveRecord &record, bool keepRepeats);
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
};
