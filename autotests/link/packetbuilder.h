#pragma once

// Builds bench packets for the link tests: raw fields in, bytes with a correct CRC out.

#include "crc8.h"
#include "packetframer.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>

struct SignalFields {
    std::uint32_t Uab = 0, Ubc = 0, Uca = 0;
    std::uint32_t Ia = 0, Ib = 0, Ic = 0;
    std::uint32_t U2ab = 0, U2bc = 0, U2ca = 0;
    std::int32_t P1 = 0, P2 = 0;
    std::uint16_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;
    std::uint32_t UabMean = 0;
};

inline void putBigEndian(QByteArray &bytes, int offset, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = char(value >> (8 * (width - 1 - i)));
}

inline QByteArray signalPacket(const SignalFields &f)
{
    QByteArray bytes(58, '\0');
    bytes[0] = char(0xBB);
    const std::uint32_t accumulators[] = {f.Uab, f.Ubc, f.Uca, f.Ia, f.Ib, f.Ic,
                                          f.U2ab, f.U2bc, f.U2ca,
                                          std::uint32_t(f.P1), std::uint32_t(f.P2)};
    int offset = 1;
    for (std::uint32_t a : accumulators) {
        putBigEndian(bytes, offset, a, 4);
        offset += 4;
    }
    for (std::uint16_t w : {f.w0, f.w1, f.w2, f.w3}) {
        putBigEndian(bytes, offset, w, 2);
        offset += 2;
    }
    constexpr int at = checksumOffset(PacketKind::Signal);
    bytes[at] = char(CRC8(reinterpret_cast<const std::uint8_t *>(bytes.constData()) + 1, at - 1));
    putBigEndian(bytes, 54, f.UabMean, 4);
    return bytes;
}

inline QByteArray resistancePacket(float ohms, std::uint8_t spare = 0)
{
    std::uint32_t pattern;
    std::memcpy(&pattern, &ohms, 4);
    QByteArray bytes(7, '\0');
    bytes[0] = char(0xAA);
    putBigEndian(bytes, 1, pattern, 4);
    bytes[5] = char(spare);
    constexpr int at = checksumOffset(PacketKind::Resistance);
    bytes[at] = char(CRC8(reinterpret_cast<const std::uint8_t *>(bytes.constData()) + 1, at - 1));
    return bytes;
}

inline QByteArray withBadChecksum(QByteArray packet)
{
    const int crcAt = checksumOffset(packet.size() == SignalPacketLength ? PacketKind::Signal
                                                                        : PacketKind::Resistance);
    packet[crcAt] = char(packet[crcAt] ^ 0x5A);
    return packet;
}
