#include "bencherror.h"
#include "ratedentry.h"

#include <QTest>

Q_DECLARE_METATYPE(EntryField)
Q_DECLARE_METATYPE(EntryCheck::Outcome)
Q_DECLARE_METATYPE(RatedValues)
Q_DECLARE_METATYPE(RatedTexts)

namespace {

using Outcome = EntryCheck::Outcome;

const QString Prefix = QStringLiteral("Набор символов '");
const QString PowerSuffix = QStringLiteral("' в поле Pном, не является числом.");
const QString VoltageSuffix = QStringLiteral("' в поле Uном, не является числом.");
const QString CurrentSuffix = QStringLiteral("' в поле Iном, не является числом.");
const QString TemperatureSuffix = QStringLiteral("' в поле 'Температура', не является числом.");
const QString PlainSuffix = QStringLiteral("', не является числом.");
const QString MissingPower = QStringLiteral("Отсутствует номинальная мощность трансформатора.");
const QString MissingVoltage = QStringLiteral("Отсутствует номинальное напряжение трансформатора.");
const QString MissingCurrent = QStringLiteral("Отсутствует номинальный ток трансформатора.");

RatedValues earlierValues()
{
    RatedValues rated;
    rated.RatedPower = 1;
    rated.RatedVoltageHV = 2;
    rated.RatedCurrentHV = 3;
    rated.RatedVoltageLV = 4;
    rated.RatedCurrentLV = 5;
    rated.WindingTemperature = 6;
    return rated;
}

RatedTexts allPresent()
{
    return RatedTexts{"25", "400", "10000", "36", "1.44"};
}

} // namespace

class RatedEntryTest : public QObject {
    Q_OBJECT
private slots:
    void captionsAreTheOperatorsOwn();
    void checkedText_data();
    void checkedText();
    void numberIsStoredInItsOwnField_data();
    void numberIsStoredInItsOwnField();
    void emptyOrBadTextKeepsTheStoredValue_data();
    void emptyOrBadTextKeepsTheStoredValue();
    void emptyTemperatureAtStartIsReported();
    void materialConstant_data();
    void materialConstant();
    void missingRatedData_data();
    void missingRatedData();
    void firstGapKeepsATestPageShut_data();
    void firstGapKeepsATestPageShut();
};

void RatedEntryTest::captionsAreTheOperatorsOwn()
{
    QCOMPARE(InputErrorCaption, QStringLiteral("Ошибка ввода параметров"));
    QCOMPARE(MissingRatedDataCaption, QStringLiteral("Нехватка параметров трансформатора"));
}

void RatedEntryTest::checkedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<EntryField>("field");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("12.5 in Pnom") << "12.5" << EntryField::Pnom << Outcome::Number << 12.5 << "";
    QTest::newRow("12,5 in Pnom") << "12,5" << EntryField::Pnom << Outcome::NotANumber << 0.0
                                  << Prefix + "12,5" + PowerSuffix;
    QTest::newRow("400 after a space") << " 400" << EntryField::Unom << Outcome::Number << 400.0 << "";
    QTest::newRow("400 before a space") << "400 " << EntryField::Unom << Outcome::NotANumber << 0.0
                                        << Prefix + "400 " + VoltageSuffix;
    QTest::newRow("1E3 in Unom") << "1E3" << EntryField::Unom << Outcome::Number << 1000.0 << "";
    QTest::newRow("negative with exponent") << "-5e-1" << EntryField::Temperature << Outcome::Number
                                            << -0.5 << "";
    QTest::newRow("0,4 in Unom") << "0,4" << EntryField::Unom << Outcome::NotANumber << 0.0
                                 << Prefix + "0,4" + VoltageSuffix;
    QTest::newRow("0,4 in Unom2 names the same field") << "0,4" << EntryField::Unom2
                                                       << Outcome::NotANumber << 0.0
                                                       << Prefix + "0,4" + VoltageSuffix;
    QTest::newRow("units in Inom") << "10 A" << EntryField::Inom << Outcome::NotANumber << 0.0
                                   << Prefix + "10 A" + CurrentSuffix;
    QTest::newRow("two points in Inom2") << "1.2.3" << EntryField::Inom2 << Outcome::NotANumber << 0.0
                                         << Prefix + "1.2.3" + CurrentSuffix;
    QTest::newRow("comma in Temperature") << "20,5" << EntryField::Temperature << Outcome::NotANumber
                                          << 0.0 << Prefix + "20,5" + TemperatureSuffix;
    QTest::newRow("a letter in RepairNumber")
        << QStringLiteral("А123") << EntryField::Plain << Outcome::NotANumber << 0.0
        << Prefix + QStringLiteral("А123") + PlainSuffix;
    QTest::newRow("a year") << "2024" << EntryField::Plain << Outcome::Number << 2024.0 << "";
    QTest::newRow("below the extended range reads as 0")
        << "1e-5000" << EntryField::Pnom << Outcome::Number << 0.0 << "";
    QTest::newRow("empty passes quietly") << "" << EntryField::Pnom << Outcome::Empty << 0.0 << "";
    QTest::newRow("blanks are text") << "  " << EntryField::Inom << Outcome::NotANumber << 0.0
                                     << Prefix + "  " + CurrentSuffix;
}

