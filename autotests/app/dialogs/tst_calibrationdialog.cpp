#include "controls.h"
#include "errorreport.h"
#include "pseudoterminal.h"
#include "ratedentry.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

constexpr int BenchPort = 7;

enum class Box { Voltage, Current, Resistance };

} // namespace

Q_DECLARE_METATYPE(Box)

class TestCalibrationDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsShowTheirLetterExactCaptions_data();
    void controlsShowTheirLetterExactCaptions();
    void checkBoxesAllowOneQuantityAtATime_data();
    void checkBoxesAllowOneQuantityAtATime();
    void everyShowingStartsWithNothingTickedAndTheRangeText();
    void choosingAResistanceRangeWritesItsText_data();
    void choosingAResistanceRangeWritesItsText();
    void frameReachesTheBenchAfterTheCommandByteAndAPause_data();
    void frameReachesTheBenchAfterTheCommandByteAndAPause();
    void bytesWaitingWhenTheFrameGoesOutAreThrownAway();
    void referenceThatIsNotANumberIsReportedAndNothingIsSent_data();
    void referenceThatIsNotANumberIsReportedAndNothingIsSent();
    void referenceBeyondSinglePrecisionIsReportedAndNothingIsSent_data();
    void referenceBeyondSinglePrecisionIsReportedAndNothingIsSent();
    void closedPortDropsTheFrameWithoutAnyMessage();
    void gaugeEmptiesTheReadoutsAroundTheDialogAndRedoesThePageChange();
    void gaugeLetsTheOperatorCalibrateThroughTheRealChannel();

private:
    QCheckBox *box(Box which) const;
    QLineEdit *edit(Box which) const;
    void openOnTheBench(PseudoTerminal &line);
    void tick(Box which);
    void typeInto(QLineEdit *field, const QString &text);

    std::unique_ptr<WindowFixture> f;
};

// The main window is shown first, as at start, so that its start-up reading has set the
// channel before a test opens it.
void TestCalibrationDialog::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    f->createWindow();
    f->form->show();
}

void TestCalibrationDialog::cleanup()
{
    f.reset();
}

QCheckBox *TestCalibrationDialog::box(Box which) const
{
    switch (which) {
    case Box::Voltage: return child<QCheckBox>(f->form5, "VoltageCheckBox");
    case Box::Current: return child<QCheckBox>(f->form5, "CurrentCheckBox");
    case Box::Resistance: return child<QCheckBox>(f->form5, "ResistenceCheckBox");
    }
    return nullptr;
}

QLineEdit *TestCalibrationDialog::edit(Box which) const
{
    switch (which) {
    case Box::Voltage: return child<QLineEdit>(f->form5, "VoltageEdit");
    case Box::Current: return child<QLineEdit>(f->form5, "CurrentEdit");
    case Box::Resistance: return child<QLineEdit>(f->form5, "ResistenceEdit");
    }
    return nullptr;
}

void TestCalibrationDialog::openOnTheBench(PseudoTerminal &line)
{
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(f->deviceFolder(), BenchPort));
    f->windows->link.usePort({BenchPort});
    f->windows->link.openPort();
    QVERIFY(f->windows->link.isPortOpen());
}

// On the square, where the operator clicks: a check box ignores clicks beyond its text.
void TestCalibrationDialog::tick(Box which)
{
    QCheckBox *b = box(which);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

void TestCalibrationDialog::typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QCOMPARE(field->text(), text);
}

void TestCalibrationDialog::controlsShowTheirLetterExactCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("window") << QStringLiteral("Form5") << QStringLiteral("Юстировка стенда");
    QTest::newRow("VoltageCheckBox") << QStringLiteral("VoltageCheckBox") << QStringLiteral("Напряжение");
    QTest::newRow("VoltageEdit") << QStringLiteral("VoltageEdit") << QStringLiteral("400");
    QTest::newRow("VoltageLabel") << QStringLiteral("VoltageLabel") << QStringLiteral("Вольт");
    QTest::newRow("CurrentCheckBox") << QStringLiteral("CurrentCheckBox") << QStringLiteral("Ток");
    QTest::newRow("CurrentEdit") << QStringLiteral("CurrentEdit") << QStringLiteral("5");
    QTest::newRow("CurrentLabel") << QStringLiteral("CurrentLabel") << QStringLiteral("Ампер");
    QTest::newRow("ResistenceCheckBox") << QStringLiteral("ResistenceCheckBox") << QStringLiteral("Сопротивление");
    QTest::newRow("ResistenceEdit") << QStringLiteral("ResistenceEdit") << QStringLiteral("200");
    QTest::newRow("ResistenceLabel") << QStringLiteral("ResistenceLabel") << QStringLiteral("Ом");
    QTest::newRow("GaugeButton") << QStringLiteral("GaugeButton") << QStringLiteral("Юстировать");
}

