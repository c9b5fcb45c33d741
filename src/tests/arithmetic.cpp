#include "arithmetic.h"

#include "bencherror.h"

#include <cmath>

long double checkedDivide(long double dividend, long double divisor)
{
    if (divisor == 0)
        throw BenchError(DivisionByZeroText);
    if (std::isnan(dividend) || std::isnan(divisor))
        throw BenchError(InvalidOperationText);
    return dividend / divisor;
}

long double checkedSquareRoot(long double value)
{
    if (std::isnan(value) || value < 0)
        throw BenchError(InvalidOperationText);
    return std::sqrt(value);
}
