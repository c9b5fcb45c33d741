#include "keyvaluefile.h"

#include "bencherror.h"
#include "codepage1251.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

const QByteArray LineEnd = QByteArrayLiteral("\r\n");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QByteArrayView trimmedBlanks(QByteArrayView v)
{
    qsizetype b = 0;
    qsizetype e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

QStringView trimmedBlanks(QStringView v)
{
    qsizetype b = 0;
    qsizetype e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

qsizetype findByte(QByteArrayView v, char c, qsizetype from = 0)
{
    if (from >= v.size())
        return -1;
    const void *hit = std::memchr(v.data() + from, c, size_t(v.size() - from));
    return hit ? static_cast<const char *>(hit) - v.data() : -1;
}

QStringView firstLine(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n')
            return text.first(i);
    }
    return text;
}

// The bytes of a file for one group of reads or writes, copied into memory and the file
// closed at once: a mapping would die of SIGBUS when another program shortens the file
// while it is read, and a file left open would keep Windows from renaming over it.
class FileContents {
public:
    explicit FileContents(const QString &path)
    {
        const QFileInfo info(path);
        if (!info.exists())
            return;
        m_exists = true;
        QFile file(path);
        if (info.isDir() || !file.open(QIODevice::ReadOnly))
            return;
        // Read to the end rather than to the size seen at opening: another program may
        // shorten or lengthen the file meanwhile, and then it simply ends sooner or later.
        try {
            // The size seen at opening and one byte more, so that a file that has not
            // changed is read in one go and its end seen by the next read.
            qint64 chunk = std::max<qint64>(file.size(), 0) + 1;
            for (;;) {
                const qsizetype at = m_bytes.size();
                m_bytes.resize(at + qsizetype(chunk));
                const qint64 got = file.read(m_bytes.data() + at, chunk);
                if (got < 0)
                    return;
                m_bytes.resize(at + qsizetype(got));
                if (got == 0)
                    break;
                chunk = 64 * 1024;
            }
        } catch (const std::bad_alloc &) {
            m_bytes = QByteArray();
            return;
        }
        m_readable = true;
    }

    bool exists() const { return m_exists; }
    bool readable() const { return m_readable; }
    QByteArrayView bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    bool m_exists = false;
    bool m_readable = false;
};

struct Line {
    qsizetype begin;
    qsizetype contentEnd;
    qsizetype end; // past the line break
};

// Calls f(line) for each line until f returns false. CR LF, a lone LF and a lone CR
// all end a line.
template <typename F>
void forEachLine(QByteArrayView data, F &&f)
{
    const char *p = data.data();
    const qsizetype n = data.size();
    qsizetype begin = 0;
    while (begin < n) {
        qsizetype i = begin;
        while (i < n && p[i] != '\n' && p[i] != '\r')
            ++i;
        qsizetype end = i;
        if (end < n)
            end += (p[end] == '\r' && end + 1 < n && p[end + 1] == '\n') ? 2 : 1;
        if (!f(Line{begin, i, end}))
            return;
        begin = end;
    }
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QByteArrayView name;      // section name or key, without the blanks around it
    qsizetype valueBegin = 0; // entries: offset in the file just past the '='
};

ParsedLine parseLine(QByteArrayView data, const Line &line)
{
    const QByteArrayView text = data.sliced(line.begin, line.contentEnd - line.begin);
    ParsedLine parsed;
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == '[') {
        const qsizetype close = findByte(text, ']', i + 1);
        if (close >= 0) {
            parsed.kind = LineKind::Section;
            parsed.name = trimmedBlanks(text.sliced(i + 1, close - i - 1));
        }
        return parsed;
    }
    const qsizetype equals = findByte(text, '=');
    if (equals >= 0) {
        parsed.kind = LineKind::Entry;
        parsed.name = trimmedBlanks(text.first(equals));
        parsed.valueBegin = line.begin + equals + 1;
    }
    return parsed;
}