void TestCalibrationDialog::controlsShowTheirLetterExactCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    f->form5->open();
    QWidget *w = name == f->form5->objectName() ? f->form5 : f->form5->findChild<QWidget *>(name);
    QVERIFY(w);
    QString shown;
    if (w == f->form5)
        shown = f->form5->windowTitle();
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        shown = b->text();
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        shown = e->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        shown = l->text();
    QCOMPARE(shown, caption);
    QVERIFY(w->isVisible());
}

void TestCalibrationDialog::checkBoxesAllowOneQuantityAtATime_data()
{
    QTest::addColumn<QList<Box>>("clicks");
    QTest::addColumn<QList<bool>>("boxesAvailable"); // voltage, current, resistance
    QTest::addColumn<bool>("buttonAvailable");
    QTest::addColumn<QList<bool>>("groupsAvailable"); // voltage, current, resistance entries

    const QList<bool> all{true, true, true};
    const QList<bool> none{false, false, false};
    QTest::newRow("nothing ticked") << QList<Box>{} << all << false << none;
    QTest::newRow("Напряжение ticked")
        << QList<Box>{Box::Voltage} << QList<bool>{true, false, false} << true << QList<bool>{true, false, false};
    QTest::newRow("Ток ticked")
        << QList<Box>{Box::Current} << QList<bool>{false, true, false} << true << QList<bool>{false, true, false};
    QTest::newRow("Сопротивление ticked")
        << QList<Box>{Box::Resistance} << QList<bool>{false, false, true} << true << QList<bool>{false, false, true};
    QTest::newRow("Ток ticked and unticked") << QList<Box>{Box::Current, Box::Current} << all << false << none;
    QTest::newRow("a locked box ignores its click")
        << QList<Box>{Box::Current, Box::Voltage, Box::Resistance} << QList<bool>{false, true, false} << true
        << QList<bool>{false, true, false};
    QTest::newRow("another quantity after unticking the first")
        << QList<Box>{Box::Voltage, Box::Voltage, Box::Resistance} << QList<bool>{false, false, true} << true
        << QList<bool>{false, false, true};
}

void TestCalibrationDialog::checkBoxesAllowOneQuantityAtATime()
{
    QFETCH(QList<Box>, clicks);
    QFETCH(QList<bool>, boxesAvailable);
    QFETCH(bool, buttonAvailable);
    QFETCH(QList<bool>, groupsAvailable);

    f->form5->open();
    for (Box b : clicks)
        tick(b);

    const QList<bool> boxes{child<QCheckBox>(f->form5, "VoltageCheckBox")->isEnabled(), child<QCheckBox>(f->form5, "CurrentCheckBox")->isEnabled(),
                            child<QCheckBox>(f->form5, "ResistenceCheckBox")->isEnabled()};
    QCOMPARE(boxes, boxesAvailable);
    QCOMPARE(child<QPushButton>(f->form5, "GaugeButton")->isEnabled(), buttonAvailable);
    const QList<QList<QWidget *>> groups{
        {child<RadioGroup>(f->form5, "VoltageRadioGroup"), child<QLineEdit>(f->form5, "VoltageEdit"), child<QLabel>(f->form5, "VoltageLabel")},
        {child<QLineEdit>(f->form5, "CurrentEdit"), child<QLabel>(f->form5, "CurrentLabel")},
        {child<RadioGroup>(f->form5, "ResistenceRadioGroup"), child<QLineEdit>(f->form5, "ResistenceEdit"), child<QLabel>(f->form5, "ResistenceLabel")}};
    for (int g = 0; g < groups.size(); ++g)
        for (QWidget *w : groups[g])
            QVERIFY2(w->isEnabled() == groupsAvailable[g], qPrintable(w->objectName()));
    // However the clicks went, at most one quantity is chosen.
    const int ticked = int(child<QCheckBox>(f->form5, "VoltageCheckBox")->isChecked()) + int(child<QCheckBox>(f->form5, "CurrentCheckBox")->isChecked())
        + int(child<QCheckBox>(f->form5, "ResistenceCheckBox")->isChecked());
    QCOMPARE(ticked, buttonAvailable ? 1 : 0);
}

