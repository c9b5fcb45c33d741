#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

// One key/value file: Windows-1251 text, CRLF line ends, "[section]" lines and
// "key=value" lines, other lines ignored. Section names and keys are matched without
// regard to letter case (Cyrillic too) and to blanks around them; the first match counts.
//
// Nothing is cached: every call opens the file anew. Reading never creates the file and
// gives the caller's default for anything missing. Every write replaces the whole file
// atomically, so a crash or a full disk leaves the old file as it was, and a file that
// cannot be written throws BenchError("Unable to write to <full path>").
//
// Reading is one pass over the bytes, whatever they are: huge, binary, without line ends.
class KeyValueFile {
public:
    using Entries = QList<QPair<QString, QString>>;

    // Longest value a read returns, in characters.
    static constexpr qsizetype ValueLimit = 2047;
    // The buffer the list of section names is gathered into, one terminating byte per name.
    static constexpr qsizetype SectionNameBuffer = 16384;

    explicit KeyValueFile(const QString &path);

    const QString &path() const { return m_path; }

    // The value stripped of blanks at both ends and of one pair of enclosing quotes
    // (single or double), at most ValueLimit characters.
    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue = QString()) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // The values of `keys` found in `section`, read in one pass; a key that is missing
    // has no entry in the result. The result is keyed by the spellings given in `keys`.
    QHash<QString, QString> readValues(const QString &section, const QStringList &keys) const;

    // Names of the sections in file order, each name once, as many as fit into
    // `bufferSize` bytes with one terminating byte after each; the first name that does
    // not fit ends the list.
    QStringList sectionNames(qsizetype bufferSize = SectionNameBuffer) const;

    // A value keeps only its first line: a line break would start a line of its own.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Writes all `entries` into `section` with one replacement of the file: an existing
    // key gets its new value in place, a new key goes to the end of its section, a new
    // section to the end of the file. A key given twice keeps its last value.
    void writeValues(const QString &section, const Entries &entries);

    // Removes every section of that name with all its lines. When there is none the
    // file is left alone (and not created).
    void eraseSection(const QString &section);

    // Integers are decimal with an optional sign, or hexadecimal after "0x", "0X" or
    // "$"; anything else, an empty text and a number beyond the range of int give nothing.
    static std::optional<int> parseInteger(QStringView text);

    // False for a name that cannot stand between square brackets on a line of its own
    // and be found again: a closing bracket, an opening one at its start, a line break,
    // or a character the code page lacks. Callers write only under names that pass.
    static bool isFitSectionName(QStringView name);

    // What a read gives back for `value` once written: its first line, in the code
    // page, stripped and cut as every value read is.
    static QString valueAsReadBack(const QString &value);

    // The text of the error thrown when `path` cannot be written.
    static QString writeErrorText(const QString &path);

private:
    QString m_path;
};
