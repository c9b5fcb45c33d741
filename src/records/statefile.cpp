#include "statefile.h"

#include "codepage1251.h"
#include "keyvaluefile.h"
#include "recordslocation.h"

#include <QStringList>

namespace StateFile {

namespace {

// Characters of a piece of the conclusion; with its quotes a piece stays well within
// what a read returns.
constexpr qsizetype PieceLength = 2000;
// More pieces than any memo holds: a hand-edited count beyond it is not believed.
constexpr int MostPieces = 10000;

QList<StateKey> buildKeys()
{
    QList<StateKey> list;
    const auto text = [&](const QString &name) { list.append({name, StateKey::Kind::Text, name}); };
    const auto texts = [&](std::initializer_list<const char *> names) {
        for (const char *name : names)
            text(QString::fromLatin1(name));
    };
    const auto grid = [&](const QString &name, int columns, int rows) {
        for (int c = 0; c < columns; ++c) {
            for (int r = 0; r < rows; ++r)
                list.append({gridKey(name, c, r), StateKey::Kind::GridCell, name, c, r});
        }
    };
    text(QStringLiteral("Name"));
    list.append({QStringLiteral("CurrentInd"), StateKey::Kind::ListIndex, QStringLiteral("cbCurrent"), -1, -1, CurrentTransformerItemCount});
    list.append({QStringLiteral("VoltageInd"), StateKey::Kind::ListIndex, QStringLiteral("cbVoltage"), -1, -1, VoltageTransformerItemCount});
    text(QStringLiteral("Temperature"));
    texts({"Uab00", "Ubc00", "Uca00", "Ia00", "Ic00", "Ib00", "Ixx00", "Ixx01", "Pxx00"});
    texts({"Uab10", "Ubc10", "Uca10", "Ukz100", "Ukz101", "Ukz102", "Ukz110", "Ukz111", "Ukz112",
           "Ia10", "Ic10", "Ib10", "Ikz10", "Pkz10", "Pkz11", "Pkz12"});
    grid(TransformGrid, TransformGridColumns, TransformGridRows);
    text(QStringLiteral("Group"));
    grid(ResistenceGrid, ResistenceGridColumns, ResistenceGridRows);
    text(QStringLiteral("RepairNumber"));
    text(ConclusionKey);
    texts({"RHigh15", "RHigh60", "RLow15", "RLow60", "Uhigh", "Ulow", "Thigh", "Tlow"});
    texts({"RHL15", "RHL60", "UHL", "THL"});
    texts({"KabsHigh", "KabsLow", "KabsHL"});
    return list;
}

QString pieceKey(int index)
{
    return ConclusionKey + u'.' + QString::number(index);
}

// Backslash, CR and LF as \\, \r and \n; a character the code page lacks as \uXXXX.
QString escapedConclusion(const QString &text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (!isWindows1251Text(QStringView(&c, 1)))
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

std::optional<QString> unescapedConclusion(QStringView escaped)
{
    QString out;
    out.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != u'\\') {
            out += escaped[i];
            continue;
        }
        if (++i == escaped.size())
            return std::nullopt;
        const QChar c = escaped[i];
        if (c == u'\\') {
            out += u'\\';
        } else if (c == u'r') {
            out += u'\r';
        } else if (c == u'n') {
            out += u'\n';
        } else if (c == u'u' && i + 4 < escaped.size()) {
            bool ok = false;
            const uint code = escaped.sliced(i + 1, 4).toUInt(&ok, 16);
            if (!ok)
                return std::nullopt;
            out += QChar(char16_t(code));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// "Conclusion" and the pieces that carry the rest of the text.
KeyValueFile::Entries conclusionEntries(const QString &text)
{
    KeyValueFile::Entries entries{{ConclusionKey, text}};
    QStringList pieces;
    if (KeyValueFile::valueAsReadBack(text) != text) {
        const QString escaped = escapedConclusion(text);
        for (qsizetype at = 0; at < escaped.size(); at += PieceLength)
            pieces.append(escaped.mid(at, PieceLength));
    }
    entries.append({ConclusionPartsKey, QString::number(pieces.size())});
    for (int i = 0; i < pieces.size(); ++i)
        entries.append({pieceKey(i + 1), u'"' + pieces[i] + u'"'});
    return entries;
}

// The whole conclusion if its pieces are there and still belong to `plain`.
std::optional<QString> conclusionFromPieces(const KeyValueFile &file, const QString &plain, int parts)
{
    if (parts <= 0 || parts > MostPieces)
        return std::nullopt;
    QStringList keys;
    for (int i = 1; i <= parts; ++i)
        keys.append(pieceKey(i));
    const QHash<QString, QString> values = file.readValues(Section, keys);
    QString escaped;
    for (const QString &key : keys) {
        if (!values.contains(key))
            return std::nullopt;
        escaped += values.value(key);
    }
    const std::optional<QString> whole = unescapedConclusion(escaped);
    if (!whole || KeyValueFile::valueAsReadBack(*whole) != plain)
        return std::nullopt;
    return whole;
}

} // namespace

QString path()
{
    return recordFilePath(FileName);
}

const QList<StateKey> &keys()
{
    static const QList<StateKey> list = buildKeys();
    return list;
}

QString gridKey(const QString &gridName, int column, int row)
{
    return gridName + QString::number(column) + QString::number(row);
}

int listIndexOrFirst(int stored, int itemCount)
{
    return stored >= 0 && stored < itemCount ? stored : 0;
}

void write(const QHash<QString, QString> &texts)
{
    KeyValueFile::Entries entries;
    for (const StateKey &k : keys()) {
        if (k.key == ConclusionKey)
            entries += conclusionEntries(texts.value(k.key));
        else
            entries.append({k.key, texts.value(k.key)});
    }
    KeyValueFile(path()).writeValues(Section, entries);
}

void write(const StateEntries &texts)
{
    QHash<QString, QString> map;
    for (const auto &entry : texts)
        map.insert(entry.first, entry.second);
    write(map);
}

StateEntries read(const QHash<QString, QString> &current)
{
    QStringList names;
    for (const StateKey &k : keys())
        names.append(k.key);
    names.append(ConclusionPartsKey);
    const KeyValueFile file(path());
    const QHash<QString, QString> values = file.readValues(Section, names);

    StateEntries result;
    for (const StateKey &k : keys()) {
        QString text = values.value(k.key, current.value(k.key));
        if (k.kind == StateKey::Kind::ListIndex) {
            const std::optional<int> index = KeyValueFile::parseInteger(values.value(k.key));
            const int chosen = index ? *index : KeyValueFile::parseInteger(current.value(k.key)).value_or(0);
            text = QString::number(listIndexOrFirst(chosen, k.itemCount));
        } else if (k.key == ConclusionKey && values.contains(k.key)) {
            const int parts = KeyValueFile::parseInteger(values.value(ConclusionPartsKey)).value_or(0);
            if (const auto whole = conclusionFromPieces(file, text, parts))
                text = *whole;
        }
        result.append({k.key, text});
    }
    return result;
}

} // namespace StateFile
