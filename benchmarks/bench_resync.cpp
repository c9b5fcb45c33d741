// How the framer keeps good packets and keeps garbage out, stream by stream:
//
//   clean        whole packets back to back, read in pieces of any size;
//   restart      each read begins in the middle of a packet (the port opened into a running
//                stream, the input drained after a command), then whole packets, and the
//                stream goes on behind them; signal, resistance and mixed streams;
//   noise        1-16 random bytes after every signal packet, with and without every third
//                checksum broken, read as the bench's bursts come at the line rate (one or
//                two packets a read) and at thirty times it (52 packets a read);
//   random       nothing but random bytes, in reads of 4096.
//
// Payloads are random, which is harder than a bench's steady values. A resistance packet
// counts as expected while a measurement runs (the resistance and mixed streams), except in
// the rows that say no measurement runs. Prints one line per stream:
//   stream <name>: packets <sound packets sent> lost <n> false <n> bytes <n>
//
//   bench_resync [scale]     (default 1: 1 000 000 restarts per restart stream, 5 000 000
//                            packets per noise stream, 1000 MB of random bytes; long
//                            enough that the false packets of two rules can be told apart)

#include "crc8.h"
#include "packetframer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomPacket(std::mt19937_64 &rng, bool signal, bool broken = false)
{
    const int length = signal ? SignalPacketLength : ResistancePacketLength;
    Bytes p(static_cast<std::size_t>(length));
    for (auto &b : p)
        b = std::uint8_t(rng());
    p[0] = signal ? SignalKindByte : ResistanceKindByte;
    const int at = checksumOffset(signal ? PacketKind::Signal : PacketKind::Resistance);
    p[std::size_t(at)] = CRC8(p.data() + 1, std::uint8_t(at - 1));
    if (broken)
        p[std::size_t(at)] ^= 0x5A;
    return p;
}

struct Tally {
    long packets = 0; // sound packets sent that count
    long lost = 0;
    long falseTaken = 0;
    long long bytes = 0;
};

// Feeds one read and matches what comes out against the sound packets sent, in order.
class Matcher {
public:
    Matcher(PacketFramer &framer, Tally &tally) : m_framer(framer), m_tally(tally) {}

    void expect(const Bytes &packet, bool counts)
    {
        m_sent.push_back(packet);
        m_counts.push_back(counts);
        m_seen.push_back(false);
    }

    void read(const std::uint8_t *data, std::size_t size)
    {
        m_tally.bytes += (long long)size;
        while (size > 0) {
            const std::span<std::uint8_t> space = m_framer.freeSpace();
            const std::size_t n = std::min(size, space.size());
            std::memcpy(space.data(), data, n);
            m_framer.commit(int(n));
            data += n;
            size -= n;
            take();
        }
    }

    // The line falls quiet: what waits for the bytes behind it is judged as at the end.
    void quiet()
    {
        m_framer.confirmQuietLine();
        take();
    }

    // Settles the stream: whatever counted and was not seen is lost.
    void settle()
    {
        for (std::size_t i = 0; i < m_sent.size(); ++i) {
            if (m_counts[i]) {
                ++m_tally.packets;
                m_tally.lost += m_seen[i] ? 0 : 1;
            }
        }
        m_sent.clear();
        m_counts.clear();
        m_seen.clear();
        m_next = 0;
    }

