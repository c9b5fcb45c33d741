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
// Taking a packet. The line has no marker but the kind byte and the checksum has only 8
// bits, so one candidate in 256 taken from garbage passes it; what else the stream tells
// decides. A failed candidate is reported and costs the step. On a clean line (in step:
// the candidate starts exactly where the last packet taken ended, and that one followed its
// forerunner back to back or had a packet right behind it) a sound packet is taken at once.
// Otherwise - after restartStream() (every opening of the port and every drain), after
// stray bytes, after a failed candidate - the search resumes at the byte after the failed
// candidate's first byte, so that a real packet hidden inside it is found, and a sound
// candidate is taken when the stream behind it confirms it:
//   - back to back: a sound packet of its own kind right behind it, or two sound packets
//     of any kind one right behind the other (one failed candidate may sit among them);
//   - across noise (signal packets only): two sound packets, each within NoiseGap stray
//     bytes of the one before, as a noisy line puts behind every packet;
//   - or the line ends behind it (confirmQuietLine()): a bench that stops has sent whole
//     packets.
// On a noisy line the stream has a rhythm: every packet starts within NoiseGap stray bytes
// of where the last packet (or a failed candidate in that place, a broken packet) ended.
// Out of step, a candidate that starts more than NoiseGap but at most 2 * NoiseGap bytes
// behind the nearest such end is out of the rhythm and not taken, however it is confirmed:
// it is garbage from a kind byte inside a broken packet. Further behind (after a restart, a
// long burst) nothing is known of the rhythm.
// A bench with steady readings sends the same packet again and again: a failed candidate
// that repeats the last signal packet taken but for a few bytes is the bench's packet broken
// on the way, and a signal candidate overlapping it that only noise confirms is not taken.
// A candidate overlapped by a later one that is confirmed as firmly is not taken (the
// garbage in front of real packets overlaps them; a long candidate swallowing short
// packets loses to them, but while a measurement runs not to a lone short one that ends
// where it ends: a kind byte near a packet's end makes one far more often than garbage ends
// at a packet's end with just that packet inside); of two signal candidates a few bytes
// apart, confirmed alike, neither is taken. In step a signal packet with no chain of packets behind it is garbage
// that began where the stray bytes of a noisy line begin.
// A resistance packet is taken like that only while a measurement awaits one
// (setResistanceExpected()). With none running it needs two sound resistance packets
// right behind it, or a sound packet right behind it when it follows one in step, and a
// quiet line takes it only in step: a lone resistance packet with no measurement running
// is garbage that would land in the resistance table.
//
// The decision reads no byte beyond LookAhead from the candidate's first byte, and it is
// made only when all those bytes are here or the line has ended: so the packets taken are a
// function of the bytes alone, however they were cut into reads, and a quiet line gives what
// the end of the stream would. The cost is latency off a clean line: a packet waits for the
// bytes behind it (a few packets at the line rate) or for the quiet line.
//
// What that costs. A kind byte of garbage makes a candidate that passes its checksum with
// chance 1/256. Random bytes then confirm a signal candidate back to back with 1/65536 (a
// signal packet behind it; two packets of any kind add 1e-9), across noise with about
// (17 * 2/65536)^2 = 2.7e-7: 2.4e-10 false signal packets per random byte, 0.025 per
// 100 MB. A resistance candidate needs another (1/65536)^2 with no measurement running,
// 1/65536 (0.024 per 100 MB) with one running.
// After a restart into whole packets a false signal candidate overlaps the real packets,
// which win; a false resistance candidate can end exactly where the first whole packet
// begins only inside a signal packet's tail: at most 1/65536 per restart (bench_resync: 4
// in a million restarts into mixed packets while a measurement runs, 2 with none).
// On a noisy line a false candidate comes from a kind byte a few bytes off the place of a
// broken packet - inside it, or among the stray bytes in front of it - that passes its
// checksum and ends short of the next packet: about 17/65536 per broken packet, of which
// the rhythm keeps out about a fifth; a few more per million packets come from a kind byte
// right behind a packet. bench_resync counts them.
//
// Only one failed candidate is reported per stretch of bytes it covered: the candidates
// that start inside it are looked at silently, so a stray kind byte still shows one
// failure and not one per kind byte that follows it.
//
// Usage per received-data event: read at most freeSpace().size() bytes into freeSpace(),
// commit() them, then call nextPacket() until it returns false. Nothing is allocated.
class PacketFramer {
public:
    // What the bytes held say about a question: yes, no, or not until more bytes come.
    enum class Evidence : std::uint8_t { Yes, No, Unknown };
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
    // True while a sound candidate waits for the bytes that judge it (up to LookAhead from
    // its start).
    bool awaitsConfirmation() const { return m_waiting; }
    // The line fell quiet: the bytes held are judged as if the stream ended behind them
    // (see nextPacket()); bytes received later begin anew.
    void confirmQuietLine() { m_ended = true; }
    // Stray bytes a noisy line may put between two signal packets that still confirm each
    // other.
    static constexpr int NoiseGap = 16;
    // How far behind a candidate's first byte the bytes that decide it reach. Less than
    // this waits in the buffer after nextPacket() has returned false.
    static constexpr int LookAhead = 4 * SignalPacketLength + 3 * NoiseGap;
    // False from a restart, garbage or a failed candidate until a packet is confirmed.
    bool inStep() const { return m_inStep; }

