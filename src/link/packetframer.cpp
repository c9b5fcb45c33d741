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

bool checksumMatches(PacketKind kind, const std::uint8_t *packet)
{
    const int at = checksumOffset(kind);
    return CRC8(packet + 1, std::uint8_t(at - 1)) == packet[at];
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

// A complete candidate at `offset` whose checksum holds; its length in `length`.
bool PacketFramer::fitsAt(int offset, int &length) const
{
    length = packetLength(RxBuffer[std::size_t(offset)]);
    if (length == 0 || RxCount - offset < length)
        return false;
    const PacketKind kind = RxBuffer[std::size_t(offset)] == SignalKindByte ? PacketKind::Signal
                                                                           : PacketKind::Resistance;
    return checksumMatches(kind, RxBuffer.data() + offset);
}

// Whether a sound head at `head`, followed by a sound packet at `follower`, is more
// likely the tail of an interrupted packet than a packet. A packet's tail is shorter than
// the packet, so such garbage is either a short candidate in front of a long packet (in
// a stream of long packets, where a short one has no business), or a long candidate
// whose span swallows real packets: a chain of sound packets starting inside it that
// ends exactly at its follower.
bool PacketFramer::endsLikeGarbage(int head, int length, int follower) const
{
    if (length == ResistancePacketLength)
        return RxBuffer[std::size_t(follower)] == SignalKindByte;
    for (int r = head + 1; r < follower; ++r) {
        int at = r;
        int step = 0;
        while (at < follower && fitsAt(at, step))
            at += step;
        if (at == follower)
            return true;
    }
    return false;
}

bool PacketFramer::nextPacket(FramedPacket &packet)
{
    m_waitingAt = -1;
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
            m_inStep = false;
            continue;
        }
        if (RxCount - m_scan < length)
            break;

        packet.kind = *start == SignalKindByte ? PacketKind::Signal : PacketKind::Resistance;
        const bool sound = checksumMatches(packet.kind, start);
        if (sound && !m_inStep) {
            const int follower = m_scan + length;
            if (follower == RxCount) {
                m_waitingAt = m_scan;
                break;
            }
            int followerLength = 0;
            const bool followed = fitsAt(follower, followerLength);
            if (!followed && followerLength != 0 && RxCount - follower < followerLength)
                break; // the follower is still on its way
            // Garbage that ends exactly where a real packet begins is followed by real
            // packets, so a follower alone cannot tell it from the first real packet.
            const bool confirmed = followed && !endsLikeGarbage(m_scan, length, follower);
            if (!confirmed) {
                ++m_skipped;
                ++m_scan;
                continue;
            }
            m_inStep = true;
        }
        if (sound) {
            if (packet.kind == PacketKind::Resistance && ResistancePaused)
                packet.check = PacketCheck::Discarded;
            else
                packet.check = PacketCheck::Good;
            packet.bytes = {start, std::size_t(length)};
            m_scan += length;
            return true;
        }

        m_inStep = false;
        const bool report = m_scan >= m_quietUntil;
        m_quietUntil = std::max(m_quietUntil, m_scan + length);
        ++m_scan;
        if (!report) {
            ++m_skipped;
            continue;
        }
        // A resistance packet is thrown away unread while paused, sound or not.
        packet.check = packet.kind == PacketKind::Resistance && ResistancePaused
                           ? PacketCheck::Discarded
                           : PacketCheck::BadChecksum;
        packet.bytes = {start, std::size_t(length)};
        return true;
    }
    compact();
    return false;
}

void PacketFramer::restartStream()
{
    RxCount = 0;
    m_scan = 0;
    m_quietUntil = 0;
    m_waitingAt = -1;
    m_inStep = false;
}

void PacketFramer::confirmQuietLine()
{
    if (m_waitingAt >= 0 && m_waitingAt == m_scan)
        m_inStep = true;
    m_waitingAt = -1;
}

void PacketFramer::compact()
{
    if (m_scan == 0)
        return;
    const int kept = RxCount - m_scan;
    if (kept > 0)
        std::memmove(RxBuffer.data(), RxBuffer.data() + m_scan, std::size_t(kept));
    RxCount = kept;
    m_quietUntil = std::max(0, m_quietUntil - m_scan);
    if (m_waitingAt >= 0)
        m_waitingAt -= m_scan;
    m_scan = 0;
}