void RatedEntryTest::checkedText()
{
    QFETCH(QString, text);
    QFETCH(EntryField, field);
    QFETCH(Outcome, outcome);
    QFETCH(double, value);
    QFETCH(QString, message);

    const EntryCheck check = checkEntry(text, field);
    QCOMPARE(check.outcome, outcome);
    QCOMPARE(check.message, message);
    if (outcome == Outcome::Number)
        QCOMPARE(double(check.value), value);
}

void RatedEntryTest::numberIsStoredInItsOwnField_data()
{
    QTest::addColumn<EntryField>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<RatedValues>("expected");

    RatedValues rated = earlierValues();
    rated.RatedPower = 12.5;
    QTest::newRow("Pnom") << EntryField::Pnom << "12.5" << rated;
    rated = earlierValues();
    rated.RatedVoltageLV = 1000;
    QTest::newRow("Unom") << EntryField::Unom << "1E3" << rated;
    rated = earlierValues();
    rated.RatedVoltageHV = 10000;
    QTest::newRow("Unom2") << EntryField::Unom2 << "10000" << rated;
    rated = earlierValues();
    rated.RatedCurrentLV = 36.1;
    QTest::newRow("Inom") << EntryField::Inom << "36.1" << rated;
    rated = earlierValues();
    rated.RatedCurrentHV = 1.44;
    QTest::newRow("Inom2") << EntryField::Inom2 << "1.44" << rated;
    rated = earlierValues();
    rated.WindingTemperature = 20;
    QTest::newRow("Temperature") << EntryField::Temperature << "20" << rated;
    QTest::newRow("a protocol field stores nothing") << EntryField::Plain << "7" << earlierValues();
}

void RatedEntryTest::numberIsStoredInItsOwnField()
{
    QFETCH(EntryField, field);
    QFETCH(QString, text);
    QFETCH(RatedValues, expected);

    RatedValues rated = earlierValues();
    QCOMPARE(enterValue(text, field, rated).outcome, Outcome::Number);
    QCOMPARE(double(rated.RatedPower), double(expected.RatedPower));
    QCOMPARE(double(rated.RatedVoltageHV), double(expected.RatedVoltageHV));
    QCOMPARE(double(rated.RatedCurrentHV), double(expected.RatedCurrentHV));
    QCOMPARE(double(rated.RatedVoltageLV), double(expected.RatedVoltageLV));
    QCOMPARE(double(rated.RatedCurrentLV), double(expected.RatedCurrentLV));
    QCOMPARE(double(rated.WindingTemperature), double(expected.WindingTemperature));
}

void RatedEntryTest::emptyOrBadTextKeepsTheStoredValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("comma") << "12,5";
    QTest::newRow("trailing space") << "400 ";
    QTest::newRow("beyond the extended range") << "1e5000";
}

// A number too large for any store is refused as an overflow, not as a text that is no
// number; nothing is stored either way.
void RatedEntryTest::emptyOrBadTextKeepsTheStoredValue()
{
    QFETCH(QString, text);
    for (EntryField field : {EntryField::Pnom, EntryField::Unom, EntryField::Unom2, EntryField::Inom,
                             EntryField::Inom2, EntryField::Temperature}) {
        RatedValues rated = earlierValues();
        try {
            enterValue(text, field, rated);
            QVERIFY(text != "1e5000");
        } catch (const BenchError &e) {
            QCOMPARE(e.text(), QStringLiteral("Floating point overflow"));
        }
        QCOMPARE(double(rated.RatedPower), 1.0);
        QCOMPARE(double(rated.RatedVoltageHV), 2.0);
        QCOMPARE(double(rated.RatedCurrentHV), 3.0);
        QCOMPARE(double(rated.RatedVoltageLV), 4.0);
        QCOMPARE(double(rated.RatedCurrentLV), 5.0);
        QCOMPARE(double(rated.WindingTemperature), 6.0);
    }
}

