#include "numbersyntax.h"

#include <algorithm>
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

// Beyond the range, from_chars tells neither the direction nor a value: the decimal
// order of the first significant digit does. Only called for texts of the syntax.
bool tooLarge(const std::string &s)
{
    long order = 0; // position of the first significant digit, relative to the point
    bool seenPoint = false;
    bool significant = false;
    std::size_t i = s.find_first_of("0123456789.");
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            seenPoint = true;
        } else if (!significant) {
            if (s[i] != '0') {
                significant = true;
                if (!seenPoint)
                    order = 1;
            } else if (seenPoint) {
                --order;
            }
        } else if (!seenPoint) {
            ++order;
        }
    }
    long exponent = 0;
    if (i < s.size()) {
        const char *first = s.data() + i + 1;
        if (*first == '+')
            ++first;
        // An exponent too long even for a long is far out either way; its sign decides.
        if (std::from_chars(first, s.data() + s.size(), exponent).ec != std::errc())
            exponent = *first == '-' ? -1000000 : 1000000;
    }
    // The order is bounded by the text's length; so bounded, the exponent cannot make
    // the sum overflow, and any exponent this far out decides alone.
    constexpr long far = 1L << 40;
    exponent = std::clamp(exponent, -far, far);
    return significant && order + exponent > 0;
}

NumberReading convert(const QString &number, long double &value)
{
    std::string s = number.trimmed().toStdString();
    if (!s.empty() && s.front() == '+')
        s.erase(s.begin());
    long double parsed = 0;
    const char *first = s.data();
    // from_chars takes no leading '+' and reads ".5" and "5." as C does.
    auto [ptr, ec] = std::from_chars(first, first + s.size(), parsed, std::chars_format::general);
    if (ptr != first + s.size())
        return NumberReading::NotANumber;
    if (ec == std::errc::result_out_of_range) {
        if (tooLarge(s))
            return NumberReading::Overflow;
        parsed = 0;
    } else if (ec != std::errc()) {
        return NumberReading::NotANumber;
    }
    value = parsed;
    return NumberReading::Number;
}

} // namespace

bool isPlainNumber(const QString &text)
{
    const qsizetype len = scanNumber(text);
    return len > 0 && len == text.size();
}

NumberReading readNumber(const QString &text, long double &value)
{
    if (!isPlainNumber(text))
        return NumberReading::NotANumber;
    return convert(text, value);
}

bool readPlainNumber(const QString &text, long double &value)
{
    return readNumber(text, value) == NumberReading::Number;
}

qsizetype readLeadingNumber(const QString &text, long double &value)
{
    const qsizetype len = scanNumber(text);
    if (len == 0 || convert(text.left(len), value) != NumberReading::Number)
        return 0;
    return len;
}
