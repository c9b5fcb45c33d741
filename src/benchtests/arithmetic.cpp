#include "arithmetic.h"

#include "bencherror.h"

#include <cmath>

long double checkedDivide(long double dividend, long double divisor)
{
    // 0/0 has no value at all, unlike x/0: the processor reports it as an invalid
    // operation, and so do we.
    if (std::isnan(dividend) || std::isnan(divisor) || (divisor == 0 && dividend == 0))
        throw BenchError(InvalidOperationText);
    if (divisor == 0)
        throw BenchError(DivisionByZeroText);
    return dividend / divisor;
}

long double checkedSquareRoot(long double value)
{
    if (std::isnan(value) || value < 0)
        throw BenchError(InvalidOperationText);
    return std::sqrt(value);
}
