#include "controls.h"
#include "linkcontroller.h"
#include "operatortyping.h"
#include "packetbuilder.h"
#include "pseudoterminal.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString InputErrorCaption = QStringLiteral("Ошибка ввода параметров");
const QString NotANumber = QStringLiteral("Набор символов '");
const QString PowerSuffix = QStringLiteral("' в поле Pном, не является числом.");
const QString VoltageSuffix = QStringLiteral("' в поле Uном, не является числом.");
const QString CurrentSuffix = QStringLiteral("' в поле Iном, не является числом.");
const QString PlainSuffix = QStringLiteral("', не является числом.");
const QString MissingCaption = QStringLiteral("Нехватка параметров трансформатора");
const QString MissingPower = QStringLiteral("Отсутствует номинальная мощность трансформатора.");
const QString MissingVoltage = QStringLiteral("Отсутствует номинальное напряжение трансформатора.");
const QString MissingCurrent = QStringLiteral("Отсутствует номинальный ток трансформатора.");
const QString LineEnd = QStringLiteral("\n\r");
const QString Open = QStringLiteral(" открыт");
const QString NotFound = QStringLiteral(" не найден");
const QString Reconnecting = QStringLiteral("Попытка восстановления связи");

const QColor Red(255, 0, 0);
const QColor Green(0, 128, 0);

constexpr int Port = 7;

// Three phases of 100 V, 5 A, 10 kV on the HV side, a sine's form factor.
QByteArray livePacket()
{
    SignalFields f;
    f.Uab = f.Ubc = f.Uca = 60000000;
    f.Ia = f.Ib = f.Ic = 150000;
    f.U2ab = f.U2bc = f.U2ca = 60000000;
    f.UabMean = 39946397;
    return signalPacket(f);
}

QString com(int port, const QString &suffix) { return QStringLiteral("COM%1").arg(port) + suffix; }

} // namespace

class TstPageChange : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void missingRatedTextsAreListedInOneBoxAndThePageReturns_data();
    void missingRatedTextsAreListedInOneBoxAndThePageReturns();
    void portIsClosedBeforeTheMissingDataBox();
    void resistancePageOpensThePortWithoutAnyRatedText();
    void movingBetweenTestPagesKeepsThePortOpen();
    void portWithoutADeviceIsNotFoundUntilSelectedAgain_data();
    void portWithoutADeviceIsNotFoundUntilSelectedAgain();
    void portThatIsRefusedSaysSoNotThatItIsMissing();
    void adapterPluggedInOnAMeasuringPageOpensWithoutAPageChange_data();
    void adapterPluggedInOnAMeasuringPageOpensWithoutAPageChange();
    void searchForTheAdapterEndsWithTheMeasuringPage();
    void ratedTextThatIsNoNumberStopsThePageChangeAtItsField_data();
    void ratedTextThatIsNoNumberStopsThePageChangeAtItsField();
    void fieldLeftByAClickOnAnotherTabGetsItsPageBack_data();
    void fieldLeftByAClickOnAnotherTabGetsItsPageBack();
    void silentBenchEmptiesTheReadoutsAndTheNextPacketBringsThemBack();
    void lostAdapterLeavesTheStatusSayingThePortIsClosed();
    void timersNeverFireEarly();
    void readoutsAreWrittenAtMostOncePerIntervalWithTheLatestValues();
    void drainBeforeAMeasurementAlsoEmptiesTheFramer();
    void startShowsTheReadoutsItComputedFrom_data();
    void startShowsTheReadoutsItComputedFrom();

private:
    void clickTab(int index) { QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(index), Qt::LeftButton); }
    void fillRated();
    bool linkDangling(int port) const;
    QList<QLabel *> readouts() const;
    QList<QPushButton *> testButtons() const;

    std::unique_ptr<PseudoTerminal> bench;
    std::unique_ptr<WindowFixture> f;
};

void TstPageChange::init()
{
    bench = std::make_unique<PseudoTerminal>();
    QVERIFY(bench->isValid());
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(bench->linkAs(f->deviceFolder(), Port));
    QVERIFY(f->startWindow());
    f->windows->link.usePort({Port});
}

