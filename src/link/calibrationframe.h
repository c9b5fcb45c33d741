#pragma once

#include "packetlayout.h"

#include <QString>

#include <array>
#include <cstdint>

// The quantity whose reference the operator applies to the bench.
enum class CalibrationQuantity { Voltage, Current, Resistance };

inline constexpr std::uint8_t SignalCalibrationCommand = 0xDD;     // voltage and current
inline constexpr std::uint8_t ResistanceCalibrationCommand = 0xCC;

// Command, selector, the value as a single-precision float least significant byte first,
// and the CRC-8 over the six bytes before it. The command goes out alone, the other six
// bytes after the bench has had its pause.
using CalibrationFrame = std::array<std::uint8_t, PacketLayout::CalibrationLength>;

struct CalibrationBuild {
    enum class Outcome {
        Ready,      // `frame` and `value` hold what to send
        NotANumber, // the reference text is not a plain number: nothing may be sent
        Overflow,   // the value does not fit a single-precision float: nothing may be sent
        Underflow,  // the text is not 0 but the value becomes 0 in single precision, at
                    // any exponent: nothing may be sent
        NoChannel,  // `item` names no input of the quantity
    };
    Outcome outcome = Outcome::NotANumber;
    CalibrationFrame frame{};
    float value = 0;
};

// The accumulator the bench ought to report for the reference in `text`, so that its
// decoding gives the reference back: the inverse of the signal packet's formulas without
// the instrument transformers. Single precision at every step (x as read, 2x and 65x, the
// scaled square), so the bytes are the very ones the bench has always been sent.
// `item` is the selected voltage item or resistance range; Current ignores it.
CalibrationBuild buildCalibrationFrame(CalibrationQuantity quantity, int item, const QString &text);

// The frame for a value already in single precision.
CalibrationFrame layOutCalibrationFrame(std::uint8_t command, std::uint8_t selector, float value);
