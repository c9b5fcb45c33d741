#include "calibrationframe.h"
#include "crc8.h"

#include <QtTest>

Q_DECLARE_METATYPE(CalibrationQuantity)
Q_DECLARE_METATYPE(CalibrationBuild::Outcome)

namespace {
QByteArray bytesOf(const CalibrationFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
}
} // namespace

class TestCalibrationFrame : public QObject {
    Q_OBJECT
private slots:
    void frameCarriesTheAccumulatorTheBenchShouldReport_data();
    void frameCarriesTheAccumulatorTheBenchShouldReport();
    void referenceThatCannotBeSentGivesNoFrame_data();
    void referenceThatCannotBeSentGivesNoFrame();
    void checksumCoversTheCommandAndFollowsTheValue();
};

void TestCalibrationFrame::frameCarriesTheAccumulatorTheBenchShouldReport_data()
{
    QTest::addColumn<CalibrationQuantity>("quantity");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");

    using Q = CalibrationQuantity;
    QTest::newRow("400 V on the first voltage channels")
        << Q::Voltage << 0 << QStringLiteral("400") << QByteArray::fromHex("DD00C0E1644E68");
    QTest::newRow("100 V on the second voltage channels")
        << Q::Voltage << 1 << QStringLiteral("100") << QByteArray::fromHex("DD068096184E43");
    QTest::newRow("5 A on the current channels")
        << Q::Current << 0 << QStringLiteral("5") << QByteArray::fromHex("DD03B576C94E3C");
    QTest::newRow("200 ohm on the range 200")
        << Q::Resistance << 0 << QStringLiteral("200") << QByteArray::fromHex("CC000000484397");
    QTest::newRow("0.2 ohm on the range 0.2")
        << Q::Resistance << 3 << QStringLiteral("0.2") << QByteArray::fromHex("CC03CDCC4C3E20");
    QTest::newRow("0.01 ohm on the range 0.01")
        << Q::Resistance << 4 << QStringLiteral("0.01") << QByteArray::fromHex("CC040AD7233C6A");
    // In double precision these would come out as 1690 and 0.15 exactly.
    QTest::newRow("0.005 A rounds 65x to single precision before squaring")
        << Q::Current << 0 << QStringLiteral("0.005") << QByteArray::fromHex("DD03FF3FD3447A");
    QTest::newRow("0.005 V rounds x to single precision before squaring")
        << Q::Voltage << 0 << QStringLiteral("0.005") << QByteArray::fromHex("DD009999193EC9");
    QTest::newRow("a negative resistance is sent as it is")
        << Q::Resistance << 4 << QStringLiteral("-1.5") << QByteArray::fromHex("CC040000C0BF63");
    QTest::newRow("the largest single-precision number still fits")
        << Q::Resistance << 1 << QStringLiteral("3.4028235e38") << QByteArray::fromHex("CC01FFFF7F7F7C");
    QTest::newRow("leading blanks and an exponent are a number")
        << Q::Voltage << 0 << QStringLiteral("  4e2") << QByteArray::fromHex("DD00C0E1644E68");
    QTest::newRow("a typed zero is sent as zero")
        << Q::Voltage << 0 << QStringLiteral("0") << QByteArray::fromHex("DD000000000095");
    QTest::newRow("current ignores the voltage item")
        << Q::Current << 1 << QStringLiteral("5") << QByteArray::fromHex("DD03B576C94E3C");
}

void TestCalibrationFrame::frameCarriesTheAccumulatorTheBenchShouldReport()
{
    QFETCH(CalibrationQuantity, quantity);
    QFETCH(int, item);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);

    const CalibrationBuild build = buildCalibrationFrame(quantity, item, text);
    QCOMPARE(build.outcome, CalibrationBuild::Outcome::Ready);
    QCOMPARE(bytesOf(build.frame).toHex(' '), frame.toHex(' '));
}

