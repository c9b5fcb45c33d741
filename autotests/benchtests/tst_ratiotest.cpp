#include "ratiotest.h"
#include "recordingsink.h"

#include <QTest>

namespace {

const QString Taps = QStringLiteral("TransformGrid");
const QString Measured = QStringLiteral("TransformGrid1");

BenchReadings ratios(long double kab, long double kbc, long double kca)
{
    BenchReadings r;
    r.Kab = kab;
    r.Kbc = kbc;
    r.Kca = kca;
    r.Uab = 400.123L;
    r.Ubc = 401.5L;
    r.Uca = 399.255L;
    r.U2ab = 10003.07L;
    r.U2bc = 10077.6L;
    r.U2ca = 9941.45L;
    r.PhaseGroup = 11;
    return r;
}

RatedValues ratedLV(long double voltage)
{
    RatedValues rated;
    rated.RatedVoltageLV = voltage;
    return rated;
}

constexpr int TapI = 0, TapII = 1, TapIII = 2, TapV = 4;

} // namespace

class RatioTest : public QObject {
    Q_OBJECT
private slots:
    void tapColumnsHoldImpliedVoltageAndRatio_data();
    void tapColumnsHoldImpliedVoltageAndRatio();
    void measurementTableShowsTheLastPress_data();
    void measurementTableShowsTheLastPress();
    void groupIsAClockNumberWithoutPadding_data();
    void groupIsAClockNumberWithoutPadding();
    void tapsFillUpOneByOne();
    void onePhaseEmptiesRowsBcAndCaOfItsTap();
    void zeroRatioGivesZeroVoltage();
    void doubleClickEmptiesOnlyTheSelectedTap();
    void noTapSelectedLeavesEverything();
};

void RatioTest::tapColumnsHoldImpliedVoltageAndRatio_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("voltage");
    QTest::addColumn<QString>("ratio");

    QTest::newRow("AB") << 0 << "10000.00" << "25.00";
    QTest::newRow("BC") << 1 << "10040.00" << "25.10";
    QTest::newRow("CA") << 2 << "9960.00" << "24.90";
}

void RatioTest::tapColumnsHoldImpliedVoltageAndRatio()
{
    QFETCH(int, row);
    QFETCH(QString, voltage);
    QFETCH(QString, ratio);

    RecordingSink sink;
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), 2, TapIII, false, sink);
    QCOMPARE(sink.cell(Taps, 4, row), voltage);
    QCOMPARE(sink.cell(Taps, 5, row), ratio);
    QCOMPARE(sink.cell(Taps, RatedVoltageColumn, row), QString("400.0"));
}

void RatioTest::measurementTableShowsTheLastPress_data()
{
    QTest::addColumn<int>("voltageDigits");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");

    QTest::newRow("HV voltage AB") << 2 << 0 << 0 << "10003.07";
    QTest::newRow("HV voltage CA") << 2 << 0 << 2 << "9941.45";
    QTest::newRow("ratio BC") << 2 << 1 << 1 << "25.10";
    QTest::newRow("LV voltage BC") << 2 << 2 << 1 << "401.50";
    QTest::newRow("LV voltage CA rounds half away") << 2 << 2 << 2 << "399.26";
    QTest::newRow("HV voltage through a voltage transformer") << 0 << 0 << 1 << "10078";
    QTest::newRow("ratio keeps two decimals through a voltage transformer") << 0 << 1 << 0 << "25.00";
    QTest::newRow("LV voltage through a voltage transformer") << 0 << 2 << 0 << "400";
}

void RatioTest::measurementTableShowsTheLastPress()
{
    QFETCH(int, voltageDigits);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, expected);

    RecordingSink sink;
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), voltageDigits, TapI, false, sink);
    QCOMPARE(sink.cell(Measured, column, row), expected);
}

void RatioTest::groupIsAClockNumberWithoutPadding_data()
{
    QTest::addColumn<double>("phaseGroup");
    QTest::addColumn<QString>("expected");

    QTest::newRow("eleven") << 11.0 << "11";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("five") << 5.0 << "5";
}

void RatioTest::groupIsAClockNumberWithoutPadding()
{
    QFETCH(double, phaseGroup);
    QFETCH(QString, expected);

    BenchReadings r = ratios(25, 25, 25);
    r.PhaseGroup = phaseGroup;
    RecordingSink sink;
    runRatioTest(r, ratedLV(400), 2, TapI, false, sink);
    QCOMPARE(sink.text("Group"), expected);
}

