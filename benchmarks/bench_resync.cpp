// How the framer finds its step again when a read begins in the middle of a packet, as
// every opening of the port into a running stream and every drain after a pause does.
// Each read is the tail of a packet with a random payload, then whole packets; the
// stream is signal packets, resistance packets or both mixed, and goes on behind them. Prints the reads, the
// whole packets that never came out as good, and the good packets that were none of them.
//
//   bench_resync [reads]     (default 1 000 000)

#include "crc8.h"
#include "packetframer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int WholePackets = 4; // counted
// Then the stream goes on for at least this many bytes, so that a candidate that is still
// waiting for its bytes at the end of a read is settled, not counted as lost.
constexpr std::size_t StreamGoesOn = 2 * SignalPacketLength;

Bytes randomPacket(std::mt19937_64 &rng, bool signal)
{
    const int length = signal ? SignalPacketLength : ResistancePacketLength;
    Bytes p(static_cast<std::size_t>(length));
    for (auto &b : p)
        b = std::uint8_t(rng());
    p[0] = signal ? SignalKindByte : ResistanceKindByte;
    if (signal)
        p[53] = CRC8(p.data() + 1, 52);
    else
        p[6] = CRC8(p.data() + 1, 5);
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    const long reads = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::mt19937_64 rng(20261210);
    auto framer = std::make_unique<PacketFramer>();
    long lost = 0;
    long falseTaken = 0;
    long lostBy[3] = {};
    long falseBy[3] = {};
    long wholeSent = 0;
    std::vector<Bytes> packets;
    Bytes stream;

    for (long r = 0; r < reads; ++r) {
        const int mix = int(r % 3); // 0 signal, 1 resistance, 2 both
        auto pickSignal = [&] { return mix == 0 || (mix == 2 && (rng() & 1)); };
        packets.clear();
        stream.clear();
        const Bytes cut = randomPacket(rng, pickSignal());
        const std::size_t from = 1 + std::size_t(rng() % (cut.size() - 1));
        stream.insert(stream.end(), cut.begin() + long(from), cut.end());
        std::size_t countedEnd = 0;
        for (int i = 0; i < WholePackets || stream.size() < countedEnd + StreamGoesOn; ++i) {
            packets.push_back(randomPacket(rng, pickSignal()));
            stream.insert(stream.end(), packets.back().begin(), packets.back().end());
            if (i == WholePackets - 1)
                countedEnd = stream.size();
        }

        framer->restartStream();
        const std::span<std::uint8_t> space = framer->freeSpace();
        std::memcpy(space.data(), stream.data(), stream.size());
        framer->commit(int(stream.size()));

        std::vector<bool> seen(packets.size(), false);
        std::size_t next = 0;
        FramedPacket packet;
        while (framer->nextPacket(packet)) {
            if (packet.check != PacketCheck::Good)
                continue;
            bool matched = false;
            for (std::size_t j = next; j < packets.size(); ++j) {
                if (packets[j].size() == packet.bytes.size()
                    && std::memcmp(packets[j].data(), packet.bytes.data(), packet.bytes.size()) == 0) {
                    seen[j] = true;
                    next = j + 1;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                ++falseTaken;
                ++falseBy[mix];
            }
        }
        for (int i = 0; i < WholePackets; ++i) {
            lost += seen[std::size_t(i)] ? 0 : 1;
            lostBy[mix] += seen[std::size_t(i)] ? 0 : 1;
        }
        wholeSent += WholePackets;
    }

    std::printf("reads %ld\n", reads);
    std::printf("whole packets %ld\n", wholeSent);
    std::printf("good packets lost %ld\n", lost);
    std::printf("false packets taken %ld\n", falseTaken);
    const char *names[3] = {"signal stream", "resistance stream", "mixed stream"};
    for (int m = 0; m < 3; ++m)
        std::printf("%s: good packets lost %ld, false packets taken %ld\n", names[m], lostBy[m],
                    falseBy[m]);
    return 0;
}
