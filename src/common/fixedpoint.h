#pragma once

#include <QString>

// Number to text the way every readout and result is written: exactly `decimals`
// decimals (a negative count means none), a full stop whatever the locale, a leading
// minus, rounded half away from zero at the last shown digit of the value's
// 18-significant-digit expansion, padded on the left with spaces to `minWidth`.
QString FixedText(long double value, int decimals, int minWidth = 0);

// The same text with the full stop replaced by the given decimal separator.
QString FixedTextWithSeparator(long double value, int decimals, QChar separator);