void RatioTest::tapsFillUpOneByOne()
{
    RecordingSink sink;
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), 2, TapI, false, sink);
    runRatioTest(ratios(26.0L, 26.1L, 25.9L), ratedLV(400), 2, TapII, false, sink);

    QCOMPARE(sink.cell(Taps, 0, 0), QString("10000.00"));
    QCOMPARE(sink.cell(Taps, 1, 2), QString("24.90"));
    QCOMPARE(sink.cell(Taps, 2, 0), QString("10400.00"));
    QCOMPARE(sink.cell(Taps, 3, 2), QString("25.90"));
    QCOMPARE(sink.cell(Measured, 1, 0), QString("26.00"));
}

void RatioTest::onePhaseEmptiesRowsBcAndCaOfItsTap()
{
    RecordingSink sink;
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), 2, TapI, false, sink);
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), 2, TapII, false, sink);
    runRatioTest(ratios(25.0L, 25.1L, 24.9L), ratedLV(400), 2, TapII, true, sink);

    for (int row = 1; row <= 2; ++row) {
        for (int column : {2, 3, RatedVoltageColumn})
            QVERIFY2(sink.cell(Taps, column, row).isEmpty(), qPrintable(QString::number(column)));
        for (int column : {0, 1, 2})
            QVERIFY2(sink.cell(Measured, column, row).isEmpty(), qPrintable(QString::number(column)));
    }
    QCOMPARE(sink.cell(Taps, 2, 0), QString("10000.00"));
    QCOMPARE(sink.cell(Taps, 3, 0), QString("25.00"));
    QCOMPARE(sink.cell(Taps, RatedVoltageColumn, 0), QString("400.0"));
    QCOMPARE(sink.cell(Measured, 0, 0), QString("10003.07"));
    QCOMPARE(sink.cell(Measured, 2, 0), QString("400.12"));
    // The other tap was measured as three phases and stays so.
    QCOMPARE(sink.cell(Taps, 1, 2), QString("24.90"));
}

void RatioTest::zeroRatioGivesZeroVoltage()
{
    RecordingSink sink;
    runRatioTest(ratios(0, 0, 0), ratedLV(400), 2, TapI, false, sink);
    QCOMPARE(sink.cell(Taps, 1, 0), QString("0.00"));
    QCOMPARE(sink.cell(Taps, 0, 0), QString("0.00"));

    runRatioTest(ratios(25, 25, 25), ratedLV(0), 0, TapI, false, sink);
    QCOMPARE(sink.cell(Taps, 0, 1), QString("  0"));
    QCOMPARE(sink.cell(Taps, RatedVoltageColumn, 1), QString("0.0"));
}

void RatioTest::doubleClickEmptiesOnlyTheSelectedTap()
{
    RecordingSink sink;
    for (int tap = TapI; tap <= TapV; ++tap)
        runRatioTest(ratios(25, 25, 25), ratedLV(400), 2, tap, false, sink);
    const QMap<QString, QString> before = sink.shown;

    clearRatioTap(TapV, sink);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const bool tapV = it.key() == RecordingSink::cellKey(Taps, 8, 0)
            || it.key() == RecordingSink::cellKey(Taps, 8, 1)
            || it.key() == RecordingSink::cellKey(Taps, 8, 2)
            || it.key() == RecordingSink::cellKey(Taps, 9, 0)
            || it.key() == RecordingSink::cellKey(Taps, 9, 1)
            || it.key() == RecordingSink::cellKey(Taps, 9, 2);
        QCOMPARE(sink.text(it.key()), tapV ? QString() : it.value());
    }
}

void RatioTest::noTapSelectedLeavesEverything()
{
    RecordingSink sink;
    runRatioTest(ratios(25, 25, 25), ratedLV(400), 2, -1, false, sink);
    clearRatioTap(-1, sink);
    runRatioTest(ratios(25, 25, 25), ratedLV(400), 2, RatioTapCount, false, sink);
    QVERIFY(sink.written.isEmpty());
}

QTEST_GUILESS_MAIN(RatioTest)
#include "tst_ratiotest.moc"