void TestCalibrationDialog::everyShowingStartsWithNothingTickedAndTheRangeText()
{
    f->form5->open();
    QCOMPARE(child<QPushButton>(f->form5, "GaugeButton")->isEnabled(), false);
    tick(Box::Voltage);
    QTest::mouseClick(child<RadioGroup>(f->form5, "VoltageRadioGroup")->button(1), Qt::LeftButton);
    typeInto(child<QLineEdit>(f->form5, "VoltageEdit"), QStringLiteral("98.5"));
    tick(Box::Voltage);
    tick(Box::Current);
    typeInto(child<QLineEdit>(f->form5, "CurrentEdit"), QStringLiteral("2.5"));
    tick(Box::Current);
    tick(Box::Resistance);
    QTest::mouseClick(child<RadioGroup>(f->form5, "ResistenceRadioGroup")->button(2), Qt::LeftButton);
    typeInto(child<QLineEdit>(f->form5, "ResistenceEdit"), QStringLiteral("1.98"));
    f->form5->accept();
    QVERIFY(!f->form5->isVisible());

    f->form5->open();
    for (Box b : {Box::Voltage, Box::Current, Box::Resistance}) {
        QVERIFY(!box(b)->isChecked());
        QVERIFY(box(b)->isEnabled());
        QVERIFY(!edit(b)->isEnabled());
    }
    QVERIFY(!child<QPushButton>(f->form5, "GaugeButton")->isEnabled());
    QCOMPARE(child<RadioGroup>(f->form5, "VoltageRadioGroup")->itemIndex(), 1);
    QCOMPARE(child<QLineEdit>(f->form5, "VoltageEdit")->text(), QStringLiteral("98.5"));
    QCOMPARE(child<QLineEdit>(f->form5, "CurrentEdit")->text(), QStringLiteral("2.5"));
    QCOMPARE(child<RadioGroup>(f->form5, "ResistenceRadioGroup")->itemIndex(), 2);
    QCOMPARE(child<QLineEdit>(f->form5, "ResistenceEdit")->text(), QStringLiteral("2"));
}

void TestCalibrationDialog::choosingAResistanceRangeWritesItsText_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("text");
    QTest::newRow("200") << 0 << QStringLiteral("200");
    QTest::newRow("20") << 1 << QStringLiteral("20");
    QTest::newRow("2") << 2 << QStringLiteral("2");
    QTest::newRow("0.2") << 3 << QStringLiteral("0.2");
    QTest::newRow("0.01") << 4 << QStringLiteral("0.01");
}

void TestCalibrationDialog::choosingAResistanceRangeWritesItsText()
{
    QFETCH(int, item);
    QFETCH(QString, text);
    f->form5->open();
    tick(Box::Resistance);
    // Start from another range so that every row sees a change.
    QTest::mouseClick(child<RadioGroup>(f->form5, "ResistenceRadioGroup")->button(item == 1 ? 2 : 1), Qt::LeftButton);
    typeInto(child<QLineEdit>(f->form5, "ResistenceEdit"), QStringLiteral("7"));
    QTest::mouseClick(child<RadioGroup>(f->form5, "ResistenceRadioGroup")->button(item), Qt::LeftButton);
    QCOMPARE(child<RadioGroup>(f->form5, "ResistenceRadioGroup")->itemIndex(), item);
    QCOMPARE(child<QLineEdit>(f->form5, "ResistenceEdit")->text(), text);
}

void TestCalibrationDialog::frameReachesTheBenchAfterTheCommandByteAndAPause_data()
{
    QTest::addColumn<Box>("quantity");
    QTest::addColumn<int>("item");        // voltage item or resistance range to click; -1 none
    QTest::addColumn<QString>("reference"); // typed; empty keeps the field's text
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("Напряжение 400, text 400")
        << Box::Voltage << 0 << QStringLiteral("400") << QByteArray::fromHex("DD00C0E1644E68");
    QTest::newRow("Напряжение 100, text 100")
        << Box::Voltage << 1 << QStringLiteral("100") << QByteArray::fromHex("DD068096184E43");
    QTest::newRow("Ток, text 5") << Box::Current << -1 << QStringLiteral("5") << QByteArray::fromHex("DD03B576C94E3C");
    QTest::newRow("Сопротивление 200, text 200")
        << Box::Resistance << 0 << QString() << QByteArray::fromHex("CC000000484397");
    QTest::newRow("Сопротивление 0.2, the range's own text")
        << Box::Resistance << 3 << QString() << QByteArray::fromHex("CC03CDCC4C3E20");
}

