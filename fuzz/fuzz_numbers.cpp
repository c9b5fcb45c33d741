// The number syntax agrees with itself, and a finite value's fixed-point text reads back
// within half a unit of its last decimal.
#include "fixedpoint.h"
#include "fuzzinput.h"
#include "numbersyntax.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const int decimals = int(input.byte() % 24) - 3;
    const int minWidth = input.byte() % 32;
    std::size_t taken = 0;
    const std::uint8_t *raw = input.take(sizeof(double), taken);
    double d = 0;
    std::memcpy(&d, raw, taken);

    if (std::isfinite(d)) {
        const long double value = d;
        const QString text = fixedText(value, decimals, minWidth);
        FUZZ_ASSERT(text.size() >= minWidth);
        FUZZ_ASSERT(text.size() == minWidth || !text.startsWith(u' '));
        const qsizetype point = text.indexOf(u'.');
        FUZZ_ASSERT(decimals > 0 ? point >= 0 && text.size() - point - 1 == decimals : point < 0);
        long double back = 0;
        FUZZ_ASSERT(readPlainNumber(text, back));
        // Half a unit of the last decimal, and what the 18-digit expansion may lose.
        const long double unit = std::pow(10.0L, -(long double)std::max(decimals, 0));
        FUZZ_ASSERT(std::fabs(back - value) <= unit / 2 + std::fabs(value) * 1e-17L);
    }

    std::size_t textSize = 0;
    const std::uint8_t *textBytes = input.rest(textSize);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(textBytes), qsizetype(textSize));
    long double value = 0;
    const bool read = readPlainNumber(text, value);
    long double leading = 0;
    const qsizetype used = readLeadingNumber(text, leading);
    FUZZ_ASSERT(used >= 0 && used <= text.size());
    if (used > 0)
        FUZZ_ASSERT(isPlainNumber(text.left(used)));
    // A whole text read as a number is its own longest leading number, with the same value.
    if (read) {
        FUZZ_ASSERT(isPlainNumber(text) && !std::isnan(value));
        FUZZ_ASSERT(used == text.size() && leading == value);
    }
    return 0;
}