void RatedEntryTest::emptyTemperatureAtStartIsReported()
{
    RatedValues rated = earlierValues();
    const EntryCheck check = enterValue("", EntryField::Temperature, rated, false);
    QCOMPARE(check.outcome, Outcome::NotANumber);
    QCOMPARE(check.message, Prefix + TemperatureSuffix);
    QCOMPARE(double(rated.WindingTemperature), 6.0);
}

void RatedEntryTest::materialConstant_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("expected");
    QTest::newRow("copper") << 0 << 235;
    QTest::newRow("aluminium") << 1 << 225;
    QTest::newRow("nothing selected") << -1 << 225;
}

void RatedEntryTest::materialConstant()
{
    QFETCH(int, item);
    QFETCH(int, expected);
    QCOMPARE(int(materialConstantFor(item)), expected);
}

void RatedEntryTest::missingRatedData_data()
{
    QTest::addColumn<RatedTexts>("texts");
    QTest::addColumn<QString>("expected");

    const QString end = QStringLiteral("\n\r");
    QTest::newRow("all present") << allPresent() << "";

    RatedTexts t = allPresent();
    t.Pnom.clear();
    t.Unom2.clear();
    QTest::newRow("power and HV voltage missing") << t << MissingPower + end + MissingVoltage + end;

    t = allPresent();
    t.Unom.clear();
    t.Unom2.clear();
    QTest::newRow("both voltages give one line") << t << MissingVoltage + end;

    t = allPresent();
    t.Inom.clear();
    QTest::newRow("LV current missing") << t << MissingCurrent + end;

    QTest::newRow("everything missing")
        << RatedTexts{} << MissingPower + end + MissingVoltage + end + MissingCurrent + end;

    t = allPresent();
    t.Pnom = " ";
    QTest::newRow("a blank counts as text") << t << "";
}

void RatedEntryTest::missingRatedData()
{
    QFETCH(RatedTexts, texts);
    QFETCH(QString, expected);
    QCOMPARE(missingRatedDataMessage(texts), expected);
}

void RatedEntryTest::firstGapKeepsATestPageShut_data()
{
    QTest::addColumn<RatedTexts>("texts");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<int>("notANumber"); // an EntryField, -1 for none

    QTest::newRow("all present and numbers") << allPresent() << false << -1;

    RatedTexts t = allPresent();
    t.Inom.clear();
    t.Pnom = "x";
    QTest::newRow("missing data is told before a bad text") << t << true << -1;

    t = allPresent();
    t.Inom2 = "1,44";
    t.Unom2 = "0,4";
    t.Inom = "10 000";
    QTest::newRow("HV current comes before the LV fields") << t << false << int(EntryField::Inom);

    t = allPresent();
    t.Inom2 = "1,44";
    t.Unom2 = "0,4";
    QTest::newRow("LV voltage comes before LV current") << t << false << int(EntryField::Unom2);

    t = allPresent();
    t.Pnom = " ";
    QTest::newRow("a blank is text that is no number") << t << false << int(EntryField::Pnom);

    t = allPresent();
    t.Unom = "1e99999";
    QTest::newRow("a number too large is left to its reading") << t << false << -1;
}

void RatedEntryTest::firstGapKeepsATestPageShut()
{
    QFETCH(RatedTexts, texts);
    QFETCH(bool, missing);
    QFETCH(int, notANumber);
    const RatedDataGap gap = firstRatedDataGap(texts);
    QCOMPARE(gap.missing.isEmpty(), !missing);
    QCOMPARE(gap.missing, missingRatedDataMessage(texts));
    QCOMPARE(gap.notANumber ? int(*gap.notANumber) : -1, notANumber);
    QCOMPARE(gap.complete(), !missing && notANumber < 0);
}

QTEST_GUILESS_MAIN(RatedEntryTest)
#include "tst_ratedentry.moc"