    // Collected bytes not yet handed out as packets or skipped.
    int rxCount() const { return RxCount - m_scan; }
    const std::uint8_t *collected() const { return RxBuffer.data() + m_scan; }

    // While set, complete resistance packets come out as PacketCheck::Discarded.
    bool resistancePaused() const { return ResistancePaused; }
    void setResistancePaused(bool paused) { ResistancePaused = paused; }
    // Whether a resistance measurement runs, so that its packets are awaited.
    bool resistanceExpected() const { return m_resistanceExpected; }
    void setResistanceExpected(bool expected) { m_resistanceExpected = expected; }

    // Diagnostics: bytes skipped because they could not start a packet.
    std::uint64_t skippedBytes() const { return m_skipped; }

private:
    void compact();
    bool fitsAt(int offset, int &length) const;
    bool takesResistanceFreely() const;
    Evidence chainFrom(int end, int reach, int sound, int broken, std::uint8_t onlyKind) const;
    // Ordered: firmer support compares greater.
    enum class Support : std::uint8_t { Unknown, None, AcrossNoise, BackToBack };
    Support support(int head, int length) const;
    Evidence overtaken(int head, int length, Support level, bool nested = false, int *by = nullptr) const;
    void contest(int head, int by, Support level);
    enum class Rhythm : std::uint8_t { In, Out, Lost };
    Rhythm rhythm(int head) const;
    void markSlot(int head, int length);
    bool repeatsLastPacket(int at) const;
    Evidence resistanceBehind(int end) const;
    enum class Decision : std::uint8_t { Take, Skip, Wait };
    Decision decide(int head, int length);
    bool takenAtTheEnd(int head, int length);


    std::array<std::uint8_t, BufferSize> RxBuffer{};
    int RxCount = 0;
    bool ResistancePaused = false;
    int m_scan = 0; // first byte of RxBuffer not yet handed out
    std::uint64_t m_skipped = 0;
    bool m_inStep = true; // nothing received yet, nothing lost
    int m_quietUntil = 0;  // failed candidates starting before this were already reported
    bool m_ended = false;  // the line fell quiet behind the bytes held
    bool m_waiting = false; // the candidate at m_scan waits for bytes
    bool m_clean = true;   // the packets taken last came back to back
    bool m_backToBack = false; // the candidate judged last is confirmed back to back
    int m_viewEnd = 0;     // the bytes the candidate being judged may read end here ...
    bool m_viewFinal = false; // ... and none beyond will count
    int m_contestedUntil = 0; // candidates starting before it were contested
    // Where the last packets and the candidates in their rhythm ended, newest last.
    std::array<int, 8> m_slotEnds{};
    std::array<std::uint8_t, SignalPacketLength> m_lastSignal{}; // the last signal packet taken
    bool m_haveLastSignal = false;
    int m_brokenRepeatUntil = 0; // a failed repeat of it ended here
    int m_refusedAt = -1; // a resistance candidate refused with the packet it ended
    int m_slotCount = 0;
    Support m_contestLevel = Support::None; // ... and need firmer support than this
    bool m_resistanceExpected = false;
    bool m_lastWasSignal = false; // kind of the last packet taken
};
