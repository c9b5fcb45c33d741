#pragma once

#include <QString>

// The one syntax of every typed number: optional leading spaces, optional sign,
// digits with at most one full stop, optional exponent (E/e, optional sign, digits),
// and nothing after.
bool isPlainNumber(const QString &text);

// What a text that may be a plain number reads as. A text of the right syntax is a
// number whatever its size: one beyond the 80-bit range is an overflow, one below its
// smallest value reads as 0.
enum class NumberReading { NotANumber, Number, Overflow };
NumberReading readNumber(const QString &text, long double &value);

// The text of the error that refuses a number too large for its store.
inline const QString OverflowText = QStringLiteral("Floating point overflow");

// Reads the whole text as a plain number; false (and `value` untouched) when it is not
// one or is too large for the 80-bit range.
bool readPlainNumber(const QString &text, long double &value);

// Reads the longest prefix of `text` that is a plain number and returns how many
// characters it took (0 when none fit); `value` is set only when a number was read.
qsizetype readLeadingNumber(const QString &text, long double &value);
