#include "codepage1251.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array<char16_t, 128> UpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

using ReverseEntry = std::pair<char16_t, unsigned char>;

const std::array<ReverseEntry, 128> &reverseTable()
{
    static const std::array<ReverseEntry, 128> table = [] {
        std::array<ReverseEntry, 128> t{};
        for (int i = 0; i < 128; ++i)
            t[i] = {UpperHalf[i], static_cast<unsigned char>(0x80 + i)};
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

// The byte of `c`, or -1 when the code page lacks it.
int byteOf(char16_t c)
{
    if (c < 0x80)
        return c;
    const auto &table = reverseTable();
    const auto it = std::lower_bound(table.begin(), table.end(), ReverseEntry{c, 0});
    if (it != table.end() && it->first == c)
        return it->second;
    return -1;
}

} // namespace

QString decodeWindows1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = QChar(u < 0x80 ? char16_t(u) : UpperHalf[u - 0x80]);
    }
    return text;
}

QByteArray encodeWindows1251(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int b = byteOf(c);
        bytes.append(b < 0 || QChar::isSurrogate(c) ? '?' : static_cast<char>(b));
    }
    return bytes;
}

bool isWindows1251Text(QStringView text)
{
    for (const QChar c : text) {
        if (c.isSurrogate() || byteOf(c.unicode()) < 0)
            return false;
    }
    return true;
}

QStringList unstorableCharacters(QStringView text)
{
    QStringList found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        QString character(QChar{c});
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            character += text[++i];
        else if (!QChar::isSurrogate(c) && byteOf(c) >= 0)
            continue;
        if (!found.contains(character))
            found.append(character);
    }
    return found;
}
