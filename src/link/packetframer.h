#pragma once

#include <array>
#include <cstdint>
#include <span>

enum class PacketKind : std::uint8_t {
    Signal,     // first byte 0xBB, 58 bytes
    Resistance, // first byte 0xAA, 7 bytes
};

enum class PacketCheck : std::uint8_t {
    Good,
    BadChecksum,
    // A resistance packet that arrived while resistance packets are paused: thrown
    // away unread, its checksum never looked at.
    Discarded,
};

inline constexpr std::uint8_t SignalKindByte = 0xBB;
inline constexpr std::uint8_t ResistanceKindByte = 0xAA;
inline constexpr int SignalPacketLength = 58;
inline constexpr int ResistancePacketLength = 7;

// Where a packet's checksum byte stands. It covers the bytes between the kind byte and
// itself; a signal packet carries four more bytes behind it.
constexpr int checksumOffset(PacketKind kind)
{
    return kind == PacketKind::Signal ? 53 : 6;
}

using SignalPacketBytes = std::span<const std::uint8_t, SignalPacketLength>;
using ResistancePacketBytes = std::span<const std::uint8_t, ResistancePacketLength>;

// One complete packet found among the collected bytes. `bytes` points into the
// framer's buffer and stays valid until the next call of the framer.
struct FramedPacket {
    PacketKind kind = PacketKind::Signal;
    PacketCheck check = PacketCheck::Good;
    std::span<const std::uint8_t> bytes;

    SignalPacketBytes signalBytes() const { return bytes.first<SignalPacketLength>(); }
    ResistancePacketBytes resistanceBytes() const { return bytes.first<ResistancePacketLength>(); }
};

// Collects the received bytes and cuts them into packets by kind byte and fixed length.
//
// Every complete packet is handed out in arrival order and whatever follows it is kept
// for the next one, so a read that ends inside a packet loses nothing.
//
// Resynchronisation. The line has no marker but the kind byte, and the checksum has
// only 8 bits, so one candidate in 256 taken from garbage passes it. In step (every
// packet so far sound and back to back) a sound packet is taken at once and a failed
// one is reported. Out of step - after restartStream() (the window restarts it for every
// opening of the port and every drain), after bytes that cannot start a packet, after a
// failed candidate - the search resumes at the byte after the failed candidate's first
// byte, so that a real packet hidden inside it is found, and a sound candidate is taken
// only when the stream confirms it: the next packet follows it byte for byte and is sound
// too, and the candidate does not look like the tail of an interrupted packet (see
// endsLikeGarbage()). A sound candidate that ends exactly where the received bytes end
// waits; should the line stay quiet behind it, confirmQuietLine() takes it, since a bench
// that stops has sent whole packets, while garbage is followed by the stream.
//
// Only one failed candidate is reported per stretch of bytes it covered: the candidates
// that start inside it are looked at silently, so a stray kind byte still shows one
// failure and not one per kind byte that follows it.
//
// Usage per received-data event: read at most freeSpace().size() bytes into freeSpace(),
// commit() them, then call nextPacket() until it returns false. Nothing is allocated.
class PacketFramer {
public:
    static constexpr int BufferSize = 65536;

    // Where the next received bytes go; its size is all the room there is.
    std::span<std::uint8_t> freeSpace();
    int room() const { return BufferSize - rxCount(); }
    // Accepts `count` bytes written to freeSpace(); anything beyond it is refused.
    // Returns the count accepted.
    int commit(int count);

    // The next complete packet, or false when the collected bytes hold none (an
    // incomplete packet then waits at the front of the buffer for more bytes).
    bool nextPacket(FramedPacket &packet);

    // The bytes received from now on do not continue those held: everything held is
    // dropped and the next packet must be confirmed by the stream.
    void restartStream();
    // True while a sound candidate waits, out of step, for a follower to confirm it.
    bool awaitsConfirmation() const { return m_waitingAt >= 0; }
    // The line fell quiet behind the waiting candidate: take it as a packet.
    void confirmQuietLine();
    // False from a restart, garbage or a failed candidate until a packet is confirmed.
    bool inStep() const { return m_inStep; }

    // Collected bytes not yet handed out as packets or skipped.
    int rxCount() const { return RxCount - m_scan; }
    const std::uint8_t *collected() const { return RxBuffer.data() + m_scan; }

    // While set, complete resistance packets come out as PacketCheck::Discarded.
    bool resistancePaused() const { return ResistancePaused; }
    void setResistancePaused(bool paused) { ResistancePaused = paused; }

    // Diagnostics: bytes skipped because they could not start a packet.
    std::uint64_t skippedBytes() const { return m_skipped; }

private:
    void compact();
    bool fitsAt(int offset, int &length) const;
    bool endsLikeGarbage(int head, int length, int follower) const;


    std::array<std::uint8_t, BufferSize> RxBuffer{};
    int RxCount = 0;
    bool ResistancePaused = false;
    int m_scan = 0; // first byte of RxBuffer not yet handed out
    std::uint64_t m_skipped = 0;
    bool m_inStep = true; // nothing received yet, nothing lost
    int m_quietUntil = 0;  // failed candidates starting before this were already reported
    int m_waitingAt = -1;  // offset of a sound candidate awaiting its follower
};
