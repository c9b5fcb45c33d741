#include "controls.h"
#include "operatortyping.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

const QString NotANumber = QStringLiteral("Набор символов '");
const QString PowerSuffix = QStringLiteral("' в поле Pном, не является числом.");
const QString VoltageSuffix = QStringLiteral("' в поле Uном, не является числом.");
const QString CurrentSuffix = QStringLiteral("' в поле Iном, не является числом.");
const QString TemperatureSuffix = QStringLiteral("' в поле 'Температура', не является числом.");
const QString PlainSuffix = QStringLiteral("', не является числом.");
const QString InputErrorCaption = QStringLiteral("Ошибка ввода параметров");

// A value no field holds until a handler stores one.
constexpr long double Untouched = 7;

enum class Store { None, Power, VoltageLV, VoltageHV, CurrentLV, CurrentHV, Temperature };

long double stored(const RatedValues &r, Store s)
{
    switch (s) {
    case Store::Power: return r.RatedPower;
    case Store::VoltageLV: return r.RatedVoltageLV;
    case Store::VoltageHV: return r.RatedVoltageHV;
    case Store::CurrentLV: return r.RatedCurrentLV;
    case Store::CurrentHV: return r.RatedCurrentHV;
    case Store::Temperature: return r.WindingTemperature;
    case Store::None: break;
    }
    return Untouched;
}

} // namespace

Q_DECLARE_METATYPE(Store)

class TstRatedFields : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void leavingAFieldChecksItsText_data();
    void leavingAFieldChecksItsText();
    void twoFieldsWithBadTextsDoNotBounceTheFocusBetweenThem();
    void temperatureIsReadAtStartFromWhateverWasRestored_data();
    void temperatureIsReadAtStartFromWhateverWasRestored();
    void materialChoiceSetsItsConstant_data();
    void materialChoiceSetsItsConstant();

private:
    QLineEdit *edit(const QString &name) const { return f->form->findChild<QLineEdit *>(name); }

    std::unique_ptr<WindowFixture> f;
};

void TstRatedFields::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
    RatedValues &r = f->windows->rated.Rated;
    r.RatedPower = r.RatedVoltageLV = r.RatedVoltageHV = r.RatedCurrentLV = r.RatedCurrentHV =
        r.WindingTemperature = Untouched;
}

void TstRatedFields::cleanup()
{
    f.reset();
}

void TstRatedFields::leavingAFieldChecksItsText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<Store>("store");
    QTest::addColumn<double>("value");

    const double kept = double(Untouched);
    QTest::newRow("400 after a space") << "Pnom" << " 400" << "" << Store::Power << 400.0;
    QTest::newRow("400 followed by a space")
        << "Pnom" << "400 " << NotANumber + "400 " + PowerSuffix << Store::Power << kept;
    QTest::newRow("12.5 in Pnom") << "Pnom" << "12.5" << "" << Store::Power << 12.5;
    QTest::newRow("12,5 in Pnom")
        << "Pnom" << "12,5" << NotANumber + "12,5" + PowerSuffix << Store::Power << kept;
    QTest::newRow("empty Pnom") << "Pnom" << "" << "" << Store::Power << kept;
    QTest::newRow("1E3 in Unom") << "Unom" << "1E3" << "" << Store::VoltageLV << 1000.0;
    QTest::newRow("0,4 in Unom")
        << "Unom" << "0,4" << NotANumber + "0,4" + VoltageSuffix << Store::VoltageLV << kept;
    QTest::newRow("0,4 in Unom2, same words")
        << "Unom2" << "0,4" << NotANumber + "0,4" + VoltageSuffix << Store::VoltageHV << kept;
    QTest::newRow("-5 in Inom") << "Inom" << "-5" << "" << Store::CurrentLV << -5.0;
    QTest::newRow("units in Inom2")
        << "Inom2" << "10 A" << NotANumber + "10 A" + CurrentSuffix << Store::CurrentHV << kept;
    QTest::newRow("20 in Temperature") << "Temperature" << "20" << "" << Store::Temperature << 20.0;
    QTest::newRow("letter O in Temperature")
        << "Temperature" << "2O" << NotANumber + "2O" + TemperatureSuffix << Store::Temperature << kept;
    QTest::newRow("letter in RepairNumber")
        << "RepairNumber" << "А123" << NotANumber + "А123" + PlainSuffix << Store::None << kept;
    QTest::newRow("two points in Ulow")
        << "Ulow" << "1.2.3" << NotANumber + "1.2.3" + PlainSuffix << Store::None << kept;
    QTest::newRow("number in RHigh15") << "RHigh15" << "1e3" << "" << Store::None << kept;
}

