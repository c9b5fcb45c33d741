#include "archivetransfer.h"

#include "protocolarchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

QString ArchiveTransferSummary::text() const
{
    QString result = QStringLiteral("Записей в файле: %1. Перенесено на сервер: %2. Уже были на сервере: %3.")
                         .arg(total)
                         .arg(copied)
                         .arg(present);
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

} // namespace

ArchiveTransferSummary copyArchiveFileToServer(const QString &file, const ArchiveSettings &server,
                                               const std::function<bool(int, int)> &progress)
{
    ArchiveTransferSummary summary;
    // Opening a file that is not there would make an empty archive of it.
    if (!QFileInfo(file).isFile()) {
        summary.problem = QStringLiteral("файл архива %1 не найден").arg(QDir::toNativeSeparators(file));
        return summary;
    }
    ArchiveSettings local;
    local.database = file;
    ProtocolArchive source(local);
    std::optional<QList<ArchiveSummary>> list = source.summaries();
    if (!list) {
        summary.problem = source.lastError();
        return summary;
    }
    // Oldest first, so each protocol's revisions arrive in their order.
    std::reverse(list->begin(), list->end());
    summary.total = int(list->size());
    if (progress && !progress(0, summary.total)) {
        summary.cancelled = true;
        return summary;
    }
    ProtocolArchive target(server, ProtocolArchive::ServerAccess::Direct);
    for (const ArchiveSummary &row : *list) {
        const std::optional<ArchiveRecord> record = source.record(row.id);
        if (!record) {
            summary.problem = source.lastError().isEmpty()
                ? QStringLiteral("запись %1 не читается из файла").arg(row.id)
                : source.lastError();
            return summary;
        }
        const ProtocolArchive::StoreResult result = target.storeOnce(*record, transferKey(*record), true);
        if (!result.ok()) {
            summary.problem = target.lastError().isEmpty() ? result.message : target.lastError();
            return summary;
        }
        if (result.status == ProtocolArchive::StoreResult::Status::Stored)
            ++summary.copied;
        else
            ++summary.present;
        if (progress && !progress(summary.copied + summary.present, summary.total)) {
            summary.cancelled = true;
            return summary;
        }
    }
    return summary;
}
