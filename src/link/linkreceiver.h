#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "packetframer.h"
#include "packetinterval.h"
#include "signaldecoder.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

// What the decoders need to know of the window at the moment bytes arrive.
struct LinkContext {
    InstrumentScaling scaling;
    bool onePhase = false;   // "Одна" selected in `FasNumber`
    int resistanceRange = 0; // item index of `ResistenceRange1`
    QLocale locale;          // regional format of the power labels and resistance cells
    // Leave the readout texts to be made when they are shown (LinkUpdate::shownTexts()):
    // at full line rate most packets are never shown.
    bool deferTexts = false;
};

// What the readout texts of a decoded signal packet are made from.
struct SignalTextSource {
    BenchReadings readings;
    InstrumentScaling scaling;
    QLocale locale;
};

// What one received-data event changes on the main window. An empty optional means:
// leave that control as it is. Each packet is counted and decoded; the texts are those
// the screen would show after the last of them, so the window writes them once.
struct LinkUpdate {
    int bytesRead = 0;
    std::optional<QString> Label7; // interval before the last complete packet
    std::optional<QString> lbCRC;  // verdict of the last checked packet
    std::optional<QString> Label2; // "VA n"
    std::optional<QString> Label6; // "R n"
    std::optional<QString> Label8; // "F n"
    // Kind of the last good packet: its counter turns green (0, 128, 0), the other red.
    std::optional<PacketKind> lastGoodKind;

    // After at least one good signal packet: the new `BenchReadings`, the readout texts;
    // the test controls become available and the status bar reads "COM" n " открыт".
    std::optional<BenchReadings> readings;
    std::optional<SignalTexts> signalTexts;
    // With deferred texts: the last good signal packet, and the last one that carried a
    // form factor (a later packet without one leaves `Kf` as it was).
    std::optional<SignalTextSource> textSource;
    std::optional<SignalTextSource> formFactorSource;

    // After at least one good resistance packet: the new `Resistance` and the text for
    // the selected cell of `ResistenceGrid`.
    std::optional<long double> Resistance;
    std::optional<QString> resistanceText;

    // Folds a later update into this one, as if both had come in one event: what the
    // later one sets wins, the rest stays.
    void absorb(const LinkUpdate &later);
    // Whether there are readout texts to show, and what they are, made or deferred.
    bool hasSignalTexts() const { return signalTexts || textSource; }
    SignalTexts shownTexts() const;
    void dropSignalTexts();
};

// "CRCV OK", "CRCV failed", "CRCR OK" or "CRCR failed"; empty for a discarded packet.
QString packetVerdictText(PacketKind kind, PacketCheck check);

// The receive side of the bench link: framer, packet interval, packet counters and the
// two decoders, with no window behind it.
class LinkReceiver {
public:
    using Clock = std::function<qint64()>;                           // monotonic ms
    using Reader = std::function<int(std::uint8_t *buffer, int maxCount)>; // bytes read

    // Without a clock the interval is measured from the receiver's creation.
    explicit LinkReceiver(Clock clock = {});
    LinkReceiver(const LinkReceiver &) = delete;
    LinkReceiver &operator=(const LinkReceiver &) = delete;

    // One received-data event with `count` bytes waiting: reads at most as many as the
    // framer has room for through `read` (the rest waits for the next event), then
    // handles every complete packet. `current` is the window's `BenchReadings`.
    LinkUpdate receive(int count, const Reader &read, const BenchReadings &current,
                       const LinkContext &context);

    // The bytes received from now on do not continue those before (the port was opened,
    // the input drained): what the framer holds is dropped and it looks for its step.
    void restartStream() { m_framer.restartStream(); }
    // A packet waits, out of step, for the stream to confirm it; if the line stays quiet
    // behind it, lineQuiet() takes it.
    bool awaitsQuietLine() const { return m_framer.awaitsConfirmation(); }
    LinkUpdate lineQuiet(const BenchReadings &current, const LinkContext &context);

    bool resistancePaused() const { return m_framer.resistancePaused(); }
    void setResistancePaused(bool paused) { m_framer.setResistancePaused(paused); }
    // A resistance measurement runs: its packets are awaited (see PacketFramer).
    void setResistanceExpected(bool expected) { m_framer.setResistanceExpected(expected); }

    int signalPackets() const { return m_signalPackets; }
    int resistancePackets() const { return m_resistancePackets; }
    int failedPackets() const { return m_failedPackets; }
    const PacketFramer &framer() const { return m_framer; }

private:
    void takePackets(LinkUpdate &update, const BenchReadings &current, const LinkContext &context);

    PacketFramer m_framer;
    PacketIntervalClock m_interval;
    Clock m_clock;
    QElapsedTimer m_sinceStart;
    int m_signalPackets = 0;
    int m_resistancePackets = 0;
    int m_failedPackets = 0;
};
