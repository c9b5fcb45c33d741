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
// for the next one, so a read that ends inside a packet loses nothing. Bytes that cannot
// start a packet are skipped only up to the next kind byte, and a packet that fails its
// checksum takes only its own bytes with it.
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

    std::array<std::uint8_t, BufferSize> RxBuffer{};
    int RxCount = 0;
    bool ResistancePaused = false;
    int m_scan = 0; // first byte of RxBuffer not yet handed out
    std::uint64_t m_skipped = 0;
};
