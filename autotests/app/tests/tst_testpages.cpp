#include "arithmetic.h"
#include "resultrecord.h"
#include "controls.h"
#include "errorreport.h"
#include "operatortyping.h"
#include "packetbuilder.h"
#include "pseudoterminal.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

namespace {

const QString Old = QStringLiteral("old");

constexpr int Port = 5;

// What the bench last measured: three phases near 400 V, about 1.2 A, 1234.567 W.
BenchReadings measured()
{
    BenchReadings r;
    r.Uab = 400.04L;
    r.Ubc = 401.0L;
    r.Uca = 399.0L;
    r.Ia = 1.2L;
    r.Ib = 1.25L;
    r.Ic = 1.252L;
    r.Iavg = 1.234L;
    r.Uavg = 400.0L;
    r.Ptotal = 1234.567L;
    return r;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// What the bench receives of a three-byte command while `action` runs, read on a thread of
// the test because the window blocks during the command's pause.
struct Sent {
    QByteArray bytes;
    qint64 actionMs = -1;
    qint64 leadToTailMs = -1; // between the first byte and the second
};

Sent sentDuring(const PseudoTerminal &bench, const std::function<void()> &action)
{
    Sent sent;
    QElapsedTimer clock;
    clock.start();
    std::thread receiver([&] {
        qint64 leadAt = 0;
        for (int i = 0; i < 3; ++i) {
            const QByteArray b = bench.read(1, 10000);
            if (b.isEmpty())
                return;
            sent.bytes += b;
            if (i == 0)
                leadAt = clock.elapsed();
            else if (i == 1)
                sent.leadToTailMs = clock.elapsed() - leadAt;
        }
    });
    action();
    sent.actionMs = clock.elapsed();
    receiver.join();
    return sent;
}

} // namespace

class TstTestPages : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void noLoadStartShowsTheReadingsOfItsPhases_data();
    void noLoadStartShowsTheReadingsOfItsPhases();
    void shortCircuitStartReducesToRatedCurrent();
    void failingStepKeepsTheFieldsWrittenBeforeItAndIsReported_data();
    void failingStepKeepsTheFieldsWrittenBeforeItAndIsReported();
    void ratioStartFillsTheSelectedTapAndDoubleClickEmptiesIt();
    void pairGroupsMirrorEachOther_data();
    void pairGroupsMirrorEachOther();
    void imbalanceButtonFillsTheLastRow();
    void absorptionCoefficientsFollowTheTyping_data();
    void absorptionCoefficientsFollowTheTyping();
    void resistanceMeasurementSendsItsCommandsAndFillsTheSelectedCell_data();
    void resistanceMeasurementSendsItsCommandsAndFillsTheSelectedCell();

private:
    void press(QPushButton *button);
    QLabel *label(const QString &name) const { return f->form->findChild<QLabel *>(name); }
    // A result the window shows before the test runs, as an earlier run would leave it.
    void showBefore(const QString &name, const QString &text)
    {
        if (const std::optional<ResultId> id = Results::byKey(name))
            f->form->results().set(*id, text);
        else
            label(name)->setText(text);
    }
    void click(RadioGroup *group, int item);

    std::unique_ptr<WindowFixture> f;
};

void TstTestPages::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
    f->windows->link.usePort({Port});
}

void TstTestPages::cleanup()
{
    f.reset();
}

void TstTestPages::click(RadioGroup *group, int item)
{
    f->click(group, item);
    QCOMPARE(group->itemIndex(), item);
}

