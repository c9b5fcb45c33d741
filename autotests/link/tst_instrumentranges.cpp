#include "instrumentranges.h"

#include <QtTest>

namespace {

// Primary over secondary rating of an item text such as "15А/5А" or "10кВ/100В".
int ratioOfItemText(const QString &text)
{
    const QStringList sides = text.split(QLatin1Char('/'));
    if (sides.size() != 2)
        return 1; // "Не используется": connected directly
    auto volts = [](QString side) {
        long factor = 1;
        if (side.endsWith(QStringLiteral("кВ")))
            factor = 1000;
        while (!side.isEmpty() && !side.back().isDigit())
            side.chop(1);
        return side.toLong() * factor;
    };
    return int(volts(sides[0]) / volts(sides[1]));
}

} // namespace

class TestInstrumentRanges : public QObject {
    Q_OBJECT
private slots:
    void currentItemSetsRatioAndDigits_data();
    void currentItemSetsRatioAndDigits();
    void voltageItemSetsRatioAndDigits_data();
    void voltageItemSetsRatioAndDigits();
    void ratioIsPrimaryOverSecondaryRatingOfTheItemText();
    void indexOutsideTheListKeepsThePreviousValues_data();
    void indexOutsideTheListKeepsThePreviousValues();
    void scalingIsZeroUntilARangeIsApplied();
};

void TestInstrumentRanges::currentItemSetsRatioAndDigits_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("ratio");
    QTest::addColumn<int>("digits");
    QTest::newRow("Не используется") << 0 << 1 << 3;
    QTest::newRow("15А/5А") << 1 << 3 << 2;
    QTest::newRow("50А/5А") << 2 << 10 << 2;
    QTest::newRow("100А/5А") << 3 << 20 << 1;
    QTest::newRow("150А/5А") << 4 << 30 << 1;
    QTest::newRow("200А/5А") << 5 << 40 << 1;
    QTest::newRow("250А/5А") << 6 << 50 << 0;
    QTest::newRow("300А/5А") << 7 << 60 << 0;
    QTest::newRow("350А/5А") << 8 << 70 << 0;
    QTest::newRow("400А/5А") << 9 << 80 << 0;
}

void TestInstrumentRanges::currentItemSetsRatioAndDigits()
{
    QFETCH(int, index);
    QFETCH(int, ratio);
    QFETCH(int, digits);
    InstrumentScaling scaling{7, 7, 7, 7};
    applyCurrentRange(scaling, index);
    QCOMPARE(int(scaling.CurrentRatio), ratio);
    QCOMPARE(int(scaling.CurrentDigits), digits);
    QCOMPARE(int(scaling.VoltageRatio), 7);
    QCOMPARE(int(scaling.VoltageDigits), 7);
    QCOMPARE(currentTransformerItems().value(index), QString::fromUtf8(QTest::currentDataTag()));
}

void TestInstrumentRanges::voltageItemSetsRatioAndDigits_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("ratio");
    QTest::addColumn<int>("digits");
    QTest::newRow("Не используется") << 0 << 1 << 2;
    QTest::newRow("10кВ/100В") << 1 << 100 << 0;
    QTest::newRow("35кВ/100В needs 16 bits") << 2 << 350 << 0;
}

void TestInstrumentRanges::voltageItemSetsRatioAndDigits()
{
    QFETCH(int, index);
    QFETCH(int, ratio);
    QFETCH(int, digits);
    InstrumentScaling scaling{7, 7, 7, 7};
    applyVoltageRange(scaling, index);
    QCOMPARE(int(scaling.VoltageRatio), ratio);
    QCOMPARE(int(scaling.VoltageDigits), digits);
    QCOMPARE(int(scaling.CurrentRatio), 7);
    QCOMPARE(int(scaling.CurrentDigits), 7);
}

void TestInstrumentRanges::ratioIsPrimaryOverSecondaryRatingOfTheItemText()
{
    const QStringList current = currentTransformerItems();
    QCOMPARE(current.size(), 10);
    for (int i = 0; i < current.size(); ++i)
        QCOMPARE(int(currentRangeAt(i)->ratio), ratioOfItemText(current[i]));
    const QStringList voltage = voltageTransformerItems();
    QCOMPARE(voltage.size(), 3);
    for (int i = 0; i < voltage.size(); ++i)
        QCOMPARE(int(voltageRangeAt(i)->ratio), ratioOfItemText(voltage[i]));
}

void TestInstrumentRanges::indexOutsideTheListKeepsThePreviousValues_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("no item selected") << -1;
    QTest::newRow("past the current list") << 10;
    QTest::newRow("far outside") << 1000;
}

void TestInstrumentRanges::indexOutsideTheListKeepsThePreviousValues()
{
    QFETCH(int, index);
    InstrumentScaling scaling;
    applyCurrentRange(scaling, 3);
    applyVoltageRange(scaling, 2);
    applyCurrentRange(scaling, index);
    applyVoltageRange(scaling, index);
    QCOMPARE(int(scaling.CurrentRatio), 20);
    QCOMPARE(int(scaling.CurrentDigits), 1);
    QCOMPARE(int(scaling.VoltageRatio), 350);
    QCOMPARE(int(scaling.VoltageDigits), 0);
    QVERIFY(!currentRangeAt(index));
}

void TestInstrumentRanges::scalingIsZeroUntilARangeIsApplied()
{
    const InstrumentScaling scaling;
    QCOMPARE(int(scaling.CurrentRatio) + int(scaling.CurrentDigits) + int(scaling.VoltageRatio)
                 + int(scaling.VoltageDigits),
             0);
}

QTEST_APPLESS_MAIN(TestInstrumentRanges)
#include "tst_instrumentranges.moc"