// The window closes its port before the bench goes away.
void TstPageChange::cleanup()
{
    f.reset();
    bench.reset();
}

void TstPageChange::fillRated()
{
    f->form->control<QLineEdit>("Pnom")->setText(QStringLiteral("25"));
    f->form->control<QLineEdit>("Unom")->setText(QStringLiteral("400"));
    f->form->control<QLineEdit>("Unom2")->setText(QStringLiteral("10000"));
    f->form->control<QLineEdit>("Inom")->setText(QStringLiteral("36"));
    f->form->control<QLineEdit>("Inom2")->setText(QStringLiteral("1.44"));
}

// The adapter is unplugged: its link stays, leading nowhere.
bool TstPageChange::linkDangling(int port) const
{
    const QString path = QDir(f->deviceFolder()).filePath(QStringLiteral("COM%1").arg(port));
    QFile::remove(path);
    return QFile::link(QDir(f->deviceFolder()).filePath(QStringLiteral("unplugged")), path);
}

QList<QLabel *> TstPageChange::readouts() const
{
    return {f->form->control<QLabel>("Uab"), f->form->control<QLabel>("Ubc"), f->form->control<QLabel>("Uca"), f->form->control<QLabel>("U_AB"), f->form->control<QLabel>("U_BC"), f->form->control<QLabel>("U_CA"),
            f->form->control<QLabel>("Ia"), f->form->control<QLabel>("Ib"), f->form->control<QLabel>("Ic"), f->form->control<QLabel>("Freq")};
}

QList<QPushButton *> TstPageChange::testButtons() const
{
    return {f->form->control<QPushButton>("IdleState"), f->form->control<QPushButton>("ShortState"), f->form->control<QPushButton>("Transform"), f->form->control<QPushButton>("Resist"), f->form->control<QPushButton>("Gauge")};
}

void TstPageChange::missingRatedTextsAreListedInOneBoxAndThePageReturns_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("empty");
    QTest::addColumn<QString>("message");
    QTest::newRow("Pnom and Unom2 on the no-load page")
        << 1 << QStringList{"Pnom", "Unom2"} << MissingPower + LineEnd + MissingVoltage + LineEnd;
    QTest::newRow("Inom2 on the ratio page") << 3 << QStringList{"Inom2"} << MissingCurrent + LineEnd;
    QTest::newRow("all of them on the short-circuit page")
        << 2 << QStringList{"Pnom", "Unom", "Unom2", "Inom", "Inom2"}
        << MissingPower + LineEnd + MissingVoltage + LineEnd + MissingCurrent + LineEnd;
}

void TstPageChange::missingRatedTextsAreListedInOneBoxAndThePageReturns()
{
    QFETCH(int, page);
    QFETCH(QStringList, empty);
    QFETCH(QString, message);
    fillRated();
    for (const QString &name : empty)
        f->form->findChild<QLineEdit *>(name)->clear();

    clickTab(page);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, MissingCaption);
    QCOMPARE(f->prompts.messages[0].text, message);
    QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Main"));
    QVERIFY(f->form->control<PageControl>("PageControl1")->tabButton(0)->isChecked());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QString());
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());
}

// Events run while the box is up; with the port still open they would bring the link up
// (watchdog, buttons, status) on the page "Трансформатор".
void TstPageChange::portIsClosedBeforeTheMissingDataBox()
{
    clickTab(4);
    QVERIFY(f->windows->link.isPortOpen());
    bool openDuringBox = true;
    f->prompts.onMessage = [&] { openDuringBox = f->windows->link.isPortOpen(); };

    clickTab(1);

    QCOMPARE(f->prompts.messages.size(), 1);
    QVERIFY(!openDuringBox);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Main"));
    QVERIFY(!f->windows->link.watchdog().isActive());
}

void TstPageChange::resistancePageOpensThePortWithoutAnyRatedText()
{
    clickTab(4);

    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Resistence"));
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, Open));
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());
    QVERIFY(!f->form->control<QPushButton>("Resist")->isEnabled()); // until the first good packet

    clickTab(0);
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());
}

