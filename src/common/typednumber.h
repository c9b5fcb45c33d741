#pragma once

#include <QString>

#include <optional>

// A number as a person types it into a result or an analysis: a decimal point or comma,
// digits grouped by blanks ("1 234,5", also the no-break spaces a spreadsheet copies), or by
// the other of point and comma when both stand ("1,234.5", "1.234,5"), an exponent
// ("1,5e-2"). Groups after the first hold three digits; a blank or a separator anywhere
// else makes the text unclear, and an unclear text is refused rather than read as the
// digits before it. Only a finite double is a number.
struct TypedNumber {
    enum class Problem {
        None,
        Empty,      // nothing but blanks
        NotANumber, // no number, or more than a number where the whole text must be one
        OutOfRange, // a number no double holds (1e400)
        Unclear,    // blanks or separators that group nothing ("1 2345", "1.234.5", "20 30")
    };

    std::optional<double> value;
    Problem problem = Problem::Empty;

    // "не число", "число вне допустимого диапазона", "неясная запись числа"; empty for a
    // number or an empty text.
    QString problemText() const;
};

// The whole text, blanks around it aside, as one number.
TypedNumber readTypedNumber(const QString &text);

// The number a free text begins with, such as "52 кВ", "0,02 мг КОН/г" or "1 234,5 г/т".
TypedNumber readLeadingTypedNumber(const QString &text);