bool isBlankLine(QByteArrayView data, const Line &line)
{
    return trimmedBlanks(data.sliced(line.begin, line.contentEnd - line.begin)).isEmpty();
}

// Letter case in the code page: each byte stands for the first byte whose character
// folds to the same one, so that names compare byte by byte without being decoded.
const std::array<unsigned char, 256> &caseClasses()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> classes{};
        QHash<char16_t, unsigned char> firstOfFold;
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const char16_t folded = decodeWindows1251(QByteArrayView(&byte, 1)).toCaseFolded().at(0).unicode();
            classes[size_t(b)] = firstOfFold.value(folded, static_cast<unsigned char>(b));
            firstOfFold.insert(folded, classes[size_t(b)]);
        }
        return classes;
    }();
    return table;
}

void foldCase(QByteArrayView raw, QByteArray &out)
{
    const auto &classes = caseClasses();
    out.resize(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i)
        out[i] = char(classes[static_cast<unsigned char>(raw[i])]);
}

// Looks names of the file up among a few wanted ones, letter case aside. A wanted name
// is taken as the file would hold it: without blanks around it, in the code page.
class NameSet {
public:
    explicit NameSet(const QStringList &names)
    {
        for (const QString &name : names) {
            foldCase(encodeWindows1251(trimmedBlanks(QStringView(name))), m_buffer);
            if (!m_slots.contains(m_buffer))
                m_slots.insert(m_buffer, int(m_slots.size()));
            m_longest = std::max(m_longest, m_buffer.size());
        }
    }

    int count() const { return int(m_slots.size()); }

    // Slot of a wanted name, -1 for any other.
    int slotOf(QByteArrayView raw) const
    {
        if (raw.size() > m_longest)
            return -1;
        foldCase(raw, m_buffer);
        return m_slots.value(m_buffer, -1);
    }

    int slotOfName(const QString &name) const
    {
        return slotOf(encodeWindows1251(trimmedBlanks(QStringView(name))));
    }

private:
    QHash<QByteArray, int> m_slots;
    qsizetype m_longest = 0;
    mutable QByteArray m_buffer;
};

QString valueText(QByteArrayView raw)
{
    raw = trimmedBlanks(raw);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.sliced(1, raw.size() - 2);
    if (raw.size() > KeyValueFile::ValueLimit)
        raw = raw.first(KeyValueFile::ValueLimit);
    return decodeWindows1251(raw);
}

struct Splice {
    qsizetype at;
    qsizetype removed;
    QByteArray inserted;
};

// Writes the old bytes with `splices` applied (sorted, not overlapping) to a temporary
// file and puts it in the place of the old one.
void replaceFile(const QString &path, FileContents &old, const std::vector<Splice> &splices)
{
    if (old.exists()) {
        // Without its old bytes the other entries would be lost; and a read-only file
        // is not ours to replace.
        if (!old.readable() || !QFileInfo(path).isWritable())
            throw BenchError(KeyValueFile::writeErrorText(path));
    }
    const QByteArrayView data = old.bytes();
    const bool written = WholeFile::write(path, [&](QIODevice &out) {
        const auto put = [&](QByteArrayView bytes) {
            return bytes.isEmpty() || out.write(bytes.data(), bytes.size()) == bytes.size();
        };
        qsizetype pos = 0;
        for (const Splice &s : splices) {
            if (!put(data.sliced(pos, s.at - pos)) || !put(s.inserted))
                return false;
            pos = s.at + s.removed;
        }
        return put(data.sliced(pos));
    });
    if (!written)
        throw BenchError(KeyValueFile::writeErrorText(path));
}

} // namespace

KeyValueFile::KeyValueFile(const QString &path)
    : m_path(path)
{
}

QString KeyValueFile::writeErrorText(const QString &path)
{
    return QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString KeyValueFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    return readValues(section, {key}).value(key, defaultValue);
}

int KeyValueFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    return parseInteger(readString(section, key)).value_or(defaultValue);
}

bool KeyValueFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    const std::optional<int> value = parseInteger(readString(section, key));
    return value ? *value != 0 : defaultValue;
}

