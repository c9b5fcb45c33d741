#include "linkcontroller.h"

#include "inputerrors.h"
#include "ratedcontroller.h"

#include "bencherror.h"
#include "controls.h"
#include "errorreport.h"
#include "linktexts.h"
#include "prompts.h"
#include "ratedentry.h"
#include "resultrecord.h"
#include "serialchannel.h"
#include "settingsfile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// A palette change repaints; at full line rate the same colour would be set thousands of
// times a second.
void setTextColourOnce(QWidget *w, const QColor &c)
{
    if (w->palette().color(QPalette::WindowText) != c)
        setTextColour(w, c);
}

void setBackgroundColourOnce(QWidget *w, const QColor &c)
{
    if (!w->autoFillBackground() || w->palette().color(QPalette::Window) != c)
        setBackgroundColour(w, c);
}

// Only a text that differs from the shown one is set: the same readout comes again and
// again at full line rate, and each setting costs a layout and a repaint request.
void showText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void showText(QLabel *label, const std::optional<QString> &text)
{
    if (text)
        showText(label, *text);
}

} // namespace

LinkController::LinkController(TForm1 &window, RatedController &rated, InputErrors &inputErrors,
                               const Ui::Form1 &form, const Ui::PageMain &main,
                               const Ui::PageIdle &idle, const Ui::PageChort &shortCircuit,
                               const Ui::PageTransformations &ratio, const Ui::PageResistence &resistance,
                               const QString &deviceFolder, std::function<qint64()> clock)
    : Ui::Form1(form), Ui::PageMain(main), Ui::PageIdle(idle), Ui::PageChort(shortCircuit),
      Ui::PageTransformations(ratio), Ui::PageResistence(resistance), Link(std::make_unique<LinkState>()),
      VaComm1(new SerialChannel(deviceFolder, this)), Timer1(new QTimer(this)), PortSearch(new QTimer(this)),
      m_window(window), m_rated(rated)
{
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Link->clockSource.start();
    if (clock)
        Link->clock = std::move(clock);
    // A coarse timer may fire 5 % early: the watchdog must never act before 5000 ms of
    // silence.
    Timer1->setTimerType(Qt::PreciseTimer);
    Link->screenTimer.setSingleShot(true);
    Link->screenTimer.setTimerType(Qt::PreciseTimer);
    connect(&Link->screenTimer, &QTimer::timeout, this, [this] { runGuarded([this] { writeLinkScreen(); }); });
    Link->quietTimer.setSingleShot(true);
    Link->quietTimer.setInterval(LinkState::QuietLineMs);
    connect(&Link->quietTimer, &QTimer::timeout, this, [this] { runGuarded([this] { lineQuiet(); }); });

    VaComm1->setObjectName(QStringLiteral("VaComm1"));
    connect(VaComm1, &SerialChannel::rxChar, this,
            [this](int count) { runGuarded([this, count] { VaComm1RxChar(count); }); });
    // A fresh opening or a drain starts in the middle of some packet: what the framer
    // held before belongs to nothing that follows.
    connect(VaComm1, &SerialChannel::inputRestarted, this, [this] {
        Link->receiver.restartStream();
        Link->quietTimer.stop();
    });
    // An adapter pulled out under an open port: one quiet state that says the truth (the
    // port is closed), and the watchdog keeps trying to reconnect even if no byte had
    // restarted it yet; its own texts take over when it does.
    connect(VaComm1, &SerialChannel::portLost, this, [this] {
        StatusBarMain->setText(portText(" закрыт"));
        setTestControlsEnabled(false);
        dropPendingReadouts();
        clearReadouts(true);
        if (!Timer1->isActive())
            Timer1->start();
    });
    connect(Timer1, &QTimer::timeout, this, [this] { runGuarded([this] { Timer1Timer(); }); });
    PortSearch->setObjectName(QStringLiteral("PortSearch"));
    PortSearch->setInterval(PortSearchMs);
    connect(PortSearch, &QTimer::timeout, this, [this] { runGuarded([this] { PortSearchTimer(); }); });
    connect(PageControl1, &PageControl::changedByOperator, this,
            [this] { runGuarded([this] { PageControl1Change(); }); });
    connect(cbCurrent, &QComboBox::currentIndexChanged, this,
            [this] { runGuarded([this] { cbCurrentChange(); }); });
    connect(cbVoltage, &QComboBox::currentIndexChanged, this,
            [this] { runGuarded([this] { cbVoltageChange(); }); });
    cbCurrentChange();
    cbVoltageChange();
    // The port as the settings file has it, before the window's start-up reading.
    connect(&window, &TForm1::starting, this, [this] {
        runGuarded([this] { usePort(SettingsFile::readPort()); });
    });
    connect(&inputErrors, &InputErrors::pageChangedByProgram, this, [this] { runGuarded([this] { PageControl1Change(); }); });
}