void TstPageChange::movingBetweenTestPagesKeepsThePortOpen()
{
    fillRated();
    clickTab(1);
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("IdleState")->isEnabled());
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
    const QString kf = f->form->control<QLabel>("Kf")->text();
    const QString uab2 = f->form->control<QLabel>("Uab2")->text();
    QVERIFY(!kf.isEmpty() && !uab2.isEmpty());

    // Were the port opened again it could not be: the link now leads nowhere.
    QVERIFY(linkDangling(Port));
    clickTab(2);

    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, Open));
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());
    for (QLabel *l : readouts())
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    QCOMPARE(f->form->control<QLabel>("Kf")->text(), kf);
    QCOMPARE(f->form->control<QLabel>("Uab2")->text(), uab2);
    for (QPushButton *b : testButtons())
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));

    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("ShortState")->isEnabled());
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
}

void TstPageChange::portWithoutADeviceIsNotFoundUntilSelectedAgain_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("dangling");
    QTest::newRow("link to an unplugged adapter") << Port << true;
    QTest::newRow("no link, no built-in port of that number") << 200 << false;
}

void TstPageChange::portWithoutADeviceIsNotFoundUntilSelectedAgain()
{
    QFETCH(int, port);
    QFETCH(bool, dangling);
    f->windows->link.usePort({port});
    if (dangling)
        QVERIFY(linkDangling(port));
    else if (QFileInfo::exists(f->windows->link.deviceName()))
        QSKIP("this machine has a built-in port of that number");

    clickTab(4);

    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(port, NotFound));
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());

    // The bench plugged in; selecting a measuring page again tries again.
    QVERIFY(bench->linkAs(f->deviceFolder(), port));
    clickTab(0);
    clickTab(4);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(port, Open));
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());
}

// Root passes any file permission, so the refusal comes from another holder of the device:
// the serial port takes a lock of its own, which refuses a second opener as a missing
// permission does.
void TstPageChange::portThatIsRefusedSaysSoNotThatItIsMissing()
{
    QSerialPort holder(f->windows->link.deviceName());
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));

    clickTab(4);

    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, QStringLiteral(" занят или нет прав доступа")));
    QVERIFY(!f->windows->link.isPortOpen());

    holder.close();
    clickTab(0);
    clickTab(4);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, Open));
}

void TstPageChange::adapterPluggedInOnAMeasuringPageOpensWithoutAPageChange_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("failure");
    QTest::newRow("no device, then the adapter's link appears") << false << NotFound;
    QTest::newRow("device held by another program, then let go")
        << true << QStringLiteral(" занят или нет прав доступа");
}

// The operator plugs the adapter in after choosing the page: within a look or two the port
// opens, the watchdog runs and the first packet brings the readouts, as after a page change.
void TstPageChange::adapterPluggedInOnAMeasuringPageOpensWithoutAPageChange()
{
    QFETCH(bool, held);
    QFETCH(QString, failure);
    const QString link = QDir(f->deviceFolder()).filePath(QStringLiteral("COM%1").arg(Port));
    std::unique_ptr<QSerialPort> holder;
    if (held) {
        holder = std::make_unique<QSerialPort>(f->windows->link.deviceName());
        QVERIFY2(holder->open(QIODevice::ReadWrite), qPrintable(holder->errorString()));
    } else {
        QVERIFY(QFile::remove(link));
    }
    fillRated();
    clickTab(1);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, failure));
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());

    if (held)
        holder->close();
    else
        QVERIFY(bench->linkAs(f->deviceFolder(), Port));

    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, Open),
                              4 * LinkController::PortSearchMs);
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());
    QVERIFY(!f->windows->link.searchingForPort());
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePageIndex(), 1);
    QVERIFY(f->prompts.messages.isEmpty());
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("IdleState")->isEnabled());
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
}