QHash<QString, QString> KeyValueFile::readValues(const QString &section, const QStringList &keys) const
{
    QHash<QString, QString> result;
    FileContents file(m_path);
    if (!file.readable() || keys.isEmpty())
        return result;
    const QByteArrayView data = file.bytes();
    const NameSet sectionSet({section});
    const NameSet keySet(keys);
    std::vector<std::optional<QString>> found(size_t(keySet.count()));
    int missing = keySet.count();
    bool inside = false;

    forEachLine(data, [&](const Line &line) {
        const ParsedLine parsed = parseLine(data, line);
        if (parsed.kind == LineKind::Section) {
            if (inside)
                return false;
            inside = sectionSet.slotOf(parsed.name) == 0;
            return true;
        }
        if (inside && parsed.kind == LineKind::Entry) {
            const int slot = keySet.slotOf(parsed.name);
            if (slot >= 0 && !found[size_t(slot)]) {
                found[size_t(slot)] = valueText(data.sliced(parsed.valueBegin, line.contentEnd - parsed.valueBegin));
                if (--missing == 0)
                    return false;
            }
        }
        return true;
    });

    for (const QString &key : keys) {
        const int slot = keySet.slotOfName(key);
        if (found[size_t(slot)])
            result.insert(key, *found[size_t(slot)]);
    }
    return result;
}

QStringList KeyValueFile::sectionNames(qsizetype bufferSize) const
{
    QStringList names;
    FileContents file(m_path);
    if (!file.readable())
        return names;
    const QByteArrayView data = file.bytes();
    QSet<QByteArray> seen;
    QByteArray folded;
    qsizetype used = 0;
    forEachLine(data, [&](const Line &line) {
        const ParsedLine parsed = parseLine(data, line);
        if (parsed.kind != LineKind::Section)
            return true;
        // Too long to fit and too long to repeat a listed name.
        if (parsed.name.size() >= bufferSize)
            return false;
        foldCase(parsed.name, folded);
        if (seen.contains(folded))
            return true;
        if (used + parsed.name.size() + 1 > bufferSize)
            return false;
        used += parsed.name.size() + 1;
        seen.insert(folded);
        names.append(decodeWindows1251(parsed.name));
        return true;
    });
    return names;
}

void KeyValueFile::writeString(const QString &section, const QString &key, const QString &value)
{
    writeValues(section, {{key, value}});
}

void KeyValueFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeValues(section, {{key, QString::number(value)}});
}

void KeyValueFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeValues(section, {{key, value ? QStringLiteral("1") : QStringLiteral("0")}});
}

