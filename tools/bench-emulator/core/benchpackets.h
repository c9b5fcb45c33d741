#pragma once

#include <QByteArray>
#include <QString>

#include <array>
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

// The integers a signal packet carries, before the checksum is added.
struct SignalRaw {
    std::array<std::uint32_t, 9> accumulators{};  // Uab Ubc Uca Ia Ib Ic U2ab U2bc U2ca
    std::int32_t P1 = 0, P2 = 0;
    std::array<std::uint16_t, 4> counts{};        // w0 w1 w2 w3
    std::uint32_t UabMean = 0;
};

namespace BenchPackets {

inline constexpr int SignalPacketSize = 58;
inline constexpr int ResistancePacketSize = 7;
inline constexpr int CalibrationFrameSize = 7;
inline constexpr std::uint8_t SignalKind = 0xBB;
inline constexpr std::uint8_t ResistanceKind = 0xAA;
inline constexpr int TicksPerSecond = 8000;
// Tick count at which the frequency window opens; leaves room for w3 below w1.
inline constexpr std::uint16_t WindowStartTick = 1000;

// The accumulators and counts that the program decodes back into `values`.
// Fails, with a sentence for the operator in `error`, when a value cannot be carried:
// a negative or non-finite magnitude, a value beyond its 32-bit field, a non-zero
// current or second-channel voltage with a ratio of 0, a frequency too low for the
// 16-bit tick counter.
std::optional<SignalRaw> encodeSignal(const SignalValues &values, const InstrumentRatios &ratios,
                                      QString *error = nullptr);

// 58 bytes: kind, big-endian fields, CRC over offsets 1-52 at 53, UabMean at 54-57.
QByteArray signalPacket(const SignalRaw &raw);

// 7 bytes: kind, big-endian IEEE single, a free byte, CRC over offsets 1-5 at 6.
QByteArray resistancePacket(float ohms, std::uint8_t spare = 0);
// The same from the bit pattern of the single, for patterns a float may not carry intact.
QByteArray resistancePacketBits(std::uint32_t bits, std::uint8_t spare = 0);

// 7 bytes as the program sends them: command, selector, the value least significant
// byte first, CRC over offsets 0-5 at 6.
QByteArray calibrationFrame(std::uint8_t command, std::uint8_t selector, float value);

// The same packet with a checksum byte that no longer matches (signal or resistance).
QByteArray withBrokenChecksum(QByteArray packet);

// True when the checksum byte of a complete signal or resistance packet matches.
bool checksumMatches(const QByteArray &packet);

} // namespace BenchPackets