// Off the measuring pages the port stays closed, whatever is plugged in meanwhile.
void TstPageChange::searchForTheAdapterEndsWithTheMeasuringPage()
{
    QVERIFY(QFile::remove(QDir(f->deviceFolder()).filePath(QStringLiteral("COM%1").arg(Port))));
    clickTab(4);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, NotFound));
    QVERIFY(f->windows->link.searchingForPort());

    clickTab(5);
    QVERIFY(!f->windows->link.searchingForPort());
    QVERIFY(bench->linkAs(f->deviceFolder(), Port));
    QTest::qWait(2 * LinkController::PortSearchMs);
    QVERIFY(!f->windows->link.isPortOpen());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QString());
}

void TstPageChange::ratedTextThatIsNoNumberStopsThePageChangeAtItsField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<int>("toPage");
    QTest::newRow("Pnom typed, then a tab clicked")
        << "Pnom" << "12,5" << NotANumber + "12,5" + PowerSuffix << 0 << 1;
    QTest::newRow("Unom2 while the port is open on the resistance page")
        << "Unom2" << "10 кВ" << NotANumber + "10 кВ" + VoltageSuffix << 4 << 2;
    QTest::newRow("Inom from the protocol page")
        << "Inom" << "1.2.3" << NotANumber + "1.2.3" + CurrentSuffix << 5 << 3;
}

// The message comes once; the operator lands on the field to mend, text selected, and
// the port is closed before the box, as the page "Трансформатор" wants it, so that nothing
// the bench sends meanwhile can bring the link up there.
void TstPageChange::ratedTextThatIsNoNumberStopsThePageChangeAtItsField()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, fromPage);
    QFETCH(int, toPage);
    fillRated();
    QLineEdit *e = f->form->findChild<QLineEdit *>(field);
    if (fromPage == 0) {
        e->setFocus();
        QTRY_VERIFY(e->hasFocus());
        e->selectAll();
        typeText(e, text);
    } else {
        e->setText(text);
        clickTab(fromPage);
    }
    QCOMPARE(f->windows->link.isPortOpen(), fromPage == 4);
    bool openDuringBox = true;
    f->prompts.onMessage = [&] { openDuringBox = f->windows->link.isPortOpen(); };

    clickTab(toPage);

    QVERIFY(!openDuringBox);
    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
    QCOMPARE(f->prompts.messages[0].text, message);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Main"));
    QVERIFY(f->form->control<PageControl>("PageControl1")->tabButton(0)->isChecked());
    QTRY_VERIFY(e->hasFocus());
    QCOMPARE(e->selectedText(), text);
    QCOMPARE(e->text(), text);
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QString());
    QTest::qWait(20);
    QCOMPARE(f->prompts.messages.size(), 1);
}

void TstPageChange::fieldLeftByAClickOnAnotherTabGetsItsPageBack_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("fromPage");
    QTest::addColumn<int>("toPage");
    QTest::newRow("RepairNumber, then the transformer page")
        << "RepairNumber" << "А123" << NotANumber + "А123" + PlainSuffix << 5 << 0;
    QTest::newRow("Pnom, then the protocol page")
        << "Pnom" << "12,5" << NotANumber + "12,5" + PowerSuffix << 0 << 5;
    QTest::newRow("Pnom, then the resistance page, which opens the port")
        << "Pnom" << "12,5" << NotANumber + "12,5" + PowerSuffix << 0 << 4;
}

// The operator must not be left typing into a field that is not shown.
void TstPageChange::fieldLeftByAClickOnAnotherTabGetsItsPageBack()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, fromPage);
    QFETCH(int, toPage);
    QLineEdit *e = f->form->findChild<QLineEdit *>(field);
    if (fromPage != 0)
        clickTab(fromPage);
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());
    typeText(e, text);

    clickTab(toPage);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
    QCOMPARE(f->prompts.messages[0].text, message);
    QTRY_VERIFY(e->hasFocus());
    QVERIFY(e->isVisible());
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePageIndex(), fromPage);
    QVERIFY(f->form->control<PageControl>("PageControl1")->tabButton(fromPage)->isChecked());
    QCOMPARE(e->selectedText(), text);
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QString());

    typeText(QApplication::focusWidget(), QStringLiteral("7"));
    QCOMPARE(e->text(), QStringLiteral("7"));
    QCOMPARE(f->prompts.messages.size(), 1);
}

