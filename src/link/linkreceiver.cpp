#include "linkreceiver.h"

#include "resistancedecoder.h"

#include <algorithm>

QString packetVerdictText(PacketKind kind, PacketCheck check)
{
    const bool signal = kind == PacketKind::Signal;
    switch (check) {
    case PacketCheck::Good:
        return signal ? QStringLiteral("CRCV OK") : QStringLiteral("CRCR OK");
    case PacketCheck::BadChecksum:
        return signal ? QStringLiteral("CRCV failed") : QStringLiteral("CRCR failed");
    case PacketCheck::Discarded:
        break;
    }
    return {};
}

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

void LinkReceiver::takePackets(LinkUpdate &update, const BenchReadings &current,
                               const LinkContext &context)
{
    BenchReadings readings = current;
    FramedPacket packet;
    while (m_framer.nextPacket(packet)) {
        update.Label7 = m_interval.mark(m_clock());
        if (packet.check == PacketCheck::Discarded)
            continue;
        update.lbCRC = packetVerdictText(packet.kind, packet.check);
        if (packet.check == PacketCheck::BadChecksum) {
            ++m_failedPackets;
            update.Label8 = QStringLiteral("F %1").arg(m_failedPackets);
            continue;
        }
        update.lastGoodKind = packet.kind;
        if (packet.kind == PacketKind::Signal && context.deferTexts) {
            readings = decodeSignalReadings(packet.signalBytes(), readings, context.scaling,
                                            context.onePhase);
            update.readings = readings;
            update.textSource = SignalTextSource{readings, context.scaling, context.locale};
            if (readings.UabMean != 0)
                update.formFactorSource = update.textSource;
            ++m_signalPackets;
            update.Label2 = QStringLiteral("VA %1").arg(m_signalPackets);
        } else if (packet.kind == PacketKind::Signal) {
            SignalDecoding decoded = DecodeSignalPacket(packet.signalBytes(), readings,
                                                        context.scaling, context.onePhase,
                                                        context.locale);
            readings = decoded.readings;
            update.readings = readings;
            if (update.signalTexts)
                update.signalTexts->takeLater(decoded.texts);
            else
                update.signalTexts = std::move(decoded.texts);
            ++m_signalPackets;
            update.Label2 = QStringLiteral("VA %1").arg(m_signalPackets);
        } else {
            ResistanceDecoding decoded = DecodeResistancePacket(packet.resistanceBytes(),
                                                                context.resistanceRange,
                                                                context.locale);
            update.Resistance = decoded.Resistance;
            update.resistanceText = std::move(decoded.text);
            ++m_resistancePackets;
            update.Label6 = QStringLiteral("R %1").arg(m_resistancePackets);
        }
    }
}

void LinkUpdate::absorb(const LinkUpdate &later)
{
    bytesRead += later.bytesRead;
    auto take = [](auto &mine, const auto &theirs) {
        if (theirs)
            mine = theirs;
    };
    take(Label7, later.Label7);
    take(lbCRC, later.lbCRC);
    take(Label2, later.Label2);
    take(Label6, later.Label6);
    take(Label8, later.Label8);
    take(lastGoodKind, later.lastGoodKind);
    take(readings, later.readings);
    take(Resistance, later.Resistance);
    take(resistanceText, later.resistanceText);
    if (later.signalTexts) {
        if (signalTexts)
            signalTexts->takeLater(*later.signalTexts);
        else
            signalTexts = later.signalTexts;
    }
    take(textSource, later.textSource);
    take(formFactorSource, later.formFactorSource);
}

SignalTexts LinkUpdate::shownTexts() const
{
    if (!textSource)
        return signalTexts.value_or(SignalTexts());
    SignalTexts t = signalTextsOf(textSource->readings, textSource->scaling, textSource->locale);
    if (t.KfColour == FormFactorColour::Unchanged && formFactorSource) {
        const SignalTexts f = signalTextsOf(formFactorSource->readings, formFactorSource->scaling,
                                            formFactorSource->locale);
        t.Kf = f.Kf;
        t.KfColour = f.KfColour;
    }
    return t;
}

void LinkUpdate::dropSignalTexts()
{
    signalTexts.reset();
    textSource.reset();
    formFactorSource.reset();
}
