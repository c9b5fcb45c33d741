#include "controls.h"
#include "main.h"
#include "operatortyping.h"
#include "packetbuilder.h"
#include "pseudoterminal.h"
#include "recordingprompts.h"
#include "serialchannel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
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
    void ratedTextThatIsNoNumberStopsThePageChangeAtItsField_data();
    void ratedTextThatIsNoNumberStopsThePageChangeAtItsField();
    void fieldLeftByAClickOnAnotherTabGetsItsPageBack_data();
    void fieldLeftByAClickOnAnotherTabGetsItsPageBack();
    void silentBenchEmptiesTheReadoutsAndTheNextPacketBringsThemBack();

private:
    void clickTab(int index) { QTest::mouseClick(form->PageControl1->tabButton(index), Qt::LeftButton); }
    void fillRated();
    bool linkDangling(int port) const;
    QList<QLabel *> readouts() const;
    QList<QPushButton *> testButtons() const;

    std::unique_ptr<QTemporaryDir> devices;
    std::unique_ptr<PseudoTerminal> bench;
    RecordingPrompts *prompts = nullptr;
    TForm1 *form = nullptr;
};

void TstPageChange::init()
{
    devices = std::make_unique<QTemporaryDir>();
    QVERIFY(devices->isValid());
    SerialChannel::setDeviceFolder(devices->path());
    bench = std::make_unique<PseudoTerminal>();
    QVERIFY(bench->isValid());
    QVERIFY(bench->linkAs(devices->path(), Port));
    prompts = new RecordingPrompts;
    form = new TForm1;
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->VaComm1->setPortNum(Port);
}

void TstPageChange::cleanup()
{
    delete form;
    delete prompts;
    bench.reset();
    devices.reset();
}

void TstPageChange::fillRated()
{
    form->Pnom->setText(QStringLiteral("25"));
    form->Unom->setText(QStringLiteral("400"));
    form->Unom2->setText(QStringLiteral("10000"));
    form->Inom->setText(QStringLiteral("36"));
    form->Inom2->setText(QStringLiteral("1.44"));
}

// The adapter is unplugged: its link stays, leading nowhere.
bool TstPageChange::linkDangling(int port) const
{
    const QString path = QDir(devices->path()).filePath(QStringLiteral("COM%1").arg(port));
    QFile::remove(path);
    return QFile::link(QDir(devices->path()).filePath(QStringLiteral("unplugged")), path);
}

QList<QLabel *> TstPageChange::readouts() const
{
    return {form->Uab, form->Ubc, form->Uca, form->U_AB, form->U_BC, form->U_CA,
            form->Ia, form->Ib, form->Ic, form->Freq};
}

QList<QPushButton *> TstPageChange::testButtons() const
{
    return {form->IdleState, form->ShortState, form->Transform, form->Resist, form->Gauge};
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
        form->findChild<QLineEdit *>(name)->clear();

    clickTab(page);

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, MissingCaption);
    QCOMPARE(prompts->messages[0].text, message);
    QCOMPARE(prompts->messages[0].icon, PromptIcon::Error);
    QCOMPARE(form->PageControl1->activePage(), form->Main);
    QVERIFY(form->PageControl1->tabButton(0)->isChecked());
    QCOMPARE(form->StatusBarMain->text(), QString());
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(!form->Timer1->isActive());
}

// Events run while the box is up; with the port still open they would bring the link up
// (watchdog, buttons, status) on the page "Трансформатор".
void TstPageChange::portIsClosedBeforeTheMissingDataBox()
{
    clickTab(4);
    QVERIFY(form->VaComm1->PortIsOpen());
    bool openDuringBox = true;
    prompts->onMessage = [&] { openDuringBox = form->VaComm1->PortIsOpen(); };

    clickTab(1);

    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY(!openDuringBox);
    QCOMPARE(form->PageControl1->activePage(), form->Main);
    QVERIFY(!form->Timer1->isActive());
}

void TstPageChange::resistancePageOpensThePortWithoutAnyRatedText()
{
    clickTab(4);

    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(form->PageControl1->activePage(), form->Resistence);
    QCOMPARE(form->StatusBarMain->text(), com(Port, Open));
    QVERIFY(form->VaComm1->PortIsOpen());
    QVERIFY(form->Timer1->isActive());
    QVERIFY(!form->Resist->isEnabled()); // until the first good packet

    clickTab(0);
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(!form->Timer1->isActive());
}

