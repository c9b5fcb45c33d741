#include "typednumber.h"

#include "numbersyntax.h"

#include <QStringList>

#include <algorithm>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isSeparator(QChar c) { return c == u'.' || c == u','; }
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

TypedNumber refused(TypedNumber::Problem problem)
{
    TypedNumber n;
    n.problem = problem;
    return n;
}

// The digits of a mantissa such as "1 234,5" as "1234.5"; nothing when its separators do
// not say unambiguously which one is the decimal one and which ones group.
std::optional<QString> plainMantissa(const QString &mantissa)
{
    const qsizetype points = mantissa.count(u'.'), commas = mantissa.count(u',');
    QChar decimal;
    if (points > 0 && commas > 0) {
        // Both: the later one is the decimal separator, standing once.
        decimal = mantissa.lastIndexOf(u'.') > mantissa.lastIndexOf(u',') ? u'.' : u',';
        if (mantissa.count(decimal) != 1)
            return std::nullopt;
    } else if (points + commas == 1) {
        decimal = points ? u'.' : u',';
    } else if (points + commas > 1) {
        return std::nullopt;
    }
    const qsizetype at = decimal.isNull() ? -1 : mantissa.indexOf(decimal);
    const QString whole = at < 0 ? mantissa : mantissa.left(at);
    const QString fraction = at < 0 ? QString() : mantissa.mid(at + 1);
    for (QChar c : fraction) {
        if (!isDigit(c))
            return std::nullopt;
    }
    QStringList groups{QString()};
    for (QChar c : whole) {
        if (isDigit(c))
            groups.last() += c;
        else
            groups.append(QString());
    }
    if (groups.size() > 1) {
        if (groups.first().isEmpty() || groups.first().size() > 3)
            return std::nullopt;
        for (qsizetype g = 1; g < groups.size(); ++g) {
            if (groups[g].size() != 3)
                return std::nullopt;
        }
    }
    return groups.join(QString()) + (at < 0 ? QString() : u"."_s + fraction);
}

TypedNumber read(const QString &text, bool whole)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isBlank(text[i]))
        ++i;
    if (i == n)
        return refused(TypedNumber::Problem::Empty);
    QString plain;
    if (text[i] == u'+' || text[i] == u'-' || text[i] == QChar(0x2212)) {
        if (text[i] != u'+')
            plain += u'-';
        ++i;
    }
    // The mantissa: digits, points and commas, and single blanks between two digits.
    const qsizetype start = i;
    qsizetype end = i;
    while (i < n) {
        if (isDigit(text[i]) || isSeparator(text[i])) {
            end = ++i;
        } else if (isBlank(text[i]) && i > start && isDigit(text[i - 1]) && i + 1 < n && isDigit(text[i + 1])) {
            ++i;
        } else {
            break;
        }
    }
    // In a free text a point or comma after the number ends a sentence, not the number.
    while (!whole && end > start && isSeparator(text[end - 1]))
        --end;
    const QString mantissa = text.mid(start, end - start);
    if (!std::any_of(mantissa.cbegin(), mantissa.cend(), isDigit))
        return refused(TypedNumber::Problem::NotANumber);
    const std::optional<QString> digits = plainMantissa(mantissa);
    if (!digits)
        return refused(TypedNumber::Problem::Unclear);
    plain += *digits;
    i = end;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype exponent = j;
        while (j < n && isDigit(text[j]))
            ++j;
        if (j > exponent) {
            plain += text.mid(i, j - i);
            i = j;
        }
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (whole && i < n)
        return refused(TypedNumber::Problem::NotANumber);
    // "20 30", "1 2345": two numbers or a broken group, never the first digits alone.
    if (!whole && i < n && i > end && isDigit(text[i]))
        return refused(TypedNumber::Problem::Unclear);
    long double v = 0;
    const NumberReading reading = readNumber(plain, v);
    if (reading == NumberReading::NotANumber)
        return refused(TypedNumber::Problem::NotANumber);
    if (reading == NumberReading::Overflow || !std::isfinite(double(v)))
        return refused(TypedNumber::Problem::OutOfRange);
    TypedNumber number;
    number.value = double(v);
    number.problem = TypedNumber::Problem::None;
    return number;
}

} // namespace

QString TypedNumber::problemText() const
{
    switch (problem) {
    case Problem::NotANumber:
        return u"не число"_s;
    case Problem::OutOfRange:
        return u"число вне допустимого диапазона"_s;
    case Problem::Unclear:
        return u"неясная запись числа"_s;
    case Problem::None:
    case Problem::Empty:
        break;
    }
    return QString();
}

TypedNumber readTypedNumber(const QString &text)
{
    return read(text, true);
}

TypedNumber readLeadingTypedNumber(const QString &text)
{
    return read(text, false);
}
