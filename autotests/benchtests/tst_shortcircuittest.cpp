#include "arithmetic.h"
#include "bencherror.h"
#include "recordingsink.h"
#include "shortcircuittest.h"

#include <QTest>
#include <utility>

using FieldTexts = QList<std::pair<QString, QString>>;
Q_DECLARE_METATYPE(BenchReadings)
Q_DECLARE_METATYPE(RatedValues)

namespace {

const QStringList ShortCircuitFields = {"Uab10",  "Ubc10",  "Uca10",  "Ukz100", "Ukz110", "Ia10",
                                        "Ib10",   "Ic10",   "Ikz10",  "Pkz10",  "Ukz101", "Ukz111",
                                        "Pkz11",  "Ukz102", "Ukz112", "Pkz12"};

// A transformer of 25 kVA, 400 V, 10 A on the HV side, copper at 20 °C.
RatedValues rated25kVA()
{
    RatedValues rated;
    rated.RatedPower = 25;
    rated.RatedVoltageHV = 400;
    rated.RatedCurrentHV = 10;
    rated.WindingTemperature = 20;
    rated.MaterialConstant = CopperConstant;
    return rated;
}

BenchReadings measured(long double p, long double i, long double u)
{
    BenchReadings r;
    r.Uab = u;
    r.Ubc = u + 0.5L;
    r.Uca = u - 0.5L;
    r.Ia = i;
    r.Ib = i + 0.01L;
    r.Ic = i - 0.01L;
    r.Ptotal = p;
    r.Iavg = i;
    r.Uavg = u;
    return r;
}

RecordingSink afterRun(const BenchReadings &readings, const RatedValues &rated, int digits,
                       bool onePhase = false)
{
    RecordingSink sink;
    runShortCircuitTest(readings, rated, digits, onePhase, sink);
    return sink;
}

} // namespace

class ShortCircuitTest : public QObject {
    Q_OBJECT
private slots:
    void temperatureFactorComesFromTheWindingMaterial_data();
    void temperatureFactorComesFromTheWindingMaterial();
    void temperatureFactorOfAZeroDivisorIsAnError();
    void resultsAreReducedToRatedCurrentAndTo75Degrees_data();
    void resultsAreReducedToRatedCurrentAndTo75Degrees();
    void onePhaseEmptiesTheOtherPhasesButKeepsTheReductions();
    void failingStepKeepsTheTextsOfTheLaterSteps_data();
    void failingStepKeepsTheTextsOfTheLaterSteps();
};

void ShortCircuitTest::temperatureFactorComesFromTheWindingMaterial_data()
{
    QTest::addColumn<int>("material");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("expected");

    QTest::newRow("copper at 20 degrees") << 235 << 20.0 << 310.0 / 255.0;
    QTest::newRow("aluminium at 20 degrees") << 225 << 20.0 << 300.0 / 245.0;
    QTest::newRow("copper at 75 degrees") << 235 << 75.0 << 1.0;
    QTest::newRow("copper at a fractional temperature") << 235 << 22.5 << 310.0 / 257.5;
    QTest::newRow("aluminium below zero") << 225 << -10.0 << 300.0 / 215.0;
}

void ShortCircuitTest::temperatureFactorComesFromTheWindingMaterial()
{
    QFETCH(int, material);
    QFETCH(double, temperature);
    QFETCH(double, expected);
    QCOMPARE(double(temperatureFactor(std::uint8_t(material), temperature)), expected);
}

void ShortCircuitTest::temperatureFactorOfAZeroDivisorIsAnError()
{
    // The constant is still 0 before the material is first chosen.
    QVERIFY_THROWS_EXCEPTION(BenchError, temperatureFactor(0, 0));
    QVERIFY_THROWS_EXCEPTION(BenchError, temperatureFactor(235, -235));
}

