#pragma once

#include "packetbuilder.h"

#include <QString>

#include <cstdint>
#include <optional>

// What the measuring unit reports in one signal packet, in the units the program shows:
// volts, amperes and watts on the primary side of the instrument transformers.
struct SignalValues {
    double Uab = 0, Ubc = 0, Uca = 0;     // first voltage channels
    double U2ab = 0, U2bc = 0, U2ca = 0;  // second voltage channels
    double Ia = 0, Ib = 0, Ic = 0;
    double P1 = 0, P2 = 0;                // signed
    std::optional<double> Frequency;      // empty: the unit counted no whole period
    double PhaseShift = 0;                // degrees from the first to the second side
    double UabMean = 0;                   // rectified mean of Uab
};

// Ratios of the instrument transformers the program is set to; the bench itself only
// sees the secondary quantities, so a packet is only right for one pair of ratios.
struct InstrumentRatios {
    std::uint8_t CurrentRatio = 1;
    std::uint16_t VoltageRatio = 1;
};

namespace BenchPackets {

// Tick count at which the frequency window opens; leaves room for w3 below w1.
inline constexpr std::uint16_t WindowStartTick = 1000;

// The accumulators and counts that the program decodes back into `values`.
// Fails, with a sentence for the operator in `error`, when a value cannot be carried:
// a negative or non-finite magnitude, a value beyond its 32-bit field, a non-zero
// current or second-channel voltage with a ratio of 0, a frequency too low for the
// 16-bit tick counter.
std::optional<SignalFields> encodeSignal(const SignalValues &values, const InstrumentRatios &ratios,
                                         QString *error = nullptr);

} // namespace BenchPackets