// The button's page in front and the button available, as after a good signal packet.
void TstTestPages::press(QPushButton *button)
{
    f->showPageOf(button);
    button->setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TstTestPages::noLoadStartShowsTheReadingsOfItsPhases_data()
{
    QTest::addColumn<int>("phases");
    QTest::addColumn<QStringList>("texts"); // Uab00 Ubc00 Uca00 Ia00 Ib00 Ic00 Ixx00 Ixx01 Pxx00
    QTest::newRow("one phase")
        << 0 << QStringList{"400.0", "", "", "1.20", "", "", "1.23", "2.47", "1234.6"};
    QTest::newRow("three phases")
        << 1 << QStringList{"400.0", "401.0", "399.0", "1.20", "1.25", "1.25", "1.23", "2.47", "1234.6"};
}

// The current transformer 15 A / 5 A gives currents 2 decimals and powers 1.
void TstTestPages::noLoadStartShowsTheReadingsOfItsPhases()
{
    QFETCH(int, phases);
    QFETCH(QStringList, texts);
    const QStringList fields{"Uab00", "Ubc00", "Uca00", "Ia00", "Ib00", "Ic00", "Ixx00", "Ixx01", "Pxx00"};
    for (const QString &f : fields)
        showBefore(f, QStringLiteral("9.99")); // an earlier three-phase run
    f->form->control<QComboBox>("cbCurrent")->setCurrentIndex(1);
    click(f->form->control<RadioGroup>("FasNumber"), phases);
    f->windows->link.Readings = measured();
    f->windows->rated.Rated.RatedCurrentLV = 50;

    press(f->form->control<QPushButton>("IdleState"));

    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(label(fields[i])->text(), texts[i]);
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstTestPages::shortCircuitStartReducesToRatedCurrent()
{
    click(f->form->control<RadioGroup>("FasNumber"), 0);
    for (const char *f : {"Ubc10", "Uca10", "Ib10", "Ic10"})
        showBefore(QString::fromLatin1(f), Old);
    BenchReadings r = measured();
    r.Ptotal = 900;
    r.Iavg = 9;
    r.Uavg = 36;
    f->windows->link.Readings = r;
    f->windows->rated.Rated.RatedCurrentHV = 10;
    f->windows->rated.Rated.RatedVoltageHV = 400;
    f->windows->rated.Rated.RatedPower = 25;
    f->windows->rated.Rated.WindingTemperature = 75;
    click(f->form->control<RadioGroup>("Material"), 0);

    press(f->form->control<QPushButton>("ShortState"));

    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(f->form->control<QLabel>("Uab10")->text(), QStringLiteral("400.0"));
    for (QLabel *l : {f->form->control<QLabel>("Ubc10"), f->form->control<QLabel>("Uca10"), f->form->control<QLabel>("Ib10"), f->form->control<QLabel>("Ic10")})
        QCOMPARE(l->text(), QString());
    QCOMPARE(f->form->control<QLabel>("Ia10")->text(), QStringLiteral("1.200"));
    QCOMPARE(f->form->control<QLabel>("Ikz10")->text(), QStringLiteral("9.000"));
    QCOMPARE(f->form->control<QLabel>("Pkz10")->text(), QStringLiteral("900.00"));
    QCOMPARE(f->form->control<QLabel>("Pkz11")->text(), QStringLiteral("1111.11"));
    QCOMPARE(f->form->control<QLabel>("Pkz12")->text(), QStringLiteral("1111.11")); // copper at 75 °C: K = 1
    QCOMPARE(f->form->control<QLabel>("Ukz100")->text(), QStringLiteral("36.0"));
    QCOMPARE(f->form->control<QLabel>("Ukz110")->text(), QStringLiteral("9.00"));
    QCOMPARE(f->form->control<QLabel>("Ukz101")->text(), QStringLiteral("40.0"));
    QCOMPARE(f->form->control<QLabel>("Ukz111")->text(), QStringLiteral("10.00"));
    QCOMPARE(f->form->control<QLabel>("Ukz112")->text(), QStringLiteral("10.0"));
    QCOMPARE(f->form->control<QLabel>("Ukz102")->text(), QStringLiteral("40.00"));
}

void TstTestPages::failingStepKeepsTheFieldsWrittenBeforeItAndIsReported_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("zero"); // the rated value that is 0
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QStringList>("emptied");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("no-load, rated LV current 0")
        << "IdleState" << "RatedCurrentLV" << QStringList{"Ia00", "Pxx00", "Ixx00"}
        << QStringList{"Uab00", "Ubc00", "Uca00", "Ib00", "Ic00", "Ixx01"} << QStringList{};
    QTest::newRow("short-circuit, rated HV voltage 0")
        << "ShortState" << "RatedVoltageHV"
        << QStringList{"Ia10", "Uab10", "Ubc10", "Uca10", "Ib10", "Ic10", "Pkz10", "Pkz11", "Pkz12",
                       "Ikz10", "Ukz100"}
        << QStringList{} << QStringList{"Ukz110", "Ukz101", "Ukz111", "Ukz112", "Ukz102"};
    QTest::newRow("short-circuit, rated power 0")
        << "ShortState" << "RatedPower"
        << QStringList{"Pkz12", "Ukz100", "Ukz110", "Ukz101", "Ukz111"} << QStringList{}
        << QStringList{"Ukz112", "Ukz102"};
}

void TstTestPages::failingStepKeepsTheFieldsWrittenBeforeItAndIsReported()
{
    QFETCH(QString, button);
    QFETCH(QString, zero);
    QFETCH(QStringList, written);
    QFETCH(QStringList, emptied);
    QFETCH(QStringList, kept);
    for (QLabel *l : f->form->control<QWidget>("Idle")->findChildren<QLabel *>() + f->form->control<QWidget>("Chort")->findChildren<QLabel *>())
        if (l->frameShape() == QFrame::Box)
            showBefore(l->objectName(), Old);
    click(f->form->control<RadioGroup>("FasNumber"), 1);
    click(f->form->control<RadioGroup>("Material"), 0);
    f->windows->link.Readings = measured();
    RatedValues &r = f->windows->rated.Rated;
    r.RatedCurrentLV = r.RatedCurrentHV = 10;
    r.RatedVoltageHV = 400;
    r.RatedPower = 25;
    r.WindingTemperature = 20;
    if (zero == "RatedCurrentLV")
        r.RatedCurrentLV = 0;
    else if (zero == "RatedVoltageHV")
        r.RatedVoltageHV = 0;
    else
        r.RatedPower = 0;

    press(f->form->findChild<QPushButton *>(button));

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, ErrorReportCaption); // the general error report
    QCOMPARE(f->prompts.messages[0].text, DivisionByZeroText);
    QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
    for (const QString &f : written)
        QVERIFY2(!label(f)->text().isEmpty() && label(f)->text() != Old, qPrintable(f));
    for (const QString &f : emptied)
        QVERIFY2(label(f)->text().isEmpty(), qPrintable(f));
    for (const QString &f : kept)
        QVERIFY2(label(f)->text() == Old, qPrintable(f));
}

