#include "numbersyntax.h"

#include <cerrno>
#include <charconv>
#include <string>

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Length of the longest valid number at the start of `text`, 0 when none.
qsizetype scanNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        // A full stop belongs to the number only when digits stand on one side of it.
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && isDigit(text[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        const qsizetype expStart = j;
        while (j < n && isDigit(text[j]))
            ++j;
        if (j > expStart)
            i = j;
    }
    return i;
}

bool convert(const QString &number, long double &value)
{
    std::string s = number.trimmed().toStdString();
    if (!s.empty() && s.front() == '+')
        s.erase(s.begin());
    long double parsed = 0;
    const char *first = s.data();
    // from_chars takes no leading '+' and reads ".5" and "5." as C does.
    auto [ptr, ec] = std::from_chars(first, first + s.size(), parsed, std::chars_format::general);
    if (ec != std::errc() || ptr != first + s.size())
        return false;
    value = parsed;
    return true;
}

} // namespace

bool IsPlainNumber(const QString &text)
{
    const qsizetype len = scanNumber(text);
    return len > 0 && len == text.size();
}

bool ReadPlainNumber(const QString &text, long double &value)
{
    if (!IsPlainNumber(text))
        return false;
    return convert(text, value);
}

qsizetype ReadLeadingNumber(const QString &text, long double &value)
{
    const qsizetype len = scanNumber(text);
    if (len == 0 || !convert(text.left(len), value))
        return 0;
    return len;
}