PortSettings LinkController::portSettings() const
{
    return PortSettings{VaComm1->PortNum(), VaComm1->UserBaudrate()};
}

void LinkController::usePort(const PortSettings &settings)
{
    VaComm1->ClosePort();
    VaComm1->setPortNum(settings.portNum);
    VaComm1->setUserBaudrate(settings.userBaudrate);
}

void LinkController::applyPortSettings(const PortSettings &settings)
{
    usePort(settings);
    SettingsFile::writePort(settings.portNum, settings.userBaudrate);
}

void LinkController::openPort()
{
    VaComm1->OpenPort();
}

bool LinkController::isPortOpen() const
{
    return VaComm1->PortIsOpen();
}

QString LinkController::deviceName() const
{
    return VaComm1->deviceName();
}

void LinkController::send(const QByteArray &bytes)
{
    VaComm1->SendBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
}

void LinkController::sendCommand(std::uint8_t lead, std::span<const std::uint8_t> tail)
{
    sendPausedCommand(*VaComm1, lead, tail.data(), int(tail.size()));
}

int LinkController::pendingInputCount() const
{
    return VaComm1->PendingInputCount();
}

void LinkController::stopWatchdog()
{
    Timer1->stop();
}

bool LinkController::searchingForPort() const
{
    return PortSearch->isActive();
}

PacketCounts LinkController::packetCounts() const
{
    return Link->receiver.counts();
}

bool LinkController::resistancePaused() const { return Link->receiver.resistancePaused(); }
// Only the measurement's start and stop set it: while it is clear after a start the
// bench's answers are awaited, so the framer takes the first of them too.
void LinkController::setResistancePaused(bool paused)
{
    Link->receiver.setResistancePaused(paused);
    Link->receiver.setResistanceExpected(!paused);
}

QString LinkController::portText(const char *suffix) const
{
    return QStringLiteral("COM") + QString::number(VaComm1->PortNum()) + QString::fromUtf8(suffix);
}

void LinkController::setTestControlsEnabled(bool enabled)
{
    for (QPushButton *b : {IdleState, ShortState, Transform, Resist, Gauge})
        b->setEnabled(enabled);
}

void LinkController::clearReadouts(bool withFormFactor)
{
    for (QLabel *l : {Uab, Ubc, Uca, U_AB, U_BC, U_CA, Ia, Ib, Ic, Freq})
        l->clear();
    if (withFormFactor) {
        Kf->clear();
        Uab2->clear();
    }
}

// Every packet is counted and decoded at once, and what the tests and the link need
// (`BenchReadings`, the resistance cell, the test controls, the status) is set at once;
// the readouts, counters and verdict, which change with every packet, are written at most
// about 30 times a second with the latest values, so a fast stream cannot keep the
// window busy repainting.
void LinkController::VaComm1RxChar(int count)
{
    Timer1->stop();
    Timer1->start();

    const LinkUpdate u = Link->receiver.receive(
        count, [this](std::uint8_t *buffer, int max) { return VaComm1->ReceiveBytes(buffer, max); },
        Readings, linkContext());
    takeLinkUpdate(u);
    if (Link->receiver.awaitsQuietLine())
        Link->quietTimer.start();
    else
        Link->quietTimer.stop();
}