void TstTestPages::ratioStartFillsTheSelectedTapAndDoubleClickEmptiesIt()
{
    click(f->form->control<RadioGroup>("FasNumber"), 1);
    click(f->form->control<RadioGroup>("RadioGroup1"), 2); // "III"
    f->form->results().set(Results::transformCell(0, 0), Old); // tap "I", measured before
    BenchReadings r = measured();
    r.Kab = 25.0L;
    r.Kbc = 25.1L;
    r.Kca = 24.9L;
    r.U2ab = 10001;
    r.PhaseGroup = 11;
    f->windows->link.Readings = r;
    f->windows->rated.Rated.RatedVoltageLV = 400;

    press(f->form->control<QPushButton>("Transform"));

    StringGrid *g = f->form->control<StringGrid>("TransformGrid");
    const QStringList voltages{"10000.00", "10040.00", "9960.00"};
    const QStringList ratios{"25.00", "25.10", "24.90"};
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(g->cell(4, row), voltages[row]);
        QCOMPARE(g->cell(5, row), ratios[row]);
        QCOMPARE(g->cell(10, row), QStringLiteral("400.0"));
        QCOMPARE(f->form->control<StringGrid>("TransformGrid1")->cell(1, row), ratios[row]);
    }
    QCOMPARE(f->form->control<StringGrid>("TransformGrid1")->cell(0, 0), QStringLiteral("10001.00"));
    QCOMPARE(f->form->control<StringGrid>("TransformGrid1")->cell(2, 0), QStringLiteral("400.04"));
    QCOMPARE(f->form->control<QLabel>("Group")->text(), QStringLiteral("11"));
    QCOMPARE(g->cell(0, 0), Old);

    const QRect cell = g->visualItemRect(g->item(1, 7));
    // As the window system delivers it: a click, then the second press as a double click.
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());

    for (int row = 0; row < 3; ++row) {
        QCOMPARE(g->cell(4, row), QString());
        QCOMPARE(g->cell(5, row), QString());
        QCOMPARE(g->cell(10, row), QStringLiteral("400.0"));
        QCOMPARE(f->form->control<StringGrid>("TransformGrid1")->cell(1, row), ratios[row]);
    }
    QCOMPARE(g->cell(0, 0), Old);
    QCOMPARE(f->form->control<QLabel>("Group")->text(), QStringLiteral("11"));
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstTestPages::pairGroupsMirrorEachOther_data()
{
    QTest::addColumn<bool>("lineToLine"); // click RadioGroup3, else RadioGroup4
    QTest::addColumn<int>("item");
    QTest::newRow("BC selects C0") << true << 2;
    QTest::newRow("CA selects B0") << true << 1;
    QTest::newRow("B0 selects CA") << false << 1;
    QTest::newRow("C0 selects BC") << false << 2;
}

