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
    if (accepted > 0)
        m_ended = false;
    return accepted;
}

// A complete candidate at `offset` whose checksum holds; its length in `length`.
bool PacketFramer::fitsAt(int offset, int &length) const
{
    length = packetLength(RxBuffer[std::size_t(offset)]);
    if (length == 0 || m_viewEnd - offset < length)
        return false;
    const PacketKind kind = RxBuffer[std::size_t(offset)] == SignalKindByte ? PacketKind::Signal
                                                                           : PacketKind::Resistance;
    return checksumMatches(kind, RxBuffer.data() + offset);
}

// A resistance packet with no measurement running is taken only behind one in step.
bool PacketFramer::takesResistanceFreely() const
{
    return m_resistanceExpected;
}

// Whether `sound` more sound packets follow from `end` on, each starting within `reach`
// bytes of where the one before ended, with at most `broken` failed candidates among them;
// with `onlyKind` set, only packets of that kind count. Unknown while the bytes that
// would tell have not come yet.
PacketFramer::Evidence PacketFramer::chainFrom(int end, int reach, int sound, int broken,
                                               std::uint8_t onlyKind) const
{
    for (int at = end; at <= end + reach; ++at) {
        if (at >= m_viewEnd)
            return m_viewFinal ? Evidence::No : Evidence::Unknown;
        const std::uint8_t kind = RxBuffer[std::size_t(at)];
        if (onlyKind ? kind != onlyKind : packetLength(kind) == 0)
            continue;
        int length = 0;
        const bool fits = fitsAt(at, length);
        if (!fits && m_viewEnd - at < length) {
            if (!m_viewFinal)
                return Evidence::Unknown;
            continue;
        }
        Evidence next = Evidence::No;
        if (fits)
            next = sound == 1 ? Evidence::Yes : chainFrom(at + length, reach, sound - 1, broken, onlyKind);
        else if (broken > 0)
            next = chainFrom(at + length, reach, sound, broken - 1, onlyKind);
        if (next != Evidence::No)
            return next;
    }
    return Evidence::No;
}

namespace {
PacketFramer::Evidence either(PacketFramer::Evidence a, PacketFramer::Evidence b)
{
    using E = PacketFramer::Evidence;
    if (a == E::Yes || b == E::Yes)
        return E::Yes;
    return a == E::Unknown || b == E::Unknown ? E::Unknown : E::No;
}
} // namespace

// How firmly the stream behind the sound candidate at `head` confirms it: back to back (a
// packet of its own kind right behind it, or two of any kind), or only across stray bytes
// (two packets, each within NoiseGap bytes of the one before). A resistance packet nobody
// awaits needs two resistance packets right behind it.
PacketFramer::Support PacketFramer::support(int head, int length) const
{
    const int end = head + length;
    const std::uint8_t kind = RxBuffer[std::size_t(head)];
    const bool resistance = kind == ResistanceKindByte;
    const Evidence exact = resistance && !takesResistanceFreely()
                               ? chainFrom(end, 0, 2, 1, ResistanceKindByte)
                               : either(chainFrom(end, 0, 1, 0, kind), chainFrom(end, 0, 2, 1, 0));
    if (exact != Evidence::No)
        return exact == Evidence::Yes ? Support::BackToBack : Support::Unknown;
    if (resistance)
        return Support::None;
    switch (chainFrom(end, NoiseGap, 2, 1, 0)) {
    case Evidence::Yes:
        return Support::AcrossNoise;
    case Evidence::No:
        return Support::None;
    case Evidence::Unknown:
        break;
    }
    return Support::Unknown;
}

// Whether a sound resistance packet is among the three packets that follow back to back
// from `end` on.
PacketFramer::Evidence PacketFramer::resistanceBehind(int end) const
{
    int at = end;
    for (int i = 0; i < 3; ++i) {
        if (at >= m_viewEnd)
            return m_viewFinal ? Evidence::No : Evidence::Unknown;
        const int length = packetLength(RxBuffer[std::size_t(at)]);
        if (length == 0)
            return Evidence::No;
        int fits = 0;
        if (!fitsAt(at, fits))
            return m_viewEnd - at < length && !m_viewFinal ? Evidence::Unknown : Evidence::No;
        if (RxBuffer[std::size_t(at)] == ResistanceKindByte)
            return Evidence::Yes;
        at += length;
    }
    return Evidence::No;
}