LinkContext LinkController::linkContext() const
{
    LinkContext context;
    context.scaling = Scaling;
    context.onePhase = FasNumber->itemIndex() == 0;
    context.resistanceRange = qMax(0, ResistenceRange1->itemIndex());
    context.locale = Link->locale;
    return context;
}

// The line stayed quiet behind a packet that waited for the stream to confirm it.
void LinkController::lineQuiet()
{
    takeLinkUpdate(Link->receiver.lineQuiet(Readings, linkContext()));
}

std::optional<ResultId> LinkController::resistanceTarget() const
{
    const int tap = RadioGroup2->itemIndex();
    const int pair = RadioGroup3->itemIndex();
    if (tap < 0 || pair < 0)
        return std::nullopt;
    return Results::resistance(tap, pair);
}

void LinkController::takeLinkUpdate(const LinkUpdate &u)
{
    if (u.lastGoodKind) {
        const bool signal = *u.lastGoodKind == PacketKind::Signal;
        setTextColourOnce(Label2, signal ? GreenColour : RedColour);
        setTextColourOnce(Label6, signal ? RedColour : GreenColour);
    }
    // A result, not a readout: written at once into the cell selected now.
    if (u.Resistance && u.resistanceText) {
        Resistance = *u.Resistance;
        if (const auto cell = resistanceTarget())
            m_window.results().set(*cell, *u.resistanceText);
    }
    if (u.readings) {
        Readings = *u.readings;
        setTestControlsEnabled(true);
        for (RadioGroup *g : {RadioGroup2, RadioGroup3, RadioGroup4, ResistenceRange1})
            g->setEnabled(true);
        showText(StatusBarMain, portText(" открыт"));
    }

    if (!u.showsSomething())
        return;
    if (Link->hasPending)
        Link->pending.absorb(u);
    else
        Link->pending = u;
    Link->hasPending = true;
    const qint64 wait = Link->pacer.changed(Link->clock());
    if (wait == 0)
        writeLinkScreen();
    else if (wait > 0)
        Link->screenTimer.start(int(wait));
}

void LinkController::writeLinkScreen()
{
    Link->screenTimer.stop();
    Link->pacer.written(Link->clock());
    if (!Link->hasPending)
        return;
    const LinkUpdate u = std::move(Link->pending);
    Link->pending = LinkUpdate();
    Link->hasPending = false;

    const LinkTexts t = linkTexts(u);
    showText(Label7, t.interval);
    showText(lbCRC, t.verdict);
    showText(Label8, t.failedCount);
    showText(Label2, t.signalCount);
    showText(Label6, t.resistanceCount);
    if (t.readouts) {
        const SignalTexts &r = *t.readouts;
        showText(Label3, r.Label3);
        showText(Label4, r.Label4);
        showText(Uab2, r.Uab2);
        showText(Uab, r.Uab);
        showText(Ubc, r.Ubc);
        showText(Uca, r.Uca);
        showText(Ia, r.Ia);
        showText(Ib, r.Ib);
        showText(Ic, r.Ic);
        showText(U_AB, r.U_AB);
        showText(U_BC, r.U_BC);
        showText(U_CA, r.U_CA);
        showText(Freq, r.Freq);
        if (r.KfColour != FormFactorColour::Unchanged) {
            showText(Kf, r.Kf);
            const QColor c = r.KfColour == FormFactorColour::OutOfRange ? RedColour : WindowColour;
            setBackgroundColourOnce(Kf, c);
            setBackgroundColourOnce(StaticText2, c);
        }
    }
}

