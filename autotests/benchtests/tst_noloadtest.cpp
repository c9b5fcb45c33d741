#include "arithmetic.h"
#include "bencherror.h"
#include "noloadtest.h"
#include "recordingsink.h"

#include <QTest>

Q_DECLARE_METATYPE(BenchReadings)

namespace {

const QStringList NoLoadFields = {"Uab00", "Ubc00", "Uca00", "Ia00", "Ib00",
                                  "Ic00",  "Ixx00", "Ixx01", "Pxx00"};

BenchReadings threePhase()
{
    BenchReadings r;
    r.Uab = 400.04L;
    r.Ubc = 399.96L;
    r.Uca = 401.25L;
    r.Ia = 1.2L;
    r.Ib = 1.25L;
    r.Ic = 1.252L;
    r.Iavg = 1.234L;
    r.Ptotal = 1234.567L;
    return r;
}

RatedValues ratedLV(long double current)
{
    RatedValues rated;
    rated.RatedCurrentLV = current;
    return rated;
}

} // namespace

class NoLoadTest : public QObject {
    Q_OBJECT
private slots:
    void fieldsShowTheReadingsWithTheirDecimals_data();
    void fieldsShowTheReadingsWithTheirDecimals();
    void onePhaseLeavesTheOtherPhasesEmptyAfterAThreePhaseRun();
    void zeroRatedCurrentStopsBeforeThePercentage();
};

void NoLoadTest::fieldsShowTheReadingsWithTheirDecimals_data()
{
    QTest::addColumn<BenchReadings>("readings");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const BenchReadings r = threePhase();
    QTest::newRow("no-load current with three decimals") << r << 3 << "Ixx00" << "1.234";
    QTest::newRow("per cent of the rated LV current") << r << 3 << "Ixx01" << "2.47";
    QTest::newRow("power with one decimal fewer than currents") << r << 2 << "Pxx00" << "1234.6";
    QTest::newRow("power without decimals when currents have none") << r << 0 << "Pxx00" << "1235";
    QTest::newRow("voltage with one decimal") << r << 3 << "Uab00" << "400.0";
    QTest::newRow("voltage BC") << r << 3 << "Ubc00" << "400.0";
    QTest::newRow("voltage CA") << r << 3 << "Uca00" << "401.3";
    QTest::newRow("current with two decimals") << r << 2 << "Ic00" << "1.25";
    QTest::newRow("current B rounds half away from zero") << r << 1 << "Ib00" << "1.3";

    BenchReadings zero;
    QTest::newRow("zero current padded to width three") << zero << 0 << "Ia00" << "  0";
    QTest::newRow("zero power padded to width three") << zero << 1 << "Pxx00" << "  0";
    QTest::newRow("zero per cent") << zero << 3 << "Ixx01" << "0.00";

    BenchReadings negative;
    negative.Ptotal = -12.34L;
    QTest::newRow("negative power keeps its sign") << negative << 3 << "Pxx00" << "-12.34";
}

void NoLoadTest::fieldsShowTheReadingsWithTheirDecimals()
{
    QFETCH(BenchReadings, readings);
    QFETCH(int, digits);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    RecordingSink sink;
    runNoLoadTest(readings, ratedLV(50), digits, false, sink);
    QCOMPARE(sink.text(field), expected);
}

void NoLoadTest::onePhaseLeavesTheOtherPhasesEmptyAfterAThreePhaseRun()
{
    RecordingSink sink;
    runNoLoadTest(threePhase(), ratedLV(50), 3, false, sink);
    QCOMPARE(sink.text("Ic00"), QString("1.252"));

    runNoLoadTest(threePhase(), ratedLV(50), 3, true, sink);
    for (const char *field : {"Ubc00", "Uca00", "Ib00", "Ic00"})
        QVERIFY2(sink.text(field).isEmpty(), field);
    QCOMPARE(sink.text("Uab00"), QString("400.0"));
    QCOMPARE(sink.text("Ia00"), QString("1.200"));
    QCOMPARE(sink.text("Ixx00"), QString("1.234"));
    QCOMPARE(sink.text("Ixx01"), QString("2.47"));
    QCOMPARE(sink.text("Pxx00"), QString("1234.57"));
}

void NoLoadTest::zeroRatedCurrentStopsBeforeThePercentage()
{
    RecordingSink sink;
    sink.preset(NoLoadFields, "old");

    try {
        runNoLoadTest(threePhase(), ratedLV(0), 3, false, sink);
        QFAIL("a zero rated current must end the test");
    } catch (const BenchError &error) {
        QCOMPARE(error.text(), DivisionByZeroText);
    }
    QCOMPARE(sink.text("Ia00"), QString("1.200"));
    QCOMPARE(sink.text("Pxx00"), QString("1234.57"));
    QCOMPARE(sink.text("Ixx00"), QString("1.234"));
    for (const char *field : {"Ixx01", "Uab00", "Ubc00", "Uca00", "Ib00", "Ic00"})
        QVERIFY2(sink.text(field).isEmpty(), field);
}

QTEST_GUILESS_MAIN(NoLoadTest)
#include "tst_noloadtest.moc"
