#pragma once

#include <cstdint>

// Where every field stands on the serial line, and what one count of it is worth: the one
// description that the decoders, the packet builder, the calibration frame and the bench
// emulator read.
namespace PacketLayout {

// Signal packet: the kind byte, nine unsigned and two signed 32-bit accumulators, four
// 16-bit tick counts, the checksum, and the rectified mean of Uab behind it. Every
// multi-byte field is big-endian.
inline constexpr std::uint8_t SignalKind = 0xBB;
inline constexpr int SignalLength = 58;
enum Accumulator : int { Uab, Ubc, Uca, Ia, Ib, Ic, U2ab, U2bc, U2ca, AccumulatorCount };
constexpr int accumulatorOffset(Accumulator a) { return 1 + 4 * a; }
inline constexpr int P1Offset = 37;
inline constexpr int P2Offset = 41;
// w0 and w1 open and close the frequency window, w2 is the whole periods in it plus one
// (0: none counted), w3 marks the second side's zero crossing before w1.
enum Tick : int { W0, W1, W2, W3, TickCount };
constexpr int tickOffset(Tick w) { return 45 + 2 * w; }
inline constexpr int SignalChecksumOffset = 53;
inline constexpr int UabMeanOffset = 54;

// Resistance packet: the kind byte, the ohms as a big-endian IEEE single, a byte the
// program ignores, the checksum.
inline constexpr std::uint8_t ResistanceKind = 0xAA;
inline constexpr int ResistanceLength = 7;
inline constexpr int OhmsOffset = 1;
inline constexpr int SpareOffset = 5;
inline constexpr int ResistanceChecksumOffset = 6;

// A packet's checksum covers the bytes after the kind byte up to the checksum itself.
inline constexpr int ChecksumFrom = 1;
constexpr int checksumSpan(int checksumOffset) { return checksumOffset - ChecksumFrom; }

// Calibration frame, from the program to the bench: command, selector, the value as an
// IEEE single least significant byte first, and the checksum over all bytes before it.
inline constexpr int CalibrationLength = 7;
inline constexpr int CalibrationCommandOffset = 0;
inline constexpr int CalibrationSelectorOffset = 1;
inline constexpr int CalibrationValueOffset = 2;
inline constexpr int CalibrationChecksumOffset = 6;

// Commands of the resistance measurement: the lead byte, then a code and the code plus
// 50; codes 0-4 start a range, 5 stops.
inline constexpr std::uint8_t ResistanceCommandLead = 0xAA;
inline constexpr int ResistanceCodeEcho = 50;
inline constexpr int ResistanceStopCode = 5;
// The hidden service commands: their lead byte and five filler bytes.
inline constexpr std::uint8_t ServiceCCLead = 0xCC;
inline constexpr std::uint8_t ServiceB5Lead = 0xB5;
inline constexpr std::uint8_t ServiceFiller = 0x01;
inline constexpr int ServiceLength = 6;

// Scale. The first voltage channels count 6000 per volt squared; the currents, the second
// voltage channels and the rectified mean 16000 per unit squared of their secondary value
// times its own factor.
inline constexpr long double FirstVoltageSquareScale = 6000;
inline constexpr long double SecondarySquareScale = 16000;
inline constexpr long double CurrentScale = 65;       // per secondary ampere
inline constexpr long double SecondVoltageScale = 2;  // per secondary volt
inline constexpr long double MeanRootFactor = 768;    // the mean counts sqrt(768) per volt
inline constexpr int TicksPerSecond = 8000;
inline constexpr long double DegreesPerTick = 2.25L;

// Watts of a power accumulator before the current ratio, in this order of operations:
// readings decoded by another order differ in the last bits.
constexpr long double wattsOfCount(long double count)
{
    return count * 16384 * 1.633L / 4000 / 2048 / CurrentScale;
}

constexpr std::uint32_t bigEndian32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8
           | std::uint32_t(p[3]);
}

constexpr int bigEndian16(const std::uint8_t *p)
{
    return int(p[0]) << 8 | int(p[1]);
}

} // namespace PacketLayout
