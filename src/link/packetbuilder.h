#pragma once

#include <QByteArray>

#include <cstdint>

// The integers a signal packet carries, named as the layout names them.
struct SignalFields {
    std::uint32_t Uab = 0, Ubc = 0, Uca = 0;
    std::uint32_t Ia = 0, Ib = 0, Ic = 0;
    std::uint32_t U2ab = 0, U2bc = 0, U2ca = 0;
    std::int32_t P1 = 0, P2 = 0;
    std::uint16_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;
    std::uint32_t UabMean = 0;
};

// Packets as the bench's measuring unit sends them, checksum included: what the bench
// emulator plays and the tests feed the link.
QByteArray signalPacket(const SignalFields &fields);
QByteArray resistancePacket(float ohms, std::uint8_t spare = 0);
// The same from the bit pattern of the single, for patterns a float may not carry intact.
QByteArray resistancePacketBits(std::uint32_t bits, std::uint8_t spare = 0);

// A signal or resistance packet whose checksum byte no longer matches; other bytes are
// returned as they are.
QByteArray withBadChecksum(QByteArray packet);
// True for a whole signal or resistance packet whose checksum matches.
bool checksumMatches(const QByteArray &packet);

// The calibration frame as the program sends it.
QByteArray calibrationFrameBytes(std::uint8_t command, std::uint8_t selector, float value);