// Whether a sound candidate that starts inside the one at `head` is confirmed at least as
// firmly as `level`: then the two cannot both be packets. An inner candidate that is
// overtaken in its turn (a long one swallowing the real packets behind) does not count.
PacketFramer::Evidence PacketFramer::overtaken(int head, int length, Support level, bool nested,
                                               int *by) const
{
    Evidence result = Evidence::No;
    for (int at = head + 1; at < head + length && at < m_viewEnd; ++at) {
        int inner = 0;
        if (!fitsAt(at, inner)) {
            if (inner != 0 && m_viewEnd - at < inner && !m_viewFinal)
                result = Evidence::Unknown;
            continue;
        }
        if (rhythm(at) == Rhythm::Out)
            continue;
        if (at + inner == head + length) {
            // A kind byte near the end of a packet makes a short candidate that ends with it
            // and is confirmed by the same packets: likelier than garbage whose end is a
            // packet's end with just that packet inside. With no measurement running
            // neither is taken (see decide()).
            if (takesResistanceFreely() || RxBuffer[std::size_t(at)] != ResistanceKindByte)
                continue;
            // Only where resistance packets come: a stream of signal packets keeps its own.
            const Evidence mixed = resistanceBehind(head + length);
            if (mixed == Evidence::Unknown)
                result = Evidence::Unknown;
            if (mixed != Evidence::Yes)
                continue;
            if (by)
                *by = at;
            return Evidence::Yes;
        }
        const Support s = support(at, inner);
        if (s == Support::Unknown) {
            result = Evidence::Unknown;
        } else if (s != Support::None && s >= level) {
            const Evidence itself = nested ? Evidence::No : overtaken(at, inner, s, true);
            if (itself == Evidence::No) {
                if (by)
                    *by = at;
                return Evidence::Yes;
            }
            if (itself == Evidence::Unknown)
                result = Evidence::Unknown;
        }
    }
    return result;
}

// Whether the candidate at `head` keeps the rhythm of a noisy line: it starts within
// NoiseGap stray bytes of where the last packet, or a candidate in its rhythm, ended. Lost
// when nothing ended within 2 * NoiseGap before it (after a restart, after a long burst).
PacketFramer::Rhythm PacketFramer::rhythm(int head) const
{
    int gap = -1;
    for (int i = 0; i < m_slotCount; ++i) {
        const int g = head - m_slotEnds[std::size_t(i)];
        if (g >= 0 && (gap < 0 || g < gap))
            gap = g;
    }
    if (gap < 0 || gap > 2 * NoiseGap)
        return Rhythm::Lost;
    return gap <= NoiseGap ? Rhythm::In : Rhythm::Out;
}

void PacketFramer::markSlot(int head, int length)
{
    if (m_slotCount == int(m_slotEnds.size())) {
        std::copy(m_slotEnds.begin() + 1, m_slotEnds.end(), m_slotEnds.begin());
        --m_slotCount;
    }
    m_slotEnds[std::size_t(m_slotCount++)] = head + length;
}

// Whether the signal candidate at `at` repeats the last signal packet taken but for a few of
// the bytes its checksum covers: a bench with steady readings sends such packets, and one of
// them that fails its checksum is that packet broken on the way.
bool PacketFramer::repeatsLastPacket(int at) const
{
    if (!m_haveLastSignal || RxBuffer[std::size_t(at)] != SignalKindByte || m_viewEnd - at < SignalPacketLength)
        return false;
    int differ = 0;
    for (int i = 1; i < checksumOffset(PacketKind::Signal); ++i)
        differ += RxBuffer[std::size_t(at + i)] != m_lastSignal[std::size_t(i)] ? 1 : 0;
    return differ <= 4;
}

