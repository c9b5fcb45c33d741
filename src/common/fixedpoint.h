#pragma once

#include <QString>

#include <string>

class QLocale;

// Number to text the way every readout and result is written: exactly `decimals`
// decimals (a negative count means none), a full stop whatever the locale, a leading
// minus, rounded half away from zero at the last shown digit of the value's
// 18-significant-digit expansion, padded on the left with spaces to `minWidth`.
QString fixedText(long double value, int decimals, int minWidth = 0);

// The same text with the full stop replaced by the given decimal separator.
QString fixedTextWithSeparator(long double value, int decimals, QChar separator);

// Digits of round(|value| × 10^decimals), half away from zero on the 18-digit expansion;
// `decimals` may be negative (rounding to tens, hundreds, ...). "0" for nothing left.
std::string roundedDecimalDigits(long double magnitude, int decimals);

// Place of the first significant digit of the 18-digit expansion (0 for zero).
int decimalExponent(long double magnitude);

// A fixed text ("-1234.50") in the regional format: the digit groups and the decimal
// separator of `locale`.
QString regionalNumberText(const QString &plain, const QLocale &locale);
