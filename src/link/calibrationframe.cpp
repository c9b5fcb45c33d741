#include "calibrationframe.h"

#include "crc8.h"
#include "numbersyntax.h"
#include "packetlayout.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int VoltageItems = 2;
constexpr int ResistanceRanges = 5;
constexpr std::uint8_t CurrentSelector = 3;
constexpr std::uint8_t SecondVoltageSelector = 6;

// Rounds to single precision; false when the value would round to infinity.
bool toSingle(long double value, float &single)
{
    // Half an ulp above the largest float: from there on rounding gives infinity.
    static const long double limit = std::ldexp(2.0L - std::ldexp(1.0L, -24), 127);
    if (!(std::fabs(value) < limit))
        return false;
    single = static_cast<float>(value);
    return true;
}

// factor × y², the square of a float being exact in long double, rounded once.
bool scaledSquare(float y, long double factor, float &value)
{
    const long double square = static_cast<long double>(y) * y;
    return toSingle(square * factor, value);
}

// Whether every digit before the exponent of a number text is 0.
bool digitsAreZero(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('e') || c == QLatin1Char('E'))
            break;
        if (c.isDigit() && c != QLatin1Char('0'))
            return false;
    }
    return true;
}

} // namespace

CalibrationFrame layOutCalibrationFrame(std::uint8_t command, std::uint8_t selector, float value)
{
    static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    using namespace PacketLayout;
    CalibrationFrame frame{};
    frame[CalibrationCommandOffset] = command;
    frame[CalibrationSelectorOffset] = selector;
    for (int i = 0; i < 4; ++i)
        frame[std::size_t(CalibrationValueOffset + i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    frame[CalibrationChecksumOffset] = CRC8(frame.data(), CalibrationChecksumOffset);
    return frame;
}

CalibrationBuild buildCalibrationFrame(CalibrationQuantity quantity, int item, const QString &text)
{
    CalibrationBuild build;
    switch (quantity) {
    case CalibrationQuantity::Voltage:
        if (item < 0 || item >= VoltageItems)
            build.outcome = CalibrationBuild::Outcome::NoChannel;
        break;
    case CalibrationQuantity::Resistance:
        if (item < 0 || item >= ResistanceRanges)
            build.outcome = CalibrationBuild::Outcome::NoChannel;
        break;
    case CalibrationQuantity::Current:
        break;
    }
    if (build.outcome == CalibrationBuild::Outcome::NoChannel)
        return build;

    long double typed = 0;
    switch (readNumber(text, typed)) {
    case NumberReading::Number:
        break;
    case NumberReading::Overflow:
        build.outcome = CalibrationBuild::Outcome::Overflow;
        return build;
    case NumberReading::NotANumber:
        build.outcome = CalibrationBuild::Outcome::NotANumber;
        return build;
    }

    float x = 0;
    float value = 0;
    std::uint8_t command = SignalCalibrationCommand;
    std::uint8_t selector = 0;
    bool fits = toSingle(typed, x);
    if (fits) {
        switch (quantity) {
        case CalibrationQuantity::Voltage:
            if (item == 0) {
                fits = scaledSquare(x, PacketLayout::FirstVoltageSquareScale, value);
            } else {
                float twice = 0;
                fits = toSingle(PacketLayout::SecondVoltageScale * x, twice)
                       && scaledSquare(twice, PacketLayout::SecondarySquareScale, value);
            }
            selector = static_cast<std::uint8_t>(item * SecondVoltageSelector);
            break;
        case CalibrationQuantity::Current: {
            float scaled = 0;
            fits = toSingle(PacketLayout::CurrentScale * x, scaled)
                   && scaledSquare(scaled, PacketLayout::SecondarySquareScale, value);
            selector = CurrentSelector;
            break;
        }
        case CalibrationQuantity::Resistance:
            command = ResistanceCalibrationCommand;
            selector = static_cast<std::uint8_t>(item);
            value = x;
            break;
        }
    }
    // A reference too small for single precision would send 0, telling the bench that the
    // applied reference reads nothing. Even extended precision makes 0 of "1e-5000", so the
    // digits decide whether the text means 0.
    if (fits && value == 0 && (typed != 0 || !digitsAreZero(text))) {
        build.outcome = CalibrationBuild::Outcome::Underflow;
        return build;
    }
    if (!fits) {
        build.outcome = CalibrationBuild::Outcome::Overflow;
        return build;
    }
    build.outcome = CalibrationBuild::Outcome::Ready;
    build.value = value;
    build.frame = layOutCalibrationFrame(command, selector, value);
    return build;
}