// Whether to take the sound candidate at `head`, judged on the view of the bytes set by
// nextPacket(): Wait while bytes that could change the answer are still to come.
PacketFramer::Decision PacketFramer::decide(int head, int length)
{
    const bool resistance = RxBuffer[std::size_t(head)] == ResistanceKindByte;
    auto verdict = [](Evidence e) {
        return e == Evidence::Unknown ? Decision::Wait : e == Evidence::Yes ? Decision::Take : Decision::Skip;
    };
    if (head == m_refusedAt)
        return Decision::Skip;
    if (m_inStep && resistance && !takesResistanceFreely() && m_lastWasSignal) {
        // A resistance packet nobody awaits, in step behind a signal packet: a sound packet
        // right behind it vouches for it.
        return verdict(chainFrom(head + length, 0, 1, 0, 0));
    }
    // On a clean line (this packet follows the last one back to back, which followed its
    // own forerunner back to back or had a packet right behind it) it is taken at once. The
    // packet that confirmed one out of step is judged itself: it may be the garbage at the
    // start of the stray bytes.
    if (m_inStep && m_clean)
        return Decision::Take;
    // Out of step on a noisy line, a candidate shifted out of the rhythm is garbage from a
    // kind byte inside a broken packet or among the stray bytes.
    const Rhythm r = m_inStep ? Rhythm::Lost : rhythm(head);
    if (r == Rhythm::Out)
        return Decision::Skip;
    const Support s = support(head, length);
    m_backToBack = s == Support::BackToBack;
    if (s == Support::Unknown)
        return Decision::Wait;
    // Nothing known of the rhythm (after a restart): noise alone does not confirm a signal
    // candidate with a sound resistance packet inside, awaited or not.
    if (r == Rhythm::Lost && !m_inStep && s == Support::AcrossNoise && !resistance) {
        for (int at = head + 1; at < head + length; ++at) {
            if (RxBuffer[std::size_t(at)] != ResistanceKindByte)
                continue;
            if (m_viewEnd - at < ResistancePacketLength) {
                if (!m_viewFinal)
                    return Decision::Wait;
                continue;
            }
            int inner = 0;
            if (fitsAt(at, inner))
                return Decision::Skip;
        }
    }
    if (s == Support::None && (!m_inStep || !resistance))
        return Decision::Skip; // in step, a signal packet with no chain behind it is garbage
    if (!m_inStep && head < m_contestedUntil && s <= m_contestLevel)
        return Decision::Skip;
    // Confirmed only across noise while it overlaps the bench's own packet, broken: garbage
    // from a kind byte a few bytes off that packet's place.
    if (s == Support::AcrossNoise && !resistance) {
        if (head < m_brokenRepeatUntil)
            return Decision::Skip;
        for (int at = head + 1; at < head + length; ++at) {
            if (RxBuffer[std::size_t(at)] != SignalKindByte)
                continue;
            if (m_viewEnd - at < SignalPacketLength) {
                if (!m_viewFinal && m_haveLastSignal)
                    return Decision::Wait;
                continue;
            }
            int inner = 0;
            if (!fitsAt(at, inner) && repeatsLastPacket(at))
                return Decision::Skip;
        }
    }
    if (m_inStep && s == Support::BackToBack)
        return Decision::Take;
    // Two overlapping candidates confirmed alike: neither is taken. In the rhythm, one right
    // in front of a packet is no firmer than one a few stray bytes before it.
    const Support level = m_inStep || r == Rhythm::In ? Support::AcrossNoise : s;
    int by = -1;
    const Evidence e = overtaken(head, length, level, false, &by);
    if (e == Evidence::Yes)
        contest(head, by, r == Rhythm::In ? Support::BackToBack : level);
    if (e == Evidence::Yes && !takesResistanceFreely() && RxBuffer[std::size_t(by)] == ResistanceKindByte
        && by + ResistancePacketLength == head + length)
        m_refusedAt = by; // the lone resistance packet at its end is refused as well
    return e == Evidence::Unknown ? Decision::Wait : e == Evidence::Yes ? Decision::Skip : Decision::Take;
}

// The line ended behind the candidate at `head` before the bytes that would judge it came:
// a bench that stops has sent whole packets, so it is taken unless it is a resistance packet
// nobody awaits out of step, or a packet starting inside it is confirmed.
bool PacketFramer::takenAtTheEnd(int head, int length)
{
    const bool resistance = RxBuffer[std::size_t(head)] == ResistanceKindByte;
    if (resistance && !takesResistanceFreely() && !m_inStep)
        return false;
    m_viewFinal = true;
    return overtaken(head, length, Support::AcrossNoise) != Evidence::Yes;
}