// The bench falls silent, is unplugged, and comes back on another line under the same
// port number: each watchdog round closes and reopens the port, errors unreported.
void TstPageChange::silentBenchEmptiesTheReadoutsAndTheNextPacketBringsThemBack()
{
    fillRated();
    clickTab(1);
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("IdleState")->isEnabled());
    QVERIFY(!f->form->control<QLabel>("Kf")->text().isEmpty() && !f->form->control<QLabel>("Uab2")->text().isEmpty());
    QCOMPARE(f->form->control<QLabel>("Label2")->palette().color(QPalette::WindowText), Green);

    QVERIFY(linkDangling(Port));
    f->windows->link.Timer1Timer();

    for (QLabel *l : readouts() + QList<QLabel *>{f->form->control<QLabel>("Kf"), f->form->control<QLabel>("Uab2")})
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    for (QPushButton *b : testButtons())
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(f->form->control<QLabel>("Label2")->palette().color(QPalette::WindowText), Red);
    QCOMPARE(f->form->control<QLabel>("Label6")->palette().color(QPalette::WindowText), Red);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), Reconnecting);
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());
    QVERIFY(f->prompts.messages.isEmpty());

    PseudoTerminal replugged;
    QVERIFY(replugged.isValid());
    QVERIFY(replugged.linkAs(f->deviceFolder(), Port));
    f->windows->link.Timer1Timer();
    QVERIFY(f->windows->link.isPortOpen());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), Reconnecting);

    QVERIFY(replugged.write(livePacket()));
    QTRY_COMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, Open));
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
    QVERIFY(!f->form->control<QLabel>("Kf")->text().isEmpty() && !f->form->control<QLabel>("Uab2")->text().isEmpty());
    for (QPushButton *b : testButtons())
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(f->form->control<QLabel>("Label2")->palette().color(QPalette::WindowText), Green);
    QVERIFY(f->windows->link.watchdog().isActive());
    QVERIFY(f->prompts.messages.isEmpty());
}

// The adapter pulled out under an open port: no box, the status says the port is closed,
// and the watchdog stays on to reconnect.
void TstPageChange::lostAdapterLeavesTheStatusSayingThePortIsClosed()
{
    clickTab(4);
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("Resist")->isEnabled());

    bench.reset();

    QTRY_VERIFY(!f->windows->link.isPortOpen());
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), com(Port, QStringLiteral(" закрыт")));
    QVERIFY(!f->form->control<QPushButton>("Resist")->isEnabled());
    QVERIFY(f->form->control<QLabel>("Uab")->text().isEmpty());
    QVERIFY(f->windows->link.watchdog().isActive());
    QVERIFY(f->prompts.messages.isEmpty());
}

// A coarse timer may fire 5 % early; these two must not.
void TstPageChange::timersNeverFireEarly()
{
    QCOMPARE(f->windows->link.watchdog().timerType(), Qt::PreciseTimer);
    QCOMPARE(f->windows->link.watchdog().interval(), 5000);
    QCOMPARE(f->windows->tests.Timer2->timerType(), Qt::PreciseTimer);
    QCOMPARE(f->windows->tests.Timer2->interval(), 30000);
}

