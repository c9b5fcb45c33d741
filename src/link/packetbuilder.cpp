#include "packetbuilder.h"

#include "calibrationframe.h"
#include "crc8.h"
#include "packetframer.h"
#include "packetlayout.h"

#include <bit>

using namespace PacketLayout;

// The framer cuts packets by its own constants until it reads them from the layout.
static_assert(SignalKindByte == SignalKind && ResistanceKindByte == ResistanceKind);
static_assert(SignalPacketLength == SignalLength && ResistancePacketLength == ResistanceLength);
static_assert(checksumOffset(PacketKind::Signal) == SignalChecksumOffset
              && checksumOffset(PacketKind::Resistance) == ResistanceChecksumOffset);

namespace {

void putBigEndian(QByteArray &out, int offset, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i)
        out[offset + i] = char((v >> (8 * (width - 1 - i))) & 0xFF);
}

std::uint8_t checksumOf(const QByteArray &packet, int checksumOffset)
{
    return CRC8(reinterpret_cast<const std::uint8_t *>(packet.constData()) + ChecksumFrom,
                std::uint8_t(checksumSpan(checksumOffset)));
}

// Where the checksum of a whole packet stands, -1 for bytes that are no packet.
int checksumOffsetOf(const QByteArray &packet)
{
    if (packet.size() == SignalLength && std::uint8_t(packet[0]) == SignalKind)
        return SignalChecksumOffset;
    if (packet.size() == ResistanceLength && std::uint8_t(packet[0]) == ResistanceKind)
        return ResistanceChecksumOffset;
    return -1;
}

} // namespace

QByteArray signalPacket(const SignalFields &f)
{
    QByteArray out(SignalLength, '\0');
    out[0] = char(SignalKind);
    const std::uint32_t accumulators[AccumulatorCount] = {f.Uab, f.Ubc, f.Uca, f.Ia, f.Ib, f.Ic,
                                                           f.U2ab, f.U2bc, f.U2ca};
    for (int a = 0; a < AccumulatorCount; ++a)
        putBigEndian(out, accumulatorOffset(Accumulator(a)), accumulators[a], 4);
    putBigEndian(out, P1Offset, std::uint32_t(f.P1), 4);
    putBigEndian(out, P2Offset, std::uint32_t(f.P2), 4);
    const std::uint16_t ticks[TickCount] = {f.w0, f.w1, f.w2, f.w3};
    for (int w = 0; w < TickCount; ++w)
        putBigEndian(out, tickOffset(Tick(w)), ticks[w], 2);
    out[SignalChecksumOffset] = char(checksumOf(out, SignalChecksumOffset));
    putBigEndian(out, UabMeanOffset, f.UabMean, 4);
    return out;
}

QByteArray resistancePacket(float ohms, std::uint8_t spare)
{
    return resistancePacketBits(std::bit_cast<std::uint32_t>(ohms), spare);
}

QByteArray resistancePacketBits(std::uint32_t bits, std::uint8_t spare)
{
    QByteArray out(ResistanceLength, '\0');
    out[0] = char(ResistanceKind);
    putBigEndian(out, OhmsOffset, bits, 4);
    out[SpareOffset] = char(spare);
    out[ResistanceChecksumOffset] = char(checksumOf(out, ResistanceChecksumOffset));
    return out;
}

QByteArray withBadChecksum(QByteArray packet)
{
    const int at = checksumOffsetOf(packet);
    if (at > 0)
        packet[at] = char(std::uint8_t(packet[at]) ^ 0x5A);
    return packet;
}

bool checksumMatches(const QByteArray &packet)
{
    const int at = checksumOffsetOf(packet);
    return at > 0 && checksumOf(packet, at) == std::uint8_t(packet[at]);
}

QByteArray calibrationFrameBytes(std::uint8_t command, std::uint8_t selector, float value)
{
    const CalibrationFrame frame = layOutCalibrationFrame(command, selector, value);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}
