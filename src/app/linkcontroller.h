#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "linkreceiver.h"
#include "main.h"
#include "screenpacer.h"
#include "settingsfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <span>

class InputErrors;
class RatedController;
class SerialChannel;

// The bench link: the serial channel and its framer, the live readouts on the left and
// the packet counters, the watchdog that brings a silent link back, and the port opened
// or closed as the pages change.
class LinkController : public QObject,
                       private Ui::Form1,
                       private Ui::PageMain,
                       private Ui::PageIdle,
                       private Ui::PageChort,
                       private Ui::PageTransformations,
                       private Ui::PageResistence {
    Q_OBJECT
public:
    LinkController(TForm1 &window, RatedController &rated, InputErrors &inputErrors, const Ui::Form1 &form, const Ui::PageMain &main,
                   const Ui::PageIdle &idle, const Ui::PageChort &shortCircuit,
                   const Ui::PageTransformations &ratio, const Ui::PageResistence &resistance,
                   const QString &deviceFolder = {}, std::function<qint64()> clock = {});

    // ---- the port, as the operator's actions use it ----
    // The port number and speed the next opening uses.
    PortSettings portSettings() const;
    // Takes them for the next opening (the start-up's reading of the settings file).
    void usePort(const PortSettings &settings);
    // "OK" of the port settings: the port is closed (the next measuring page, or the
    // watchdog if it runs, opens it with them), the settings taken and stored in the
    // settings file. Throws when the file cannot be written; they stay taken.
    void applyPortSettings(const PortSettings &settings);
    // Opens the port the settings name; throws BenchError as SerialChannel::OpenPort.
    void openPort();
    bool isPortOpen() const;
    // The device the port number names now (see SerialChannel::deviceName()).
    QString deviceName() const;
    // Bytes to the bench as they are, and a bench command: its lead, a one-second pause
    // in which the bench gets ready, the input of the pause thrown away, then the rest.
    void send(const QByteArray &bytes);
    void sendCommand(std::uint8_t lead, std::span<const std::uint8_t> tail);
    int pendingInputCount() const;
    // The watchdog that brings a silent link back (5000 ms, precise); stopped while a
    // resistance measurement runs.
    const QTimer &watchdog() const { return *Timer1; }
    void stopWatchdog();
    // Whether a measuring page is still looking for its device.
    bool searchingForPort() const;
    PacketCounts packetCounts() const;
    static constexpr int PortSearchMs = 1500;

    // ---- values the tests compute with ----
    BenchReadings Readings;
    // CurrentRatio, CurrentDigits, VoltageRatio, VoltageDigits of the two range lists.
    InstrumentScaling Scaling;
    long double Resistance = 0;
    // While set, complete resistance packets are thrown away unread (between the stop
    // of a resistance measurement and the next start).
    bool resistancePaused() const;
    void setResistancePaused(bool paused);

    void VaComm1RxChar(int count);
    void cbCurrentChange();
    void cbVoltageChange();
    void PageControl1Change();
    void Timer1Timer();
    void PortSearchTimer();
    // Writes the readouts still waiting for the screen timer, before a test computes.
    void showPendingReadouts();
    // The cell of the resistance table chosen now (tap and phase pair); none without both.
    std::optional<ResultId> resistanceTarget() const;
    void writeLinkScreen();

    // The framer with its buffer, the packet counters and the interval clock, and what
    // paces the screen.
    struct LinkState {
        LinkReceiver receiver;
        // What the packets decoded since the screen was last written would show.
        LinkUpdate pending;
        bool hasPending = false;
        ScreenPacer pacer;
        QTimer screenTimer; // writes `pending` when the pacer says so
        QTimer quietTimer;  // a waiting packet is taken when the line stays quiet this long
        QElapsedTimer clockSource;
        const QLocale locale = QLocale::system(); // of the power labels and resistance cells
        // Monotonic milliseconds: the one handed in, else the time since the link was made.
        std::function<qint64()> clock = [this] { return clockSource.elapsed(); };

        static constexpr int QuietLineMs = 50;
    };
    const std::unique_ptr<LinkState> Link;

private:
    SerialChannel *const VaComm1;
    QTimer *const Timer1; // link supervision, 5000 ms
    // Looks for the device again while a measuring page could not open it, so that an
    // adapter plugged in after the page was chosen opens without another page change.
    QTimer *const PortSearch;

    // The test controls made available by a good signal packet, blocked by a page change
    // and by the loss of the link.
    void setTestControlsEnabled(bool enabled);
    void clearReadouts(bool withFormFactor);
    QString portText(const char *suffix) const; // "COM" + n + suffix
    LinkContext linkContext() const;
    void takeLinkUpdate(const LinkUpdate &update);
    void dropPendingReadouts();
    void lineQuiet();
    bool onMeasuringPage() const; // the port is open only on these four
    // The last step of a page change to a measuring page, and each look of the search.
    void openOnMeasuringPage();

    TForm1 &m_window;
    RatedController &m_rated;
};