void TestCalibrationDialog::frameReachesTheBenchAfterTheCommandByteAndAPause()
{
    QFETCH(Box, quantity);
    QFETCH(int, item);
    QFETCH(QString, reference);
    QFETCH(QByteArray, bytes);

    PseudoTerminal line;
    openOnTheBench(line);
    f->form5->open();
    tick(quantity);
    if (item >= 0) {
        RadioGroup *group = quantity == Box::Voltage ? child<RadioGroup>(f->form5, "VoltageRadioGroup") : child<RadioGroup>(f->form5, "ResistenceRadioGroup");
        QTest::mouseClick(group->button(item), Qt::LeftButton);
    }
    if (!reference.isEmpty())
        typeInto(edit(quantity), reference);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(child<QPushButton>(f->form5, "GaugeButton"), Qt::LeftButton);
    QVERIFY(clock.elapsed() >= 1000);

    QCOMPARE(line.read(int(bytes.size())).toHex(' '), bytes.toHex(' '));
    QCOMPARE(line.readAvailable(), QByteArray());
    QVERIFY(f->prompts.messages.isEmpty());
    QVERIFY(f->form5->isVisible()); // several channels can be adjusted one after the other
}

// The received-data event is held back while the bytes come, so they wait in the
// channel's queue and in the terminal's; click() keeps the event loop from reading them
// before the frame goes out.
void TestCalibrationDialog::bytesWaitingWhenTheFrameGoesOutAreThrownAway()
{
    PseudoTerminal line;
    openOnTheBench(line);
    f->form5->open();
    tick(Box::Current);

    // Written with no turn of the event loop between them and the click: the bytes wait
    // on the line, unread, when the frame's lead goes out.
    QVERIFY(line.write(QByteArray(40, char(0xBB))));
    QVERIFY(line.write(QByteArray(25, char(0xAA))));
    child<QPushButton>(f->form5, "GaugeButton")->click();
    QCOMPARE(line.read(7).toHex(' '), QByteArray("dd 03 b5 76 c9 4e 3c"));
    QCOMPARE(line.readAvailable(), QByteArray());
    QCOMPARE(f->windows->link.pendingInputCount(), 0);
    QTest::qWait(200);
    QCOMPARE(f->windows->link.pendingInputCount(), 0);
    // Read, they would have been counted as failed resistance packets or held by the framer.
    QCOMPARE(f->windows->link.packetCounts(), PacketCounts{});
    QCOMPARE(f->windows->link.Link->receiver.framer().rxCount(), 0);
}

void TestCalibrationDialog::referenceThatIsNotANumberIsReportedAndNothingIsSent_data()
{
    QTest::addColumn<Box>("quantity");
    QTest::addColumn<QString>("reference");
    QTest::newRow("letter O for zero") << Box::Voltage << QStringLiteral("4OO");
    QTest::newRow("empty") << Box::Current << QString();
    QTest::newRow("decimal comma") << Box::Resistance << QStringLiteral("0,2");
    QTest::newRow("unit typed after the number") << Box::Current << QStringLiteral("5 A");
}

void TestCalibrationDialog::referenceThatIsNotANumberIsReportedAndNothingIsSent()
{
    QFETCH(Box, quantity);
    QFETCH(QString, reference);

    PseudoTerminal line;
    openOnTheBench(line);
    f->form5->open();
    tick(quantity);
    edit(quantity)->clear();
    QTest::keyClicks(edit(quantity), reference);
    QTest::mouseClick(child<QPushButton>(f->form5, "GaugeButton"), Qt::LeftButton);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
    QCOMPARE(f->prompts.messages[0].text, notANumberMessage(reference, EntryField::Plain));
    QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
    QCOMPARE(line.read(1, 100), QByteArray());
    // The operator mends the text where it stands; the quantity stays ticked.
    QCOMPARE(edit(quantity)->selectedText(), reference);
    QVERIFY(box(quantity)->isChecked());
}

void TestCalibrationDialog::referenceBeyondSinglePrecisionIsReportedAndNothingIsSent_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("message");
    const QString overflow = QStringLiteral("Floating point overflow");
    const QString underflow = QStringLiteral("Floating point underflow");
    QTest::newRow("too large") << QStringLiteral("1e20") << overflow;
    QTest::newRow("not 0 but its square is 0") << QStringLiteral("1e-30") << underflow;
    QTest::newRow("not 0 but 0 in single precision") << QStringLiteral("1e-50") << underflow;
    QTest::newRow("not 0 but 0 in any precision") << QStringLiteral("1e-5000") << underflow;
}

