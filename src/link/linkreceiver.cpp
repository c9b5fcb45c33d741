#include "linkreceiver.h"

#include "resistancedecoder.h"

#include <algorithm>

namespace {

using SignalCopy = std::array<std::uint8_t, SignalPacketLength>;

SignalCopy copyOf(SignalPacketBytes packet)
{
    SignalCopy copy;
    std::copy(packet.begin(), packet.end(), copy.begin());
    return copy;
}

} // namespace

LinkReceiver::LinkReceiver(Clock clock)
    : m_clock(std::move(clock))
{
    m_sinceStart.start();
    if (!m_clock)
        m_clock = [this] { return m_sinceStart.elapsed(); };
}

LinkUpdate LinkReceiver::receive(int count, const Reader &read, const BenchReadings &current,
                                 const LinkContext &context)
{
    LinkUpdate update;
    const std::span<std::uint8_t> space = m_framer.freeSpace();
    const int wanted = std::clamp(count, 0, int(space.size()));
    if (wanted > 0)
        update.bytesRead = m_framer.commit(read(space.data(), wanted));
    takePackets(update, current, context);
    return update;
}

LinkUpdate LinkReceiver::lineQuiet(const BenchReadings &current, const LinkContext &context)
{
    LinkUpdate update;
    if (!m_framer.awaitsConfirmation())
        return update;
    m_framer.confirmQuietLine();
    takePackets(update, current, context);
    return update;
}

// A full line brings dozens of signal packets to one event; the readings after them are
// those of the last, with the frequency of the last that measured one, and the form
// factor shown is that of the last that carried a mean voltage. So only those are
// decoded, which gives what decoding each packet in turn would give.
void LinkReceiver::takePackets(LinkUpdate &update, const BenchReadings &current,
                               const LinkContext &context)
{
    std::optional<SignalCopy> last, lastWithPeriod, lastWithMean;
    FramedPacket packet;
    while (m_framer.nextPacket(packet)) {
        update.intervalMs = m_interval.mark(m_clock());
        if (packet.check == PacketCheck::Discarded)
            continue;
        update.verdict = PacketVerdict{packet.kind, packet.check};
        if (packet.check == PacketCheck::BadChecksum) {
            ++m_counts.failed;
            update.counts = m_counts;
            continue;
        }
        update.lastGoodKind = packet.kind;
        if (packet.kind == PacketKind::Signal) {
            const SignalPacketBytes bytes = packet.signalBytes();
            last = copyOf(bytes);
            if (carriesPeriodCount(bytes))
                lastWithPeriod = last;
            if (carriesMeanVoltage(bytes))
                lastWithMean = last;
            ++m_counts.signal;
        } else {
            ResistanceDecoding decoded = DecodeResistancePacket(packet.resistanceBytes(),
                                                                context.resistanceRange,
                                                                context.locale);
            update.Resistance = decoded.Resistance;
            update.resistanceText = std::move(decoded.text);
            ++m_counts.resistance;
        }
        update.counts = m_counts;
    }
    if (!last)
        return;

    const auto decode = [&](const SignalCopy &bytes, const BenchReadings &previous) {
        return decodeSignalReadings(SignalPacketBytes(bytes), previous, context.scaling, context.onePhase);
    };
    BenchReadings previous = current;
    if (lastWithPeriod && *lastWithPeriod != *last)
        previous.Frequency = decode(*lastWithPeriod, current).Frequency;
    const BenchReadings readings = decode(*last, previous);
    update.readings = readings;
    update.textSource = SignalTextSource{readings, context.scaling, context.locale};
    if (lastWithMean)
        update.formFactorSource = SignalTextSource{lastWithMean == last ? readings : decode(*lastWithMean, current),
                                                   context.scaling, context.locale};
}

void LinkUpdate::absorb(const LinkUpdate &later)
{
    bytesRead += later.bytesRead;
    auto take = [](auto &mine, const auto &theirs) {
        if (theirs)
            mine = theirs;
    };
    take(intervalMs, later.intervalMs);
    take(verdict, later.verdict);
    take(counts, later.counts);
    take(lastGoodKind, later.lastGoodKind);
    take(readings, later.readings);
    take(Resistance, later.Resistance);
    take(resistanceText, later.resistanceText);
    take(textSource, later.textSource);
    take(formFactorSource, later.formFactorSource);
}

void LinkUpdate::dropSignalTexts()
{
    textSource.reset();
    formFactorSource.reset();
}