// The screen clock is the test's: a packet soon after a write waits for the pacer while
// the tests already compute with it; a page change drops the readouts it would show.
void TstPageChange::readoutsAreWrittenAtMostOncePerIntervalWithTheLatestValues()
{
    qint64 now = 1000000;
    f->linkClock = [&] { return now; };
    f->windows->link.Link->pacer = ScreenPacer(1000000); // the real timer never comes in this test
    fillRated();
    clickTab(1);
    // Two packets in a row: the follower confirms the first after the port opened.
    QVERIFY(bench->write(livePacket() + livePacket()));
    QTRY_COMPARE(f->windows->link.packetCounts().signal, 2);
    f->windows->link.writeLinkScreen();
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 2"));

    now += 10;
    SignalFields half;
    half.Uab = half.Ubc = half.Uca = 15000000;
    QVERIFY(bench->write(signalPacket(half)));
    QTRY_VERIFY(qAbs(double(f->windows->link.Readings.Uab) - 50.0) < 0.01);
    QVERIFY(f->form->control<QPushButton>("IdleState")->isEnabled());
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 2"));
    QVERIFY(f->windows->link.Link->screenTimer.isActive());

    f->windows->link.writeLinkScreen(); // what the screen timer does when it comes
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("50.0"));
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 3"));

    // After a quiet spell a packet shows at once.
    now += 2000000;
    QVERIFY(bench->write(livePacket()));
    QTRY_COMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 4"));

    now += 10;
    QVERIFY(bench->write(signalPacket(half)));
    QTRY_VERIFY(qAbs(double(f->windows->link.Readings.Uab) - 50.0) < 0.01);
    clickTab(2);
    f->windows->link.writeLinkScreen();
    QVERIFY(f->form->control<QLabel>("Uab")->text().isEmpty());
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 5"));
}

void TstPageChange::startShowsTheReadoutsItComputedFrom_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("button");
    QTest::newRow("no-load test") << 1 << QStringLiteral("IdleState");
    QTest::newRow("short-circuit test") << 2 << QStringLiteral("ShortState");
    QTest::newRow("ratio test") << 3 << QStringLiteral("Transform");
}

// "Пуск" pressed while the latest packet's readouts still wait for the screen pacer: the
// test computes from that packet, and the screen shows it before the result.
void TstPageChange::startShowsTheReadoutsItComputedFrom()
{
    QFETCH(int, tab);
    QFETCH(QString, button);
    qint64 now = 1000000;
    f->linkClock = [&] { return now; };
    f->windows->link.Link->pacer = ScreenPacer(1000000); // the real timer never comes in this test
    fillRated();
    clickTab(tab);
    QVERIFY(bench->write(livePacket() + livePacket()));
    QTRY_COMPARE(f->windows->link.packetCounts().signal, 2);
    f->windows->link.writeLinkScreen();
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0"));

    now += 10;
    SignalFields half;
    half.Uab = half.Ubc = half.Uca = 15000000;
    QVERIFY(bench->write(signalPacket(half)));
    QTRY_VERIFY(qAbs(double(f->windows->link.Readings.Uab) - 50.0) < 0.01);
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("100.0")); // still waiting

    auto *start = f->form->findChild<QPushButton *>(button);
    QVERIFY(start && start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("50.0"));
    QCOMPARE(f->form->control<QLabel>("Label2")->text(), QStringLiteral("VA 3"));
    QVERIFY(!f->windows->link.Link->screenTimer.isActive());
}

// Half a packet held by the framer when "Пуск" drains the line would otherwise swallow the
// measurement's first value as one failed signal packet.
void TstPageChange::drainBeforeAMeasurementAlsoEmptiesTheFramer()
{
    clickTab(4);
    QVERIFY(bench->write(livePacket() + livePacket()));
    QTRY_VERIFY(f->form->control<QPushButton>("Resist")->isEnabled());
    QVERIFY(bench->write(livePacket().left(30)));
    QTRY_COMPARE(f->windows->link.Link->receiver.framer().rxCount(), 30);

    QTest::mouseClick(f->form->control<QPushButton>("Resist"), Qt::LeftButton);
    QCOMPARE(f->windows->link.Link->receiver.framer().rxCount(), 0);
    QVERIFY(bench->write(resistancePacket(12.5f)));

    QTRY_COMPARE(double(f->windows->link.Resistance), 12.5);
    QVERIFY(!f->form->control<StringGrid>("ResistenceGrid")->cell(f->form->control<RadioGroup>("RadioGroup2")->itemIndex(),
                                           f->form->control<RadioGroup>("RadioGroup3")->itemIndex()).isEmpty());
    QCOMPARE(f->windows->link.packetCounts().failed, 0);
    f->windows->tests.ResistStopClick();
}

QTEST_MAIN(TstPageChange)
#include "tst_pagechange.moc"