void KeyValueFile::writeValues(const QString &section, const Entries &entries)
{
    if (entries.isEmpty())
        return;
    FileContents file(m_path);
    const QByteArrayView data = file.bytes();

    QStringList keys;
    keys.reserve(entries.size());
    for (const auto &entry : entries)
        keys.append(entry.first);
    const NameSet sectionSet({section});
    const NameSet keySet(keys);

    // Per wanted key: the key as first given, its last value, and where its old value lies.
    struct Wanted {
        QString key;
        QByteArray value;
        qsizetype valueBegin = -1;
        qsizetype valueEnd = -1;
    };
    std::vector<Wanted> wanted(size_t(keySet.count()));
    for (const auto &entry : entries) {
        Wanted &w = wanted[size_t(keySet.slotOfName(entry.first))];
        if (w.key.isNull())
            w.key = trimmedBlanks(QStringView(entry.first)).toString();
        w.value = encodeWindows1251(firstLine(entry.second));
    }

    bool found = false;
    bool inside = false;
    Line lastFilled{0, 0, 0}; // last non-blank line of the section, its header at least
    forEachLine(data, [&](const Line &line) {
        const ParsedLine parsed = parseLine(data, line);
        if (parsed.kind == LineKind::Section) {
            if (inside)
                return false;
            if (sectionSet.slotOf(parsed.name) == 0) {
                inside = found = true;
                lastFilled = line;
            }
            return true;
        }
        if (!inside)
            return true;
        if (!isBlankLine(data, line))
            lastFilled = line;
        if (parsed.kind == LineKind::Entry) {
            const int slot = keySet.slotOf(parsed.name);
            if (slot >= 0 && wanted[size_t(slot)].valueBegin < 0) {
                wanted[size_t(slot)].valueBegin = parsed.valueBegin;
                wanted[size_t(slot)].valueEnd = line.contentEnd;
            }
        }
        return true;
    });

    std::vector<Splice> splices;
    QByteArray appended;
    for (const Wanted &w : wanted) {
        if (w.valueBegin >= 0)
            splices.push_back({w.valueBegin, w.valueEnd - w.valueBegin, w.value});
        else
            appended += encodeWindows1251(w.key) + '=' + w.value + LineEnd;
    }
    std::sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) { return a.at < b.at; });

    if (!appended.isEmpty()) {
        qsizetype at = data.size();
        QByteArray inserted;
        if (found) {
            at = lastFilled.end;
            if (lastFilled.end == lastFilled.contentEnd)
                inserted = LineEnd; // the section's last line ends the file without a line break
        } else {
            const bool endsInLineBreak = data.isEmpty() || data.back() == '\n' || data.back() == '\r';
            if (!endsInLineBreak)
                inserted = LineEnd;
            inserted += '[' + encodeWindows1251(trimmedBlanks(QStringView(section))) + ']' + LineEnd;
        }
        splices.push_back({at, 0, inserted + appended});
    }
    replaceFile(m_path, file, splices);
}

void KeyValueFile::eraseSection(const QString &section)
{
    FileContents file(m_path);
    if (!file.exists())
        return;
    if (!file.readable())
        throw BenchError(writeErrorText(m_path));
    const QByteArrayView data = file.bytes();
    const NameSet sectionSet({section});

    std::vector<Splice> splices;
    qsizetype removalBegin = -1;
    forEachLine(data, [&](const Line &line) {
        const ParsedLine parsed = parseLine(data, line);
        if (parsed.kind == LineKind::Section) {
            if (removalBegin >= 0) {
                splices.push_back({removalBegin, line.begin - removalBegin, {}});
                removalBegin = -1;
            }
            if (sectionSet.slotOf(parsed.name) == 0)
                removalBegin = line.begin;
        }
        return true;
    });
    if (removalBegin >= 0)
        splices.push_back({removalBegin, data.size() - removalBegin, {}});
    if (splices.empty())
        return;
    replaceFile(m_path, file, splices);
}

std::optional<int> KeyValueFile::parseInteger(QStringView text)
{
    int base = 10;
    bool negative = false;
    qsizetype i = 0;
    if (text.startsWith(u"0x") || text.startsWith(u"0X")) {
        base = 16;
        i = 2;
    } else if (text.startsWith(u'$')) {
        base = 16;
        i = 1;
    } else if (text.startsWith(u'+') || text.startsWith(u'-')) {
        negative = text.front() == u'-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    const qint64 limit = negative ? qint64(std::numeric_limits<int>::max()) + 1 : std::numeric_limits<int>::max();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = text[i].isDigit() && text[i].unicode() < 0x80 ? text[i].unicode() - u'0'
                        : base == 16 && text[i] >= u'a' && text[i] <= u'f' ? text[i].unicode() - u'a' + 10
                        : base == 16 && text[i] >= u'A' && text[i] <= u'F' ? text[i].unicode() - u'A' + 10
                                                                          : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

QString KeyValueFile::valueAsReadBack(const QString &value)
{
    return valueText(encodeWindows1251(firstLine(value)));
}

bool KeyValueFile::isFitSectionName(QStringView name)
{
    const QStringView trimmed = trimmedBlanks(name);
    return !trimmed.startsWith(u'[') && !name.contains(u']') && !name.contains(u'\r') && !name.contains(u'\n')
        && isWindows1251Text(name);
}