bool PacketFramer::nextPacket(FramedPacket &packet)
{
    m_waiting = false;
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
        const bool resistance = packet.kind == PacketKind::Resistance;
        const bool sound = checksumMatches(packet.kind, start);
        if (sound) {
            // The decision reads no byte beyond LookAhead from the candidate, so however
            // the bytes were cut into reads it comes out the same.
            m_viewFinal = RxCount - m_scan >= LookAhead;
            m_viewEnd = m_viewFinal ? m_scan + LookAhead : RxCount;
            m_backToBack = false;
            Decision d = decide(m_scan, length);
            if (d == Decision::Wait) {
                if (!m_ended) {
                    m_waiting = true;
                    break;
                }
                d = takenAtTheEnd(m_scan, length) ? Decision::Take : Decision::Skip;
            }
            if (d == Decision::Skip) {
                if (rhythm(m_scan) == Rhythm::In)
                    markSlot(m_scan, length);
                m_inStep = false;
                ++m_skipped;
                ++m_scan;
                continue;
            }
            m_clean = m_inStep && (m_clean || m_backToBack);
            if (!resistance) {
                std::copy(start, start + SignalPacketLength, m_lastSignal.begin());
                m_haveLastSignal = true;
            }
            markSlot(m_scan, length);
            m_inStep = true;
            m_lastWasSignal = !resistance;
            packet.check = resistance && ResistancePaused ? PacketCheck::Discarded : PacketCheck::Good;
            packet.bytes = {start, std::size_t(length)};
            m_scan += length;
            return true;
        }

        m_viewEnd = RxCount;
        if (repeatsLastPacket(m_scan))
            m_brokenRepeatUntil = std::max(m_brokenRepeatUntil, m_scan + length);
        if (rhythm(m_scan) == Rhythm::In)
            markSlot(m_scan, length);
        m_inStep = false;
        const bool report = m_scan >= m_quietUntil;
        m_quietUntil = std::max(m_quietUntil, m_scan + length);
        ++m_scan;
        if (!report) {
            ++m_skipped;
            continue;
        }
        // A resistance packet is thrown away unread while paused, sound or not.
        packet.check = resistance && ResistancePaused ? PacketCheck::Discarded : PacketCheck::BadChecksum;
        packet.bytes = {start, std::size_t(length)};
        return true;
    }
    compact();
    return false;
}

// The signal candidate at `head` lost to the one at `by` inside it, both confirmed alike
// (`level`): two signal packets shifted by a few bytes within the stray bytes of a noisy
// line, one of them garbage, and nothing tells which. Neither is taken: candidates starting
// inside the loser need firmer support than `level`. A long candidate that swallows short
// packets is plain garbage and contests nothing.
void PacketFramer::contest(int head, int by, Support level)
{
    if (by < 0 || RxBuffer[std::size_t(head)] != SignalKindByte || RxBuffer[std::size_t(by)] != SignalKindByte)
        return;
    m_contestLevel = head < m_contestedUntil ? std::max(m_contestLevel, level) : level;
    m_contestedUntil = std::max(m_contestedUntil, head + SignalPacketLength);
}

void PacketFramer::restartStream()
{
    m_contestedUntil = 0;
    m_slotCount = 0;
    m_brokenRepeatUntil = 0;
    m_refusedAt = -1;
    RxCount = 0;
    m_scan = 0;
    m_quietUntil = 0;
    m_ended = false;
    m_waiting = false;
    m_inStep = false;
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
    m_contestedUntil = std::max(0, m_contestedUntil - m_scan);
    m_brokenRepeatUntil = std::max(0, m_brokenRepeatUntil - m_scan);
    m_refusedAt = m_refusedAt >= m_scan ? m_refusedAt - m_scan : -1;
    for (int i = 0; i < m_slotCount; ++i)
        m_slotEnds[std::size_t(i)] = std::max(m_slotEnds[std::size_t(i)] - m_scan, -LookAhead);
    m_scan = 0;
}
