#include "archivetransfer.h"

#include "archiveoutbox.h"
#include "protocolarchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>

QString ArchiveTransferSummary::text() const
{
    if (!started)
        return QStringLiteral("Перенос не выполнен: %1").arg(problem);
    QString result = (toServer ? QStringLiteral("Записей в файле: %1. Перенесено на сервер: %2. Уже были на сервере: %3.")
                               : QStringLiteral("Записей в файле: %1. Записано в архив: %2. Уже были в архиве: %3."))
                         .arg(total)
                         .arg(copied)
                         .arg(present);
    if (refused > 0)
        result += (toServer ? QStringLiteral("\nНе приняты сервером: %1 (%2); повторный перенос попробует их снова.")
                            : QStringLiteral("\nНе приняты архивом: %1 (%2); повторный перенос попробует их снова."))
                      .arg(refused)
                      .arg(refusal);
    if (cancelled)
        result += QStringLiteral("\nПеренос остановлен; повторный перенос продолжит его, ничего не повторяя.");
    else if (!problem.isEmpty())
        result += QStringLiteral("\nПеренос прерван: %1\nПовторный перенос продолжит его, ничего не повторяя.")
                      .arg(problem);
    return result;
}

namespace {

QString transferKey(const ArchiveRecord &record)
{
    QByteArray identity;
    for (const QString &part : {record.protocolNumber, record.serialNumber,
                                QString::number(record.moment.toMSecsSinceEpoch()), QString::number(record.revision),
                                QString::fromLatin1(ProtocolArchive::contentHash(record))})
        identity += part.toUtf8() + '\x1f';
    return QStringLiteral("file:")
        + QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex());
}

enum class FileKind { Unreadable, Foreign, Archive, Saved };

// What the file is, read without writing to it: an empty file or another program's
// database is never made an archive.
FileKind kindOf(const QString &file, QString *error)
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("bench-transfer-%1").arg(++counter);
    FileKind kind = FileKind::Foreign;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(ProtocolArchive::BusyTimeoutMs));
        QSqlQuery query(db);
        if (!db.open()) {
            kind = FileKind::Unreadable;
            *error = db.lastError().text().trimmed();
        } else if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
            kind = FileKind::Unreadable;
            *error = query.lastError().text().trimmed();
        } else {
            QStringList tables;
            while (query.next())
                tables.append(query.value(0).toString());
            if (tables.contains(QStringLiteral("archive_meta")))
                kind = FileKind::Archive;
            else if (tables.contains(QStringLiteral("outbox")))
                kind = FileKind::Saved;
        }
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return kind;
}

// Stores one record and counts it; false when the copy must stop.
bool copyOne(ProtocolArchive &target, const ArchiveRecord &record, const QString &key, bool keepRepeats,
             ArchiveTransferSummary &summary)
{
    const ProtocolArchive::StoreResult result = target.storeOnce(record, key, keepRepeats);
    if (!result.ok()) {
        const QString problem = target.lastError().isEmpty() ? result.message : target.lastError();
        // A record the archive refuses for what it holds does not hold up the others.
        if (result.refusedRecord) {
            if (summary.refused++ == 0)
                summary.refusal = problem;
            return true;
        }
        summary.problem = problem;
        return false;
    }
    if (result.status == ProtocolArchive::StoreResult::Status::Stored)
        ++summary.copied;
    else
        ++summary.present;
    return true;
}

bool goOn(const std::function<bool(int, int)> &progress, ArchiveTransferSummary &summary)
{
    if (progress && !progress(summary.copied + summary.present + summary.refused, summary.total)) {
        summary.cancelled = true;
        return false;
    }
    return true;
}

void copyArchive(const QString &file, ProtocolArchive &target, const std::function<bool(int, int)> &progress,
                 ArchiveTransferSummary &summary)
{
    ArchiveSettings local;
    local.database = file;
    ProtocolArchive source(local);
    std::optional<QList<ArchiveSummary>> list = source.summaries();
    if (!list) {
        summary.problem = source.lastError();
        return;
    }
    summary.started = true;
    // Oldest first, so each protocol's revisions arrive in their order.
    std::reverse(list->begin(), list->end());
    summary.total = int(list->size());
    if (!goOn(progress, summary))
        return;
    for (const ArchiveSummary &row : *list) {
        const std::optional<ArchiveRecord> record = source.record(row.id);
        if (!record) {
            summary.problem = source.lastError().isEmpty()
                ? QStringLiteral("запись %1 не читается из файла").arg(row.id)
                : source.lastError();
            return;
        }
        if (!copyOne(target, *record, transferKey(*record), true, summary) || !goOn(progress, summary))
            return;
    }
}

// Records saved at close keep the keys they were given there: loaded again, or sent from
// an outbox that also held them, each is stored once.
void copySaved(const QString &file, ProtocolArchive &target, const std::function<bool(int, int)> &progress,
               ArchiveTransferSummary &summary)
{
    ArchiveOutbox saved(file, ArchiveOutbox::Access::ReadOnly);
    const std::optional<int> count = saved.countAll();
    if (!count) {
        summary.problem = saved.lastError();
        return;
    }
    summary.started = true;
    summary.total = *count;
    if (!goOn(progress, summary))
        return;
    qint64 seq = 0;
    for (;;) {
        std::optional<ArchiveOutbox::Entry> entry;
        if (!saved.next(seq, &entry)) {
            summary.problem = saved.lastError();
            return;
        }
        if (!entry)
            return;
        seq = entry->seq;
        if (!copyOne(target, entry->record, entry->key, false, summary) || !goOn(progress, summary))
            return;
    }
}

} // namespace

ArchiveTransferSummary copyArchiveFile(const QString &file, const ArchiveSettings &target,
                                       const std::function<bool(int, int)> &progress)
{
    ArchiveTransferSummary summary;
    summary.toServer = target.isServer();
    const QString shown = QDir::toNativeSeparators(file);
    // Opening a file that is not there would make an empty archive of it.
    if (!QFileInfo(file).isFile()) {
        summary.problem = QStringLiteral("файл архива %1 не найден").arg(shown);
        return summary;
    }
    // An archive copied into itself would double every record.
    if (!target.isServer() && QFileInfo(file).canonicalFilePath() == QFileInfo(target.database).canonicalFilePath()) {
        summary.problem = QStringLiteral("файл %1 и есть архив, в который переносятся записи").arg(shown);
        return summary;
    }
    QString error;
    const FileKind kind = kindOf(file, &error);
    if (kind == FileKind::Unreadable) {
        summary.problem = QStringLiteral("файл %1 не читается: %2").arg(shown, error);
        return summary;
    }
    if (kind == FileKind::Foreign) {
        summary.problem = QStringLiteral("файл %1 не является архивом протоколов этой программы").arg(shown);
        return summary;
    }
    ProtocolArchive archive(target, ProtocolArchive::ServerAccess::Direct);
    if (kind == FileKind::Archive)
        copyArchive(file, archive, progress, summary);
    else
        copySaved(file, archive, progress, summary);
    return summary;
}
