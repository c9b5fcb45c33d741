#include "benchtables.h"
#include "instrumentranges.h"
#include "linkreceiver.h"
#include "linktexts.h"
#include "packetbuilder.h"

#include <QtTest>

#include <cstring>

namespace {

// One secondary ampere in each current channel and one secondary volt in each
// second-channel voltage, so a readout shows the range's ratio with its decimals.
SignalFields oneAmpereOneVolt()
{
    SignalFields f;
    f.Ia = f.Ib = f.Ic = 16000u * 65 * 65;
    f.U2ab = f.U2bc = f.U2ca = 16000u * 2 * 2;
    return f;
}

// The readout texts of one good signal packet received with `scaling`.
SignalTexts shownWith(const InstrumentScaling &scaling)
{
    QByteArray waiting = signalPacket(oneAmpereOneVolt());
    LinkReceiver receiver([] { return qint64(0); });
    LinkContext context;
    context.scaling = scaling;
    context.locale = QLocale(QLocale::Russian, QLocale::Russia);
    const auto read = [&waiting](std::uint8_t *buffer, int maxCount) {
        const int n = std::min(maxCount, int(waiting.size()));
        std::memcpy(buffer, waiting.constData(), std::size_t(n));
        waiting.remove(0, n);
        return n;
    };
    const LinkUpdate update = receiver.receive(int(waiting.size()), read, BenchReadings{}, context);
    return linkTexts(update).readouts.value_or(SignalTexts{});
}

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
    void eachItemScalesTheNextPacket_data();
    void eachItemScalesTheNextPacket();
    void ratioIsPrimaryOverSecondaryRatingOfTheItemText();
    void indexOutsideTheListKeepsThePreviousValues_data();
    void indexOutsideTheListKeepsThePreviousValues();
    void scalingIsZeroUntilARangeIsApplied();
};

void TestInstrumentRanges::eachItemScalesTheNextPacket_data()
{
    QTest::addColumn<bool>("current"); // an item of cbCurrent, else of cbVoltage
    QTest::addColumn<QString>("ia");
    QTest::addColumn<QString>("u2");
    QTest::newRow("Не используется") << true << "1.000" << "1.00";
    QTest::newRow("15А/5А") << true << "3.00" << "1.00";
    QTest::newRow("50А/5А") << true << "10.00" << "1.00";
    QTest::newRow("100А/5А") << true << "20.0" << "1.00";
    QTest::newRow("150А/5А") << true << "30.0" << "1.00";
    QTest::newRow("200А/5А") << true << "40.0" << "1.00";
    QTest::newRow("250А/5А") << true << "50" << "1.00";
    QTest::newRow("300А/5А") << true << "60" << "1.00";
    QTest::newRow("350А/5А") << true << "70" << "1.00";
    QTest::newRow("400А/5А") << true << "80" << "1.00";
    QTest::newRow("10кВ/100В") << false << "1.000" << "100";
    QTest::newRow("35кВ/100В") << false << "1.000" << "350"; // beyond 8 bits
}

// The chosen item scales its own quantity in the next packet and leaves the other alone.
void TestInstrumentRanges::eachItemScalesTheNextPacket()
{
    QFETCH(bool, current);
    QFETCH(QString, ia);
    QFETCH(QString, u2);
    const QString item = QString::fromUtf8(QTest::currentDataTag());
    const int index = (current ? currentTransformerItems() : voltageTransformerItems()).indexOf(item);
    QVERIFY(index >= 0);
    InstrumentScaling scaling;
    applyCurrentRange(scaling, current ? index : 0);
    applyVoltageRange(scaling, current ? 0 : index);
    const SignalTexts shown = shownWith(scaling);
    QCOMPARE(QStringList({shown.Ia, shown.Ib, shown.Ic}), QStringList({ia, ia, ia}));
    QCOMPARE(QStringList({shown.U_AB, shown.U_BC, shown.U_CA}), QStringList({u2, u2, u2}));
}

void TestInstrumentRanges::ratioIsPrimaryOverSecondaryRatingOfTheItemText()
{
    const QStringList current = currentTransformerItems();
    QCOMPARE(current.size(), CurrentTransformerItemCount);
    for (int i = 0; i < current.size(); ++i)
        QCOMPARE(int(currentRangeAt(i)->ratio), ratioOfItemText(current[i]));
    const QStringList voltage = voltageTransformerItems();
    QCOMPARE(voltage.size(), VoltageTransformerItemCount);
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