void TstTestPages::pairGroupsMirrorEachOther()
{
    QFETCH(bool, lineToLine);
    QFETCH(int, item);
    f->form->control<PageControl>("PageControl1")->setActivePage(f->form->control<QWidget>("Resistence"));
    click(lineToLine ? f->form->control<RadioGroup>("RadioGroup3") : f->form->control<RadioGroup>("RadioGroup4"), item);
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup3")->itemIndex(), item);
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup4")->itemIndex(), item);
    click(lineToLine ? f->form->control<RadioGroup>("RadioGroup3") : f->form->control<RadioGroup>("RadioGroup4"), 0);
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup3")->itemIndex(), 0);
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup4")->itemIndex(), 0);
}

// Cells are written in the regional format and read back in it.
void TstTestPages::imbalanceButtonFillsTheLastRow()
{
    const QLocale regional = QLocale::system();
    auto r = [&](double ohms) { return regional.toString(ohms, 'f', 3); };
    StringGrid *g = f->form->control<StringGrid>("ResistenceGrid");
    const QStringList column0{r(1.0), r(1.01), r(0.99)};
    for (int row = 0; row < 3; ++row) {
        f->form->results().set(Results::resistenceCell(0, row), column0[row]);
        f->form->results().set(Results::resistenceCell(2, row), r(0));
    }
    f->form->results().set(Results::resistenceCell(1, 0), r(2.0));
    f->form->results().set(Results::resistenceCell(1, 1), r(2.1));
    f->form->results().set(Results::resistenceCell(1, 3), Old);

    press(f->form->control<QPushButton>("sButton1"));

    QCOMPARE(g->cell(0, 3), regional.toString(1.98, 'f', 2) + QStringLiteral(" %"));
    QCOMPARE(g->cell(1, 3), QString()); // one cell empty
    QCOMPARE(g->cell(2, 3), QString()); // three zeros
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstTestPages::absorptionCoefficientsFollowTheTyping_data()
{
    QTest::addColumn<QStringList>("before"); // name, text, name, text, ...
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("coefficients"); // KabsHigh, KabsLow, KabsHL
    QTest::newRow("1000 and 1300, over a hand-typed coefficient")
        << QStringList{"RHigh15", "1000", "KabsHigh", "9"} << "RHigh60" << "1300"
        << QStringList{"1.3000", "", ""};
    QTest::newRow("3 and 4 in the LV row")
        << QStringList{"RLow15", "3"} << "RLow60" << "4" << QStringList{"", "1.3333", ""};
    QTest::newRow("far above the 15 s value")
        << QStringList{"RHigh15", "100"} << "RHigh60" << "1234.56" << QStringList{"12.3456", "", ""};
    QTest::newRow("0 in the 15 s field, silently empty")
        << QStringList{"RHigh60", "1300"} << "RHigh15" << "0" << QStringList{"", "", ""};
    QTest::newRow("0.5 typed through its zero")
        << QStringList{"RHigh60", "1300"} << "RHigh15" << "0.5" << QStringList{"2600.0000", "", ""};
    QTest::newRow("HV to LV row computed like the others")
        << QStringList{"RHL15", "2"} << "RHL60" << "3" << QStringList{"", "", "1.5000"};
}

void TstTestPages::absorptionCoefficientsFollowTheTyping()
{
    QFETCH(QStringList, before);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QStringList, coefficients);
    f->form->control<PageControl>("PageControl1")->setActivePage(f->form->control<QWidget>("sTabSheet6"));
    for (int i = 0; i + 1 < before.size(); i += 2)
        f->form->findChild<QLineEdit *>(before[i])->setText(before[i + 1]);
    QLineEdit *e = f->form->findChild<QLineEdit *>(field);
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());

    typeText(e, typed);

    QCOMPARE(f->form->control<QLineEdit>("KabsHigh")->text(), coefficients[0]);
    QCOMPARE(f->form->control<QLineEdit>("KabsLow")->text(), coefficients[1]);
    QCOMPARE(f->form->control<QLineEdit>("KabsHL")->text(), coefficients[2]);
    QTest::qWait(20);
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstTestPages::resistanceMeasurementSendsItsCommandsAndFillsTheSelectedCell_data()
{
    QTest::addColumn<bool>("autoStop");
    QTest::newRow("auto-stop ticked, stopped by its timer") << true;
    QTest::newRow("auto-stop not ticked, stopped by hand") << false;
}