// Readouts decoded before the readouts were emptied must not come back after it, nor a
// packet that waited for the line to fall quiet bring the link up afterwards; the
// counters and the verdict stay due.
void LinkController::dropPendingReadouts()
{
    Link->pending.dropSignalTexts();
    Link->quietTimer.stop();
}

void LinkController::cbCurrentChange()
{
    applyCurrentRange(Scaling, cbCurrent->currentIndex());
}

void LinkController::cbVoltageChange()
{
    applyVoltageRange(Scaling, cbVoltage->currentIndex());
}

void LinkController::PageControl1Change()
{
    Timer1->stop();
    PortSearch->stop();
    setTestControlsEnabled(false);
    dropPendingReadouts();
    clearReadouts(false);
    StatusBarMain->clear();

    const int page = PageControl1->activePageIndex();
    if (page == TForm1::PageIdle || page == TForm1::PageChort || page == TForm1::PageTransformations) {
        const RatedDataGap gap =
            firstRatedDataGap({Pnom->text(), Unom->text(), Unom2->text(), Inom->text(), Inom2->text()});
        if (!gap.complete()) {
            // Back where the data can be mended. The port is closed before the box: its
            // events go on meanwhile and would bring the link up on a page that has none.
            PageControl1->setActivePage(PageControl1->page(TForm1::PageMain));
            VaComm1->ClosePort();
        }
        if (!gap.missing.isEmpty())
            Prompts::current().showMessage(&m_window, MissingRatedDataCaption, gap.missing, PromptIcon::Error);
        else if (!m_rated.enterRatedFields(gap.notANumber))
            return;
    }

    if (!onMeasuringPage()) {
        VaComm1->ClosePort();
        return;
    }
    openOnMeasuringPage();
}

bool LinkController::onMeasuringPage() const
{
    const int page = PageControl1->activePageIndex();
    return page == TForm1::PageIdle || page == TForm1::PageChort || page == TForm1::PageTransformations
           || page == TForm1::PageResistence;
}

void LinkController::openOnMeasuringPage()
{
    try {
        if (!VaComm1->PortIsOpen())
            VaComm1->OpenPort();
        PortSearch->stop();
        if (VaComm1->PortIsOpen()) {
            StatusBarMain->setText(portText(" открыт"));
            Timer1->start();
        } else {
            StatusBarMain->setText(portText(" закрыт"));
        }
    } catch (const BenchError &) {
        StatusBarMain->setText(portText(VaComm1->openWasRefused() ? " занят или нет прав доступа" : " не найден"));
        // A refusal is searched past too: a freshly plugged adapter's device may belong to
        // root for a moment before its rules give it to the dialout group.
        if (!PortSearch->isActive())
            PortSearch->start();
    }
}

void LinkController::Timer1Timer()
{
    StatusBarMain->setText(portText(" открыт, нет связи со стендом"));
    setTestControlsEnabled(false);
    dropPendingReadouts();
    clearReadouts(true);
    try {
        VaComm1->ClosePort();
    } catch (const BenchError &) {
    }
    try {
        VaComm1->OpenPort();
    } catch (const BenchError &) {
    }
    StatusBarMain->setText(QStringLiteral("Попытка восстановления связи"));
    setTextColourOnce(Label2, RedColour);
    setTextColourOnce(Label6, RedColour);
}

// Only a measuring page whose port is still closed keeps looking; a page left for another
// without a page change (the program's own) ends the search.
void LinkController::PortSearchTimer()
{
    if (!onMeasuringPage() || VaComm1->PortIsOpen()) {
        PortSearch->stop();
        return;
    }
    openOnMeasuringPage();
}

// A test computes from the latest packet while the readouts may still wait for the screen
// pacer: written first, the screen shows what the result was computed from.
void LinkController::showPendingReadouts()
{
    if (Link->hasPending)
        writeLinkScreen();
}