    // Drops the packets already settled, keeping the unmatched tail for later reads.
    void trim()
    {
        const std::size_t keep = 8;
        if (m_next <= keep)
            return;
        const std::size_t drop = m_next - keep;
        for (std::size_t i = 0; i < drop; ++i) {
            if (m_counts[i]) {
                ++m_tally.packets;
                m_tally.lost += m_seen[i] ? 0 : 1;
            }
        }
        m_sent.erase(m_sent.begin(), m_sent.begin() + long(drop));
        m_counts.erase(m_counts.begin(), m_counts.begin() + long(drop));
        m_seen.erase(m_seen.begin(), m_seen.begin() + long(drop));
        m_next -= drop;
    }

private:
    void take()
    {
        FramedPacket packet;
        while (m_framer.nextPacket(packet)) {
            if (packet.check != PacketCheck::Good)
                continue;
            bool matched = false;
            for (std::size_t j = m_next; j < m_sent.size() && j < m_next + 64; ++j) {
                if (m_sent[j].size() == packet.bytes.size()
                    && std::memcmp(m_sent[j].data(), packet.bytes.data(), packet.bytes.size()) == 0) {
                    m_seen[j] = true;
                    m_next = j + 1;
                    matched = true;
                    break;
                }
            }
            if (!matched)
                ++m_tally.falseTaken;
        }
    }

    PacketFramer &m_framer;
    Tally &m_tally;
    std::vector<Bytes> m_sent;
    std::vector<bool> m_counts;
    std::vector<bool> m_seen;
    std::size_t m_next = 0;
};

void print(const char *name, const Tally &t)
{
    std::printf("stream %s: packets %ld lost %ld false %ld bytes %lld\n", name, t.packets, t.lost,
                t.falseTaken, t.bytes);
}

enum class Mix { Signal, Resistance, Mixed };

bool pick(std::mt19937_64 &rng, Mix mix)
{
    return mix == Mix::Signal || (mix == Mix::Mixed && (rng() & 1));
}

// Whole packets back to back, read in pieces of 1 to 4096 bytes.
Tally clean(std::mt19937_64 &rng, Mix mix, long packets)
{
    Tally t;
    auto framer = std::make_unique<PacketFramer>();
    framer->setResistanceExpected(mix != Mix::Signal);
    Matcher m(*framer, t);
    Bytes pending;
    for (long i = 0; i < packets; ++i) {
        const Bytes p = randomPacket(rng, pick(rng, mix));
        m.expect(p, true);
        pending.insert(pending.end(), p.begin(), p.end());
        const std::size_t piece = 1 + rng() % 4096;
        if (pending.size() >= piece) {
            m.read(pending.data(), piece);
            pending.erase(pending.begin(), pending.begin() + long(piece));
            m.trim();
        }
    }
    m.read(pending.data(), pending.size());
    m.quiet();
    m.settle();
    return t;
}

// Each read begins inside a packet; four whole packets behind it count, and the stream goes
// on long enough behind them for every candidate to be settled.
Tally restarts(std::mt19937_64 &rng, Mix mix, bool expected, long reads)
{
    constexpr int WholePackets = 4;
    constexpr std::size_t StreamGoesOn = PacketFramer::LookAhead;
    Tally t;
    auto framer = std::make_unique<PacketFramer>();
    framer->setResistanceExpected(expected);
    Matcher m(*framer, t);
    Bytes stream;
    for (long r = 0; r < reads; ++r) {
        stream.clear();
        const Bytes cut = randomPacket(rng, pick(rng, mix));
        const std::size_t from = 1 + std::size_t(rng() % (cut.size() - 1));
        stream.insert(stream.end(), cut.begin() + long(from), cut.end());
        std::size_t countedEnd = 0;
        for (int i = 0; i < WholePackets || stream.size() < countedEnd + StreamGoesOn; ++i) {
            const Bytes p = randomPacket(rng, pick(rng, mix));
            m.expect(p, i < WholePackets);
            stream.insert(stream.end(), p.begin(), p.end());
            if (i == WholePackets - 1)
                countedEnd = stream.size();
        }
        framer->restartStream();
        m.read(stream.data(), stream.size());
        m.settle();
    }
    return t;
}

