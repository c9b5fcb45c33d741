#pragma once

#include <QString>

// Texts of the arithmetic errors that end a test and reach the general error report.
inline const QString DivisionByZeroText = QStringLiteral("Floating point division by zero");
inline const QString InvalidOperationText = QStringLiteral("Invalid floating point operation");

// Minimum width of every test result text.
inline constexpr int ResultWidth = 3;

// Floating-point division does not trap in C++, yet a zero rated value must stop the
// test where it is used: these throw BenchError instead of producing INF or NAN.
long double checkedDivide(long double dividend, long double divisor);
long double checkedSquareRoot(long double value);
