#pragma once

#include "archiverecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

// Records handed on to a spreadsheet or a records system: one row (CSV, XLSX) or one
// object (JSON) per record, one column per quantity, headed by the quantity and its unit
// ("Pхх, Вт"). A value that reads as a number goes out as a number, without its unit;
// each quantity appears once, whether the protocol printed it once or twice.
namespace ArchiveExport {

enum class Format { Csv, Json, Xlsx };

enum class Kind {
    Text,
    Number,  // a number when the text reads as one, else the text as it stands
    Integer, // the revision
    Moment,  // the date and time of the record, local time
    PerCent, // a number followed by " %", as the imbalances are shown ("1,98 %"); else the text
};

struct Column {
    QString head;
    Kind kind = Kind::Text;
};

// Every column, in the order of the protocol: the record's own data, rated data, the
// tests, the oil analysis, the conclusion.
const QList<Column> &columns();

// The cells of `record`, one per column: an invalid QVariant for an empty cell, a double
// for a number, an int for the revision, a QDateTime (local time) for the moment, a
// QString for a text.
QVariantList cells(const ArchiveRecord &record);

QString extension(Format format);
// The file dialog's filter, e.g. "Файлы CSV (*.csv)".
QString fileFilter(Format format);

// Writes records one at a time: memory stays flat however many go out. The target file is
// replaced only when every record went out whole (src/common/wholefile.h); after a failure,
// or when the records stop coming, the file that was there stays as it was.
//
// CSV: UTF-8 with a byte-order mark, ";" between fields, CRLF between rows; a number
// with a decimal comma and no group separator, as a spreadsheet under Russian settings
// reads it; the date as "dd.MM.yyyy HH:mm:ss"; a field holding ";", a quote or a line
// break is quoted, its quotes doubled; a text that a spreadsheet would run as a formula
// ("=…", "+…", "-…", "@…") is written behind an apostrophe.
// JSON: an array of objects, the heads as keys; numbers as numbers, an empty cell as null,
// the date as ISO 8601 with its offset.
// XLSX: one sheet, numbers as numeric cells written with the fewest digits that read back
// as the same value (a value shown as 8.61 is 8.61 in the book), a per-cent as a number
// shown with its two decimals and " %", the date as a date cell. The same records make the
// same bytes under any regional settings and on any day.
class Writer {
public:
    // The record of index i; nullopt stops the export (cancelled, or unreadable).
    using Source = std::function<std::optional<ArchiveRecord>(qsizetype index)>;

    explicit Writer(Format format) : m_format(format) {}

    // Writes `count` records from `source` into `path`; false and errorString() when the
    // file was not written (errorString() is empty when `source` stopped it).
    bool write(const QString &path, qsizetype count, const Source &source);

    // In Russian: the file and the reason.
    QString errorString() const { return m_error; }

    // The most records one file takes (a spreadsheet's row limit for XLSX).
    qsizetype capacity() const;

private:
    Format m_format;
    QString m_error;
};

// Replaces `path` with `bytes`, whole or not at all; false and `error` on failure.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);

// The whole file in memory, for a few records and for the tests.
QByteArray toCsv(const QList<ArchiveRecord> &records);
QByteArray toJson(const QList<ArchiveRecord> &records);

} // namespace ArchiveExport
