#pragma once

#include <QString>

// The one syntax of every typed number: optional leading spaces, optional sign,
// digits with at most one full stop, optional exponent (E/e, optional sign, digits),
// and nothing after.
bool IsPlainNumber(const QString &text);

// Reads the whole text as a plain number; false (and `value` untouched) when it is not
// one or does not fit the 80-bit range.
bool ReadPlainNumber(const QString &text, long double &value);

// Reads the longest prefix of `text` that is a plain number and returns how many
// characters it took (0 when none fit); `value` is set only when a number was read.
qsizetype ReadLeadingNumber(const QString &text, long double &value);
