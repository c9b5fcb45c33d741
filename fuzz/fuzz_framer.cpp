// Arbitrary bytes in arbitrary chunks through the framer and the receiver: how the bytes are
// cut into reads changes nothing, what waits after a read stays below the framer's look-ahead,
// every packet taken as good carries a good checksum, and the receiver counts what the framer
// hands out.
#include "crc8.h"
#include "fuzzinput.h"
#include "linkreceiver.h"
#include "linktexts.h"
#include "packetframer.h"

#include <QByteArray>

#include <algorithm>
#include <vector>

namespace {

struct Seen {
    PacketKind kind;
    PacketCheck check;
    QByteArray bytes;
    bool operator==(const Seen &) const = default;
};

bool checksumHolds(const Seen &packet)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(packet.bytes.constData());
    if (packet.kind == PacketKind::Signal)
        return packet.bytes.size() == SignalPacketLength && p[0] == SignalKindByte && CRC8(p + 1, 52) == p[53];
    return packet.bytes.size() == ResistancePacketLength && p[0] == ResistanceKindByte && CRC8(p + 1, 5) == p[6];
}

// Feeds `stream` in reads of the sizes `cuts` gives (cycled; none: as one read), draining
// after each, then lets the line fall quiet.
std::vector<Seen> frame(const std::uint8_t *stream, std::size_t size, const std::vector<int> &cuts)
{
    PacketFramer framer;
    std::vector<Seen> seen;
    auto drain = [&] {
        FramedPacket packet;
        while (framer.nextPacket(packet)) {
            Seen s{packet.kind, packet.check,
                   QByteArray(reinterpret_cast<const char *>(packet.bytes.data()), qsizetype(packet.bytes.size()))};
            if (s.check == PacketCheck::Good)
                FUZZ_ASSERT(checksumHolds(s));
            seen.push_back(std::move(s));
        }
    };
    std::size_t at = 0;
    std::size_t cut = 0;
    while (at < size) {
        const int wanted = std::max(1, cuts.empty() ? int(size) : cuts[cut++ % cuts.size()]);
        const auto space = framer.freeSpace();
        FUZZ_ASSERT(int(space.size()) == framer.room());
        const int count = int(std::min<std::size_t>({std::size_t(wanted), space.size(), size - at}));
        std::memcpy(space.data(), stream + at, std::size_t(count));
        FUZZ_ASSERT(framer.commit(count) == count);
        at += std::size_t(count);
        drain();
        // What waits is a packet begun, or one whose judging bytes have not all come.
        FUZZ_ASSERT(framer.rxCount() >= 0 && framer.rxCount() < PacketFramer::LookAhead);
    }
    framer.confirmQuietLine();
    drain();
    FUZZ_ASSERT(!framer.awaitsConfirmation());
    return seen;
}

int receive(const std::uint8_t *stream, std::size_t size, int chunk, int &good)
{
    LinkReceiver receiver([] { return qint64(0); });
    BenchReadings readings{};
    const LinkContext context;
    std::size_t at = 0;
    while (at < size) {
        const int waiting = int(std::min<std::size_t>(std::size_t(chunk), size - at));
        int handedOut = 0;
        const LinkUpdate update = receiver.receive(waiting, [&](std::uint8_t *buffer, int max) {
            const int n = std::min(max, waiting - handedOut);
            std::memcpy(buffer, stream + at + std::size_t(handedOut), std::size_t(std::max(n, 0)));
            handedOut += n;
            return n;
        }, readings, context);
        FUZZ_ASSERT(update.bytesRead >= 0 && update.bytesRead <= waiting);
        FUZZ_ASSERT(!update.counts || *update.counts == receiver.counts());
        const LinkTexts texts = linkTexts(update);
        FUZZ_ASSERT(texts.readouts.has_value() == update.readings.has_value());
        if (update.readings)
            readings = *update.readings;
        at += std::size_t(update.bytesRead);
        if (update.bytesRead == 0)
            break;
    }
    receiver.lineQuiet(readings, context);
    good = receiver.signalPackets() + receiver.resistancePackets();
    return receiver.failedPackets();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    std::vector<int> cuts(std::size_t(input.byte() % 8));
    for (int &c : cuts)
        c = 1 + input.byte() % 96;
    std::size_t streamSize = 0;
    const std::uint8_t *stream = input.rest(streamSize);

    const std::vector<Seen> whole = frame(stream, streamSize, {});
    FUZZ_ASSERT(frame(stream, streamSize, cuts) == whole);
    FUZZ_ASSERT(frame(stream, streamSize, {1}) == whole);

    const auto goodCount = std::count_if(whole.begin(), whole.end(), [](const Seen &s) { return s.check == PacketCheck::Good; });
    const auto failedCount = std::count_if(whole.begin(), whole.end(), [](const Seen &s) { return s.check == PacketCheck::BadChecksum; });
    for (const int chunk : {7, 4096}) {
        int good = 0;
        const int failed = receive(stream, streamSize, chunk, good);
        FUZZ_ASSERT(good == goodCount);
        FUZZ_ASSERT(failed == failedCount);
    }
    return 0;
}