void TestCalibrationDialog::referenceBeyondSinglePrecisionIsReportedAndNothingIsSent()
{
    QFETCH(QString, reference);
    QFETCH(QString, message);
    PseudoTerminal line;
    openOnTheBench(line);
    f->form5->open();
    tick(Box::Voltage);
    typeInto(child<QLineEdit>(f->form5, "VoltageEdit"), reference);
    QTest::mouseClick(child<QPushButton>(f->form5, "GaugeButton"), Qt::LeftButton);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, ErrorReportCaption);
    QCOMPARE(f->prompts.messages[0].text, message);
    QCOMPARE(line.read(1, 100), QByteArray());
}

void TestCalibrationDialog::closedPortDropsTheFrameWithoutAnyMessage()
{
    QVERIFY(!f->windows->link.isPortOpen());
    f->form5->open();
    tick(Box::Resistance);
    QTest::mouseClick(child<QPushButton>(f->form5, "GaugeButton"), Qt::LeftButton);
    QVERIFY(f->prompts.messages.isEmpty());
    QVERIFY(f->form5->isVisible());
}

void TestCalibrationDialog::gaugeEmptiesTheReadoutsAroundTheDialogAndRedoesThePageChange()
{
    const QList<QLabel *> nine{f->form->control<QLabel>("Uab"), f->form->control<QLabel>("Ubc"), f->form->control<QLabel>("Uca"), f->form->control<QLabel>("U_AB"), f->form->control<QLabel>("U_BC"),
                               f->form->control<QLabel>("U_CA"), f->form->control<QLabel>("Ia"), f->form->control<QLabel>("Ib"), f->form->control<QLabel>("Ic")};
    for (QLabel *l : nine)
        l->setText(QStringLiteral("230.0"));
    f->form->control<QLabel>("Freq")->setText(QStringLiteral("50.00"));
    f->form->control<QLabel>("Kf")->setText(QStringLiteral("1.11"));
    f->form->control<QPushButton>("Gauge")->setEnabled(true); // as a good signal packet leaves it
    f->form->control<QLabel>("StatusBarMain")->setText(QStringLiteral("COM10 открыт"));

    int shown = 0;
    f->calibrationRunner = [&](TForm5 &dialog) {
        ++shown;
        dialog.open();
        for (QLabel *l : nine)
            QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
        QCOMPARE(f->form->control<QLabel>("Freq")->text(), QStringLiteral("50.00"));
        QVERIFY(!child<QCheckBox>(&dialog, "VoltageCheckBox")->isChecked());
        // Packets keep being decoded behind the dialog.
        for (QLabel *l : nine)
            l->setText(QStringLiteral("231.0"));
        dialog.accept();
    };
    QTest::mouseClick(f->form->control<QPushButton>("Gauge"), Qt::LeftButton);

    QCOMPARE(shown, 1);
    for (QLabel *l : nine)
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    // The page change ran: it empties the frequency too, blocks the tests until the next
    // good packet, and on "Трансформатор" leaves the port closed with an empty status.
    QVERIFY(f->form->control<QLabel>("Freq")->text().isEmpty());
    QCOMPARE(f->form->control<QLabel>("Kf")->text(), QStringLiteral("1.11"));
    QVERIFY(!f->form->control<QPushButton>("Gauge")->isEnabled());
    QVERIFY(f->form->control<QLabel>("StatusBarMain")->text().isEmpty());
    QVERIFY(!f->windows->link.isPortOpen());
}

void TestCalibrationDialog::gaugeLetsTheOperatorCalibrateThroughTheRealChannel()
{
    PseudoTerminal line;
    openOnTheBench(line);
    f->form->control<QPushButton>("Gauge")->setEnabled(true);
    f->calibrationRunner = [&](TForm5 &dialog) {
        dialog.open();
        tick(Box::Current);
        QTest::mouseClick(child<QPushButton>(&dialog, "GaugeButton"), Qt::LeftButton);
        dialog.reject();
    };
    QTest::mouseClick(f->form->control<QPushButton>("Gauge"), Qt::LeftButton);
    QCOMPARE(line.read(7).toHex(' '), QByteArray("dd 03 b5 76 c9 4e 3c"));
    QCOMPARE(line.readAvailable(), QByteArray());
}

QTEST_MAIN(TestCalibrationDialog)
#include "tst_calibrationdialog.moc"