// Signal packets, each followed by 1-16 random bytes; every third checksum broken if asked.
// The bench sends what falls due in one burst: `perRead` packets (0: one or two in turn,
// as 1724 packets a second come in millisecond bursts).
Tally noise(std::mt19937_64 &rng, bool brokenChecksums, int perRead, long packets)
{
    Tally t;
    auto framer = std::make_unique<PacketFramer>();
    Matcher m(*framer, t);
    Bytes burst;
    long serial = 0;
    while (serial < packets) {
        burst.clear();
        const int n = perRead > 0 ? perRead : 1 + int(serial % 2);
        for (int i = 0; i < n && serial < packets; ++i) {
            ++serial;
            const bool broken = brokenChecksums && serial % 3 == 0;
            const Bytes p = randomPacket(rng, true, broken);
            if (!broken)
                m.expect(p, true);
            burst.insert(burst.end(), p.begin(), p.end());
            const int stray = 1 + int(rng() % 16);
            for (int k = 0; k < stray; ++k)
                burst.push_back(std::uint8_t(rng()));
        }
        for (std::size_t at = 0; at < burst.size(); at += 4096)
            m.read(burst.data() + at, std::min<std::size_t>(4096, burst.size() - at));
        m.trim();
    }
    // The bench goes on: clean packets settle the last noisy ones.
    for (int i = 0; i < 8; ++i) {
        const Bytes p = randomPacket(rng, true);
        m.expect(p, false);
        m.read(p.data(), p.size());
    }
    m.quiet();
    m.settle();
    return t;
}

Tally randomBytes(std::mt19937_64 &rng, bool expected, long long megabytes)
{
    Tally t;
    auto framer = std::make_unique<PacketFramer>();
    framer->setResistanceExpected(expected);
    Matcher m(*framer, t);
    std::vector<std::uint8_t> read(4096);
    const long long reads = megabytes * (1 << 20) / 4096;
    for (long long r = 0; r < reads; ++r) {
        for (std::size_t i = 0; i < read.size(); i += 8) {
            const std::uint64_t v = rng();
            std::memcpy(read.data() + i, &v, 8);
        }
        m.read(read.data(), read.size());
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    auto n = [scale](double v) { return long(v * scale); };
    // Each stream draws from its own generator, so that a change to one leaves the others'
    // bytes as they were.
    std::uint64_t seed = 20261210;
    auto rng = [&seed] { return std::mt19937_64(seed++); };
    auto run = [](const char *name, std::mt19937_64 r, auto stream) { print(name, stream(r)); };

    run("clean signal", rng(), [&](std::mt19937_64 &r) { return clean(r, Mix::Signal, n(1000000)); });
    run("clean mixed", rng(), [&](std::mt19937_64 &r) { return clean(r, Mix::Mixed, n(1000000)); });
    run("restart signal", rng(), [&](std::mt19937_64 &r) { return restarts(r, Mix::Signal, false, n(1000000)); });
    run("restart resistance", rng(), [&](std::mt19937_64 &r) { return restarts(r, Mix::Resistance, true, n(1000000)); });
    run("restart mixed", rng(), [&](std::mt19937_64 &r) { return restarts(r, Mix::Mixed, true, n(1000000)); });
    run("restart resistance, no measurement running", rng(),
        [&](std::mt19937_64 &r) { return restarts(r, Mix::Resistance, false, n(1000000)); });
    run("restart mixed, no measurement running", rng(),
        [&](std::mt19937_64 &r) { return restarts(r, Mix::Mixed, false, n(1000000)); });
    run("noise 1x", rng(), [&](std::mt19937_64 &r) { return noise(r, false, 0, n(5000000)); });
    run("noise 1x, every third checksum broken", rng(), [&](std::mt19937_64 &r) { return noise(r, true, 0, n(5000000)); });
    run("noise 30x", rng(), [&](std::mt19937_64 &r) { return noise(r, false, 52, n(5000000)); });
    run("noise 30x, every third checksum broken", rng(), [&](std::mt19937_64 &r) { return noise(r, true, 52, n(5000000)); });
    run("random bytes", rng(), [&](std::mt19937_64 &r) { return randomBytes(r, false, n(1000)); });
    run("random bytes, measurement running", rng(), [&](std::mt19937_64 &r) { return randomBytes(r, true, n(1000)); });
    return 0;
}