// The operator types, leaves with Tab; a text that is not a number is reported, the field
// gets the focus back with all of its text selected, and leaving it again reports it again.
void TstRatedFields::leavingAFieldChecksItsText()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(Store, store);
    QFETCH(double, value);

    QLineEdit *e = edit(field);
    QVERIFY(e);
    f->showPageOf(e);
    e->clear();
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());
    typeText(e, typed);
    QTest::keyClick(e, Qt::Key_Tab);

    if (message.isEmpty()) {
        QVERIFY(!e->hasFocus());
        QTest::qWait(20);
        QVERIFY(f->prompts.messages.isEmpty());
        QVERIFY(!e->hasFocus());
    } else {
        QCOMPARE(f->prompts.messages.size(), 1);
        QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
        QCOMPARE(f->prompts.messages[0].text, message);
        QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
        QTRY_VERIFY(e->hasFocus());
        QCOMPARE(e->selectedText(), typed);

        QTest::keyClick(e, Qt::Key_Tab);
        QCOMPARE(f->prompts.messages.size(), 2);
        QCOMPARE(f->prompts.messages[1].text, message);
        QTRY_VERIFY(e->hasFocus());
    }
    QCOMPARE(e->text(), typed);
    QCOMPARE(double(stored(f->windows->rated.Rated, store)), value);
}

// Leaving Pnom for Unom2 when both hold texts that are not numbers: taking the focus back
// to Pnom leaves Unom2, which must not start a second message and a tug of war.
void TstRatedFields::twoFieldsWithBadTextsDoNotBounceTheFocusBetweenThem()
{
    f->form->control<QLineEdit>("Unom2")->setText(QStringLiteral("0,4"));
    f->form->control<QLineEdit>("Pnom")->setFocus();
    QTRY_VERIFY(f->form->control<QLineEdit>("Pnom")->hasFocus());
    typeText(f->form->control<QLineEdit>("Pnom"), QStringLiteral("12,5"));
    QTest::keyClick(f->form->control<QLineEdit>("Pnom"), Qt::Key_Tab);
    QTRY_VERIFY(f->form->control<QLineEdit>("Pnom")->hasFocus());
    QTest::qWait(50);
    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].text, NotANumber + "12,5" + PowerSuffix);
    QVERIFY(f->form->control<QLineEdit>("Pnom")->hasFocus());

    // Once Pnom is mended, leaving Unom2 reports Unom2 as usual.
    typeText(f->form->control<QLineEdit>("Pnom"), QStringLiteral("12.5"));
    QTest::keyClick(f->form->control<QLineEdit>("Pnom"), Qt::Key_Tab);
    QTRY_VERIFY(f->form->control<QLineEdit>("Unom2")->hasFocus());
    QTest::keyClick(f->form->control<QLineEdit>("Unom2"), Qt::Key_Tab);
    QCOMPARE(f->prompts.messages.size(), 2);
    QCOMPARE(f->prompts.messages[1].text, NotANumber + "0,4" + VoltageSuffix);
    QTRY_VERIFY(f->form->control<QLineEdit>("Unom2")->hasFocus());
    QVERIFY(f->windows->rated.Rated.RatedPower == 12.5L);
}

void TstRatedFields::temperatureIsReadAtStartFromWhateverWasRestored_data()
{
    QTest::addColumn<QString>("restored");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("value");
    QTest::newRow("20") << "20" << "" << 20.0;
    QTest::newRow("empty, reported with nothing between the quotes")
        << "" << NotANumber + TemperatureSuffix << double(Untouched);
}

void TstRatedFields::temperatureIsReadAtStartFromWhateverWasRestored()
{
    QFETCH(QString, restored);
    QFETCH(QString, message);
    QFETCH(double, value);

    f->form->control<QLineEdit>("Temperature")->setText(restored);
    f->windows->rated.TemperatureExit(f->form);

    if (message.isEmpty()) {
        QVERIFY(f->prompts.messages.isEmpty());
    } else {
        QCOMPARE(f->prompts.messages.size(), 1);
        QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
        QCOMPARE(f->prompts.messages[0].text, message);
        QTRY_VERIFY(f->form->control<QLineEdit>("Temperature")->hasFocus());
    }
    QCOMPARE(f->form->control<QLineEdit>("Temperature")->text(), restored);
    QCOMPARE(double(f->windows->rated.Rated.WindingTemperature), value);
}

void TstRatedFields::materialChoiceSetsItsConstant_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("constant");
    QTest::newRow("copper") << 0 << 235;
    QTest::newRow("aluminium") << 1 << 225;
}

void TstRatedFields::materialChoiceSetsItsConstant()
{
    QFETCH(int, item);
    QFETCH(int, constant);
    QCOMPARE(f->windows->rated.Rated.MaterialConstant, std::uint8_t(0));
    QTest::mouseClick(f->form->control<RadioGroup>("Material")->button(item), Qt::LeftButton);
    QCOMPARE(f->form->control<RadioGroup>("Material")->itemIndex(), item);
    QCOMPARE(int(f->windows->rated.Rated.MaterialConstant), constant);
    // And back again to the other metal.
    QTest::mouseClick(f->form->control<RadioGroup>("Material")->button(1 - item), Qt::LeftButton);
    QCOMPARE(int(f->windows->rated.Rated.MaterialConstant), 235 + 225 - constant);
    QVERIFY(f->prompts.messages.isEmpty());
}

QTEST_MAIN(TstRatedFields)
#include "tst_ratedfields.moc"