void TstPageChange::movingBetweenTestPagesKeepsThePortOpen()
{
    fillRated();
    clickTab(1);
    QVERIFY(form->VaComm1->PortIsOpen());
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(form->IdleState->isEnabled());
    QCOMPARE(form->Uab->text(), QStringLiteral("100.0"));
    const QString kf = form->Kf->text();
    const QString uab2 = form->Uab2->text();
    QVERIFY(!kf.isEmpty() && !uab2.isEmpty());

    // Were the port opened again it could not be: the link now leads nowhere.
    QVERIFY(linkDangling(Port));
    clickTab(2);

    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(form->StatusBarMain->text(), com(Port, Open));
    QVERIFY(form->VaComm1->PortIsOpen());
    QVERIFY(form->Timer1->isActive());
    for (QLabel *l : readouts())
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    QCOMPARE(form->Kf->text(), kf);
    QCOMPARE(form->Uab2->text(), uab2);
    for (QPushButton *b : testButtons())
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));

    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(form->ShortState->isEnabled());
    QCOMPARE(form->Uab->text(), QStringLiteral("100.0"));
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
    form->VaComm1->setPortNum(port);
    if (dangling)
        QVERIFY(linkDangling(port));
    else if (QFileInfo::exists(form->VaComm1->deviceName()))
        QSKIP("this machine has a built-in port of that number");

    clickTab(4);

    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(form->StatusBarMain->text(), com(port, NotFound));
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(!form->Timer1->isActive());

    // The bench plugged in; selecting a measuring page again tries again.
    QVERIFY(bench->linkAs(devices->path(), port));
    clickTab(0);
    clickTab(4);
    QCOMPARE(form->StatusBarMain->text(), com(port, Open));
    QVERIFY(form->VaComm1->PortIsOpen());
    QVERIFY(form->Timer1->isActive());
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
    QLineEdit *e = form->findChild<QLineEdit *>(field);
    if (fromPage == 0) {
        e->setFocus();
        QTRY_VERIFY(e->hasFocus());
        e->selectAll();
        typeText(e, text);
    } else {
        e->setText(text);
        clickTab(fromPage);
    }
    QCOMPARE(form->VaComm1->PortIsOpen(), fromPage == 4);
    bool openDuringBox = true;
    prompts->onMessage = [&] { openDuringBox = form->VaComm1->PortIsOpen(); };

    clickTab(toPage);

    QVERIFY(!openDuringBox);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, InputErrorCaption);
    QCOMPARE(prompts->messages[0].text, message);
    QCOMPARE(form->PageControl1->activePage(), form->Main);
    QVERIFY(form->PageControl1->tabButton(0)->isChecked());
    QTRY_VERIFY(e->hasFocus());
    QCOMPARE(e->selectedText(), text);
    QCOMPARE(e->text(), text);
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(!form->Timer1->isActive());
    QCOMPARE(form->StatusBarMain->text(), QString());
    QTest::qWait(20);
    QCOMPARE(prompts->messages.size(), 1);
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
    QLineEdit *e = form->findChild<QLineEdit *>(field);
    if (fromPage != 0)
        clickTab(fromPage);
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());
    typeText(e, text);

    clickTab(toPage);

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, InputErrorCaption);
    QCOMPARE(prompts->messages[0].text, message);
    QTRY_VERIFY(e->hasFocus());
    QVERIFY(e->isVisible());
    QCOMPARE(form->PageControl1->activePageIndex(), fromPage);
    QVERIFY(form->PageControl1->tabButton(fromPage)->isChecked());
    QCOMPARE(e->selectedText(), text);
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(!form->Timer1->isActive());
    QCOMPARE(form->StatusBarMain->text(), QString());

    typeText(QApplication::focusWidget(), QStringLiteral("7"));
    QCOMPARE(e->text(), QStringLiteral("7"));
    QCOMPARE(prompts->messages.size(), 1);
}

// The bench falls silent, is unplugged, and comes back on another line under the same
// port number: each watchdog round closes and reopens the port, errors unreported.
void TstPageChange::silentBenchEmptiesTheReadoutsAndTheNextPacketBringsThemBack()
{
    fillRated();
    clickTab(1);
    QVERIFY(bench->write(livePacket()));
    QTRY_VERIFY(form->IdleState->isEnabled());
    QVERIFY(!form->Kf->text().isEmpty() && !form->Uab2->text().isEmpty());
    QCOMPARE(form->Label2->palette().color(QPalette::WindowText), Green);

    QVERIFY(linkDangling(Port));
    form->Timer1Timer();

    for (QLabel *l : readouts() + QList<QLabel *>{form->Kf, form->Uab2})
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    for (QPushButton *b : testButtons())
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(form->Label2->palette().color(QPalette::WindowText), Red);
    QCOMPARE(form->Label6->palette().color(QPalette::WindowText), Red);
    QCOMPARE(form->StatusBarMain->text(), Reconnecting);
    QVERIFY(!form->VaComm1->PortIsOpen());
    QVERIFY(form->Timer1->isActive());
    QVERIFY(prompts->messages.isEmpty());

    PseudoTerminal replugged;
    QVERIFY(replugged.isValid());
    QVERIFY(replugged.linkAs(devices->path(), Port));
    form->Timer1Timer();
    QVERIFY(form->VaComm1->PortIsOpen());
    QCOMPARE(form->StatusBarMain->text(), Reconnecting);

    QVERIFY(replugged.write(livePacket()));
    QTRY_COMPARE(form->StatusBarMain->text(), com(Port, Open));
    QCOMPARE(form->Uab->text(), QStringLiteral("100.0"));
    QVERIFY(!form->Kf->text().isEmpty() && !form->Uab2->text().isEmpty());
    for (QPushButton *b : testButtons())
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(form->Label2->palette().color(QPalette::WindowText), Green);
    QVERIFY(form->Timer1->isActive());
    QVERIFY(prompts->messages.isEmpty());
}

QTEST_MAIN(TstPageChange)
#include "tst_pagechange.moc"
