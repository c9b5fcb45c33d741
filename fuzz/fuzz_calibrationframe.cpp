// Whatever the operator types, a frame goes out only when it is whole and true: its
// checksum holds, it carries the command and the channel ticked, and its value is a finite
// number that is 0 only when the reference is.
#include "calibrationframe.h"
#include "crc8.h"
#include "fuzzinput.h"
#include "numbersyntax.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const auto quantity = static_cast<CalibrationQuantity>(input.byte() % 3);
    const int item = int(input.byte() % 8) - 1;
    std::size_t textSize = 0;
    const std::uint8_t *textBytes = input.rest(textSize);
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(textBytes), qsizetype(textSize));

    const CalibrationBuild build = buildCalibrationFrame(quantity, item, text);
    if (build.outcome != CalibrationBuild::Outcome::Ready) {
        FUZZ_ASSERT(build.frame == CalibrationFrame{});
        return 0;
    }
    const CalibrationFrame &f = build.frame;
    using namespace PacketLayout;
    FUZZ_ASSERT(f[CalibrationChecksumOffset] == CRC8(f.data(), CalibrationChecksumOffset));
    float value = 0;
    std::memcpy(&value, f.data() + CalibrationValueOffset, sizeof value);
    FUZZ_ASSERT(std::memcmp(&value, &build.value, sizeof value) == 0);
    FUZZ_ASSERT(std::isfinite(value));
    long double typed = 0;
    FUZZ_ASSERT(readPlainNumber(text, typed));
    FUZZ_ASSERT((value == 0) == (typed == 0));
    switch (quantity) {
    case CalibrationQuantity::Voltage:
        FUZZ_ASSERT(f[0] == SignalCalibrationCommand && f[1] == item * 6);
        FUZZ_ASSERT(value >= 0);
        break;
    case CalibrationQuantity::Current:
        FUZZ_ASSERT(f[0] == SignalCalibrationCommand && f[1] == 3);
        FUZZ_ASSERT(value >= 0);
        break;
    case CalibrationQuantity::Resistance:
        FUZZ_ASSERT(f[0] == ResistanceCalibrationCommand && f[1] == item);
        FUZZ_ASSERT(std::fabs(value - typed) <= std::fabs(typed) * 1e-7L + 1e-45L);
        break;
    }
    return 0;
}
