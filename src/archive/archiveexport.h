#pragma once

#include "archiverecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Records handed on to a records system: one row (CSV) or one object (JSON) per record,
// one column or key per field. Texts go out exactly as the protocol holds them, decimal
// points included.
namespace ArchiveExport {

// The columns: the record's own data first, then every field name and every result key
// found in any of the records, each in name order.
QStringList columns(const QList<ArchiveRecord> &records);

// The value of `column` for `record` (the date as "dd.MM.yyyy HH:mm:ss", local time).
QString value(const ArchiveRecord &record, const QString &column);

// UTF-8 with a byte-order mark, ";" between fields, CRLF between rows; a field holding
// ";", a quote or a line break is quoted, its quotes doubled.
QByteArray toCsv(const QList<ArchiveRecord> &records);

// A JSON array of objects, the column names as keys; the date as ISO 8601 with its offset.
QByteArray toJson(const QList<ArchiveRecord> &records);

// Writes `bytes` to `path` in one replacement of the file; false and `error` on failure.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);

} // namespace ArchiveExport