// Range "2", tap "HH", pair "CA": the value goes to column 5, row 1 with 3 decimals.
void TstTestPages::resistanceMeasurementSendsItsCommandsAndFillsTheSelectedCell()
{
    QFETCH(bool, autoStop);
    PseudoTerminal bench;
    QVERIFY(bench.isValid());
    QVERIFY(bench.linkAs(f->deviceFolder(), Port));
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(4), Qt::LeftButton);
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(bench.write(signalPacket({})));
    QTRY_VERIFY(f->form->control<QPushButton>("Resist")->isEnabled());
    click(f->form->control<RadioGroup>("RadioGroup2"), 5);
    click(f->form->control<RadioGroup>("RadioGroup3"), 1);
    click(f->form->control<RadioGroup>("ResistenceRange1"), 2);
    f->form->control<QCheckBox>("cbAutoStop")->setChecked(autoStop);
    StringGrid *g = f->form->control<StringGrid>("ResistenceGrid");
    f->form->results().set(Results::resistenceCell(5, 1), Old);

    // A value still on its way from before the start: the drain after the pause takes it.
    QVERIFY(bench.write(resistancePacket(7.0f)));
    const Sent start = sentDuring(bench, [&] { QTest::mouseClick(f->form->control<QPushButton>("Resist"), Qt::LeftButton); });

    QCOMPARE(start.bytes, bytes({0xAA, 2, 52}));
    QVERIFY(start.actionMs >= 1000);
    // The lead goes out before the pause, not held back with the range bytes after it.
    QVERIFY2(start.leadToTailMs >= 500, qPrintable(QString::number(start.leadToTailMs)));
    QCOMPARE(g->cell(5, 1), QString());
    QVERIFY(!f->form->control<QPushButton>("Resist")->isEnabled());
    for (RadioGroup *group :
         {f->form->control<RadioGroup>("RadioGroup2"), f->form->control<RadioGroup>("RadioGroup3"), f->form->control<RadioGroup>("RadioGroup4"), f->form->control<RadioGroup>("ResistenceRange1")})
        QVERIFY(!group->isEnabled());
    QVERIFY(!f->windows->link.watchdog().isActive());
    QCOMPARE(f->windows->tests.Timer2->isActive(), autoStop);

    QVERIFY(bench.write(resistancePacket(12.5f)));
    const QString value = QLocale::system().toString(12.5, 'f', 3);
    QTRY_COMPARE(g->cell(5, 1), value);
    QCOMPARE(f->form->control<QLabel>("Label6")->text(), QStringLiteral("R 1"));
    QVERIFY(f->windows->link.watchdog().isActive());

    const Sent stop = sentDuring(bench, [&] {
        if (autoStop)
            f->windows->tests.Timer2Timer();
        else
            QTest::mouseClick(f->form->control<QPushButton>("ResistStop"), Qt::LeftButton);
    });

    QCOMPARE(stop.bytes, bytes({0xAA, 5, 55}));
    QVERIFY(stop.actionMs >= 1000);
    QVERIFY2(stop.leadToTailMs >= 500, qPrintable(QString::number(stop.leadToTailMs)));
    QVERIFY(!f->windows->tests.Timer2->isActive());
    for (RadioGroup *group :
         {f->form->control<RadioGroup>("RadioGroup2"), f->form->control<RadioGroup>("RadioGroup3"), f->form->control<RadioGroup>("RadioGroup4"), f->form->control<RadioGroup>("ResistenceRange1")})
        QVERIFY(group->isEnabled());
    QVERIFY(!f->form->control<QPushButton>("Resist")->isEnabled());

    // After the stop a late value is thrown away; the next signal packet frees "Пуск".
    QVERIFY(bench.write(resistancePacket(99.0f) + signalPacket({})));
    QTRY_VERIFY(f->form->control<QPushButton>("Resist")->isEnabled());
    QCOMPARE(g->cell(5, 1), value);
    QVERIFY(bench.readAvailable().isEmpty());
    QVERIFY(f->prompts.messages.isEmpty());
}

QTEST_MAIN(TstTestPages)
#include "tst_testpages.moc"
