#include "fixedpoint.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr int SignificantDigits = 18;

// The 18 significant digits of a non-zero magnitude and the place of the first one.
std::string expansion(long double magnitude, int &exponent)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                             SignificantDigits - 1);
    std::string text(buf, res.ptr);
    const auto ePos = text.find('e');
    exponent = std::stoi(text.substr(ePos + 1));
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            digits += text[i];
    return digits;
}

} // namespace

int decimalExponent(long double magnitude)
{
    if (magnitude == 0)
        return 0;
    int exponent = 0;
    expansion(std::fabs(magnitude), exponent);
    return exponent;
}

std::string roundedDecimalDigits(long double magnitude, int decimals)
{
    if (magnitude == 0)
        return "0";
    int exponent = 0;
    const std::string digits = expansion(std::fabs(magnitude), exponent);

    // Digit k has place value 10^(exponent - k); keep those down to 10^-decimals.
    const long keep = long(exponent) + decimals + 1;
    if (keep >= long(digits.size()))
        return digits + std::string(std::size_t(keep - long(digits.size())), '0');
    if (keep < 0)
        return "0";
    const bool roundUp = digits[std::size_t(keep)] >= '5';
    std::string kept = digits.substr(0, std::size_t(keep));
    if (kept.empty())
        kept = "0";
    if (roundUp) {
        int i = int(kept.size()) - 1;
        for (; i >= 0; --i) {
            if (kept[std::size_t(i)] == '9') {
                kept[std::size_t(i)] = '0';
            } else {
                ++kept[std::size_t(i)];
                break;
            }
        }
        if (i < 0)
            kept.insert(kept.begin(), '1');
    }
    return kept;
}

QString fixedText(long double value, int decimals, int minWidth)
{
    if (decimals < 0)
        decimals = 0;
    QString out;
    if (std::isnan(value)) {
        out = QStringLiteral("NAN");
    } else if (std::isinf(value)) {
        out = value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    } else {
        std::string digits = roundedDecimalDigits(std::fabs(value), decimals);
        if (int(digits.size()) <= decimals)
            digits.insert(0, std::size_t(decimals + 1 - int(digits.size())), '0');
        std::string text = digits.substr(0, digits.size() - std::size_t(decimals));
        if (decimals > 0)
            text += '.' + digits.substr(digits.size() - std::size_t(decimals));
        // A value that rounds to zero is written without a sign: "-0.0" misleads.
        const bool allZero = digits.find_first_not_of('0') == std::string::npos;
        if (std::signbit(value) && !allZero)
            text.insert(text.begin(), '-');
        out = QString::fromLatin1(text.data(), qsizetype(text.size()));
    }
    if (out.size() < minWidth)
        out = QString(minWidth - out.size(), QLatin1Char(' ')) + out;
    return out;
}

QString fixedTextWithSeparator(long double value, int decimals, QChar separator)
{
    QString text = fixedText(value, decimals);
    text.replace(QLatin1Char('.'), separator);
    return text;
}

QString regionalNumberText(const QString &plain, const QLocale &locale)
{
    const bool negative = plain.startsWith(QLatin1Char('-'));
    const QString body = negative ? plain.mid(1) : plain;
    const qsizetype point = body.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? body : body.left(point);
    QString out = negative ? QStringLiteral("-") : QString();
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += locale.groupSeparator();
        out += whole[i];
    }
    if (point >= 0)
        out += locale.decimalPoint() + body.mid(point + 1);
    return out;
}