void ShortCircuitTest::resultsAreReducedToRatedCurrentAndTo75Degrees_data()
{
    QTest::addColumn<BenchReadings>("readings");
    QTest::addColumn<RatedValues>("rated");
    QTest::addColumn<int>("digits");
    QTest::addColumn<FieldTexts>("expected");

    const RatedValues rated = rated25kVA();
    QTest::newRow("900 W at 9 A reduced to 10 A")
        << measured(900, 9, 36) << rated << 2
        << FieldTexts{{"Pkz10", "900.0"}, {"Pkz11", "1111.1"}, {"Ikz10", "9.00"},
                      {"Ukz100", "36.0"}, {"Ukz110", "9.00"}, {"Ukz101", "40.0"},
                      {"Ukz111", "10.00"}};
    QTest::newRow("uk at 75 degrees for copper at 20")
        << measured(1000, 10, 40) << rated << 2
        << FieldTexts{{"Pkz11", "1000.0"}, {"Pkz12", "1215.7"}, {"Ukz112", "10.4"},
                      {"Ukz102", "41.50"}};

    RatedValues warm = rated;
    warm.WindingTemperature = 75;
    QTest::newRow("at 75 degrees the last row repeats the one above")
        << measured(1000, 10, 40) << warm << 3
        << FieldTexts{{"Pkz11", "1000.00"}, {"Pkz12", "1000.00"}, {"Ukz111", "10.00"},
                      {"Ukz112", "10.0"}, {"Ukz101", "40.0"}, {"Ukz102", "40.00"}};

    QTest::newRow("no current keeps the measured values silently")
        << measured(500, 0, 30) << rated << 3
        << FieldTexts{{"Pkz10", "500.00"}, {"Pkz11", "500.00"}, {"Ukz100", "30.0"},
                      {"Ukz101", "30.0"}, {"Ukz111", "7.50"}, {"Pkz12", "607.84"}};

    QTest::newRow("powers without decimals when currents have none")
        << measured(1234.4L, 10, 40) << rated << 0
        << FieldTexts{{"Pkz10", "1234"}, {"Pkz11", "1234"}, {"Ikz10", " 10"}, {"Ia10", " 10"}};

    QTest::newRow("measured row with width three")
        << measured(0, 0, 0) << rated << 1
        << FieldTexts{{"Uab10", "0.0"}, {"Ia10", "0.0"}, {"Pkz10", "  0"}, {"Ukz110", "0.00"}};
}

void ShortCircuitTest::resultsAreReducedToRatedCurrentAndTo75Degrees()
{
    QFETCH(BenchReadings, readings);
    QFETCH(RatedValues, rated);
    QFETCH(int, digits);
    QFETCH(FieldTexts, expected);

    const RecordingSink sink = afterRun(readings, rated, digits);
    for (const auto &[field, text] : expected)
        QCOMPARE(sink.text(field), text);
}

void ShortCircuitTest::onePhaseEmptiesTheOtherPhasesButKeepsTheReductions()
{
    RecordingSink sink = afterRun(measured(900, 9, 36), rated25kVA(), 2);
    QCOMPARE(sink.text("Ib10"), QString("9.01"));

    runShortCircuitTest(measured(900, 9, 36), rated25kVA(), 2, true, sink);
    for (const char *field : {"Ubc10", "Uca10", "Ib10", "Ic10"})
        QVERIFY2(sink.text(field).isEmpty(), field);
    QCOMPARE(sink.text("Uab10"), QString("36.0"));
    QCOMPARE(sink.text("Ia10"), QString("9.00"));
    QCOMPARE(sink.text("Pkz11"), QString("1111.1"));
    QCOMPARE(sink.text("Ukz101"), QString("40.0"));
}

void ShortCircuitTest::failingStepKeepsTheTextsOfTheLaterSteps_data()
{
    QTest::addColumn<RatedValues>("rated");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("kept");

    RatedValues noMaterial = rated25kVA();
    noMaterial.MaterialConstant = 0;
    noMaterial.WindingTemperature = 0;
    QTest::newRow("no material and 0 degrees")
        << noMaterial << DivisionByZeroText
        << QStringList{"Pkz12", "Ikz10", "Ukz100", "Ukz110", "Ukz101", "Ukz111", "Ukz112", "Ukz102"};

    RatedValues noVoltage = rated25kVA();
    noVoltage.RatedVoltageHV = 0;
    QTest::newRow("zero rated HV voltage")
        << noVoltage << DivisionByZeroText
        << QStringList{"Ukz110", "Ukz101", "Ukz111", "Ukz112", "Ukz102"};

    RatedValues noPower = rated25kVA();
    noPower.RatedPower = 0;
    QTest::newRow("zero rated power")
        << noPower << DivisionByZeroText << QStringList{"Ukz112", "Ukz102"};

    // Above 75 °C the factor drops below 1; with a large active part the root goes negative.
    RatedValues hot = rated25kVA();
    hot.WindingTemperature = 100;
    hot.RatedPower = 3;
    QTest::newRow("negative value under the root")
        << hot << InvalidOperationText << QStringList{"Ukz112", "Ukz102"};
}

void ShortCircuitTest::failingStepKeepsTheTextsOfTheLaterSteps()
{
    QFETCH(RatedValues, rated);
    QFETCH(QString, error);
    QFETCH(QStringList, kept);

    RecordingSink sink;
    sink.preset(ShortCircuitFields, "old");
    try {
        runShortCircuitTest(measured(1000, 10, 40), rated, 2, false, sink);
        QFAIL("the test must end at the failing step");
    } catch (const BenchError &e) {
        QCOMPARE(e.text(), error);
    }
    for (const QString &field : ShortCircuitFields) {
        if (kept.contains(field))
            QCOMPARE(sink.text(field), QString("old"));
        else
            QVERIFY2(sink.text(field) != "old", qPrintable(field));
    }
}

QTEST_GUILESS_MAIN(ShortCircuitTest)
#include "tst_shortcircuittest.moc"
