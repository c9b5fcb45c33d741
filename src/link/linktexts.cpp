#include "linktexts.h"

#include "packetinterval.h"

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

LinkTexts linkTexts(const LinkUpdate &u)
{
    LinkTexts t;
    if (u.intervalMs)
        t.interval = packetIntervalText(*u.intervalMs);
    if (u.verdict)
        t.verdict = packetVerdictText(u.verdict->kind, u.verdict->check);
    if (u.counts) {
        t.signalCount = QStringLiteral("VA %1").arg(u.counts->signal);
        t.resistanceCount = QStringLiteral("R %1").arg(u.counts->resistance);
        t.failedCount = QStringLiteral("F %1").arg(u.counts->failed);
    }
    if (u.textSource) {
        SignalTexts s = signalTextsOf(u.textSource->readings, u.textSource->scaling, u.textSource->locale);
        // A packet that could not compute a form factor leaves the last one that could.
        if (s.KfColour == FormFactorColour::Unchanged && u.formFactorSource) {
            const SignalTexts f = signalTextsOf(u.formFactorSource->readings, u.formFactorSource->scaling,
                                                u.formFactorSource->locale);
            s.Kf = f.Kf;
            s.KfColour = f.KfColour;
        }
        t.readouts = std::move(s);
    }
    return t;
}
