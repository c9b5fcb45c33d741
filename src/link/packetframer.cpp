#include "packetframer.h"

#include "crc8.h"

#include <algorithm>
#include <cstring>

namespace {

int packetLength(std::uint8_t kindByte)
{
    switch (kindByte) {
    case SignalKindByte:
        return SignalPacketLength;
    case ResistanceKindByte:
        return ResistancePacketLength;
    default:
        return 0;
    }
}

// The kind byte is outside the checksum; so are the four bytes behind a signal packet's CRC.
bool checksumMatches(PacketKind kind, const std::uint8_t *packet)
{
    if (kind == PacketKind::Signal)
        return CRC8(packet + 1, 52) == packet[53];
    return CRC8(packet + 1, 5) == packet[6];
}

} // namespace

std::span<std::uint8_t> PacketFramer::freeSpace()
{
    compact();
    return {RxBuffer.data() + RxCount, std::size_t(BufferSize - RxCount)};
}

int PacketFramer::commit(int count)
{
    const int accepted = std::clamp(count, 0, BufferSize - RxCount);
    RxCount += accepted;
    return accepted;
}

bool PacketFramer::nextPacket(FramedPacket &packet)
{
    while (m_scan < RxCount) {
        const std::uint8_t *start = RxBuffer.data() + m_scan;
        const int length = packetLength(*start);
        if (length == 0) {
            const std::uint8_t *end = RxBuffer.data() + RxCount;
            const std::uint8_t *next = std::find_if(start + 1, end, [](std::uint8_t b) {
                return b == SignalKindByte || b == ResistanceKindByte;
            });
            m_skipped += std::uint64_t(next - start);
            m_scan = int(next - RxBuffer.data());
            continue;
        }
        if (RxCount - m_scan < length)
            break;

        packet.kind = *start == SignalKindByte ? PacketKind::Signal : PacketKind::Resistance;
        if (packet.kind == PacketKind::Resistance && ResistancePaused)
            packet.check = PacketCheck::Discarded;
        else
            packet.check = checksumMatches(packet.kind, start) ? PacketCheck::Good
                                                              : PacketCheck::BadChecksum;
        packet.bytes = {start, std::size_t(length)};
        m_scan += length;
        return true;
    }
    compact();
    return false;
}

void PacketFramer::compact()
{
    if (m_scan == 0)
        return;
    const int kept = RxCount - m_scan;
    if (kept > 0)
        std::memmove(RxBuffer.data(), RxBuffer.data() + m_scan, std::size_t(kept));
    RxCount = kept;
    m_scan = 0;
}