void TestCalibrationFrame::referenceThatCannotBeSentGivesNoFrame_data()
{
    QTest::addColumn<CalibrationQuantity>("quantity");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("text");
    QTest::addColumn<CalibrationBuild::Outcome>("outcome");

    using Q = CalibrationQuantity;
    using O = CalibrationBuild::Outcome;
    QTest::newRow("letter O among the digits") << Q::Voltage << 0 << QStringLiteral("4OO") << O::NotANumber;
    QTest::newRow("empty text") << Q::Current << 0 << QString() << O::NotANumber;
    QTest::newRow("decimal comma") << Q::Resistance << 3 << QStringLiteral("0,2") << O::NotANumber;
    QTest::newRow("a unit after the number") << Q::Current << 0 << QStringLiteral("5A") << O::NotANumber;
    QTest::newRow("a blank after the number") << Q::Voltage << 1 << QStringLiteral("100 ") << O::NotANumber;
    QTest::newRow("reference beyond single precision")
        << Q::Resistance << 0 << QStringLiteral("1e39") << O::Overflow;
    QTest::newRow("scaled square beyond single precision")
        << Q::Voltage << 0 << QStringLiteral("1e20") << O::Overflow;
    QTest::newRow("65 times the current squared beyond single precision")
        << Q::Current << 0 << QStringLiteral("-1e17") << O::Overflow;
    QTest::newRow("a voltage whose scaled square is 0 in single precision")
        << Q::Voltage << 0 << QStringLiteral("1e-30") << O::Underflow;
    QTest::newRow("a second-channel voltage whose scaled square is 0")
        << Q::Voltage << 1 << QStringLiteral("-1e-28") << O::Underflow;
    QTest::newRow("a current that is 0 even in extended precision")
        << Q::Current << 0 << QStringLiteral("1e-5000") << O::Underflow;
    QTest::newRow("a voltage far below any precision")
        << Q::Voltage << 0 << QStringLiteral("-0.0001e-99999") << O::Underflow;
    QTest::newRow("a current whose scaled square is 0 in single precision")
        << Q::Current << 0 << QStringLiteral("1e-30") << O::Underflow;
    QTest::newRow("a resistance that is 0 in single precision")
        << Q::Resistance << 2 << QStringLiteral("1e-50") << O::Underflow;
    QTest::newRow("no voltage item selected") << Q::Voltage << -1 << QStringLiteral("400") << O::NoChannel;
    QTest::newRow("a voltage item the group does not have")
        << Q::Voltage << 2 << QStringLiteral("400") << O::NoChannel;
    QTest::newRow("a resistance range the group does not have")
        << Q::Resistance << 5 << QStringLiteral("1") << O::NoChannel;
}

void TestCalibrationFrame::referenceThatCannotBeSentGivesNoFrame()
{
    QFETCH(CalibrationQuantity, quantity);
    QFETCH(int, item);
    QFETCH(QString, text);
    QFETCH(CalibrationBuild::Outcome, outcome);

    const CalibrationBuild build = buildCalibrationFrame(quantity, item, text);
    QCOMPARE(build.outcome, outcome);
    QCOMPARE(bytesOf(build.frame), QByteArray(7, '\0'));
}

void TestCalibrationFrame::checksumCoversTheCommandAndFollowsTheValue()
{
    const CalibrationFrame frame = layOutCalibrationFrame(0xDD, 6, 1.0f);
    QCOMPARE(bytesOf(frame).left(6).toHex(' '), QByteArray("dd 06 00 00 80 3f"));
    QCOMPARE(frame[6], CRC8(frame.data(), 6));
    // The same six bytes under the other command must not share the checksum.
    const CalibrationFrame other = layOutCalibrationFrame(0xCC, 6, 1.0f);
    QVERIFY(other[6] != frame[6]);
}

QTEST_APPLESS_MAIN(TestCalibrationFrame)
#include "tst_calibrationframe.moc"
