#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "packetframer.h"
#include "packetinterval.h"
#include "signaldecoder.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QString>

#include <array>
#include <functional>
#include <optional>

// What the decoders need to know of the window at the moment bytes arrive.
struct LinkContext {
    InstrumentScaling scaling;
    bool onePhase = false;   // "Одна" selected in `FasNumber`
    int resistanceRange = 0; // item index of `ResistenceRange1`
    QLocale locale;          // regional format of the power labels and resistance cells
};

// What the readout texts of a decoded signal packet are made from.
struct SignalTextSource {
    BenchReadings readings;
    InstrumentScaling scaling;
    QLocale locale;
};

// How many packets the receiver has taken since it was made.
struct PacketCounts {
    int signal = 0;     // good signal packets
    int resistance = 0; // good resistance packets
    int failed = 0;     // packets whose checksum failed
    friend bool operator==(const PacketCounts &, const PacketCounts &) = default;
};

// The verdict on a checked packet: its kind and whether its checksum held.
struct PacketVerdict {
    PacketKind kind = PacketKind::Signal;
    PacketCheck check = PacketCheck::Good;
    friend bool operator==(const PacketVerdict &, const PacketVerdict &) = default;
};

// What one received-data event found, as facts; linkTexts() (linktexts.h) makes the texts
// they show. An empty optional means: nothing of that kind happened. Every packet is
// counted; only the last good signal packet is decoded, since the window shows and the
// tests compute with the latest readings alone.
struct LinkUpdate {
    int bytesRead = 0;
    // Milliseconds between the last complete packet and the one before it.
    std::optional<qint64> intervalMs;
    // The last checked packet (a discarded one is not checked).
    std::optional<PacketVerdict> verdict;
    // The counters after the last counted packet.
    std::optional<PacketCounts> counts;
    // Kind of the last good packet: its counter turns green (0, 128, 0), the other red.
    std::optional<PacketKind> lastGoodKind;

    // After at least one good signal packet: the new `BenchReadings`; the test controls
    // become available and the status bar reads "COM" n " открыт".
    std::optional<BenchReadings> readings;
    // What the readouts show: the last good signal packet, and the last one that carried a
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
    // Whether the link's labels or readouts have something to show.
    bool showsSomething() const { return intervalMs || verdict || counts || textSource; }
    void dropSignalTexts();
};

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

    PacketCounts counts() const { return m_counts; }
    int signalPackets() const { return m_counts.signal; }
    int resistancePackets() const { return m_counts.resistance; }
    int failedPackets() const { return m_counts.failed; }
    const PacketFramer &framer() const { return m_framer; }

private:
    void takePackets(LinkUpdate &update, const BenchReadings &current, const LinkContext &context);

    PacketFramer m_framer;
    PacketIntervalClock m_interval;
    Clock m_clock;
    QElapsedTimer m_sinceStart;
    PacketCounts m_counts;
};
