#include "packetinterval.h"

#include <QtTest>

class TestPacketInterval : public QObject {
    Q_OBJECT
private slots:
    void intervalShowsSecondsAndThreeDigitMilliseconds_data();
    void intervalShowsSecondsAndThreeDigitMilliseconds();
    void firstPacketIsMeasuredFromTheClockZero();
    void eachPacketIsMeasuredFromThePreviousOne();
};

void TestPacketInterval::intervalShowsSecondsAndThreeDigitMilliseconds_data()
{
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("2 s 5 ms") << qint64(2005) << "2.005";
    QTest::newRow("2 s 50 ms") << qint64(2050) << "2.050";
    QTest::newRow("2 s 500 ms") << qint64(2500) << "2.500";
    QTest::newRow("61 s 200 ms keeps the minute") << qint64(61200) << "61.200";
    QTest::newRow("nothing") << qint64(0) << "0.000";
    QTest::newRow("just under a second") << qint64(999) << "0.999";
    QTest::newRow("an hour") << qint64(3600000) << "3600.000";
    QTest::newRow("negative shows as zero") << qint64(-20) << "0.000";
}

void TestPacketInterval::intervalShowsSecondsAndThreeDigitMilliseconds()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(packetIntervalText(elapsedMs), text);
}

void TestPacketInterval::firstPacketIsMeasuredFromTheClockZero()
{
    PacketIntervalClock clock;
    QCOMPARE(clock.mark(1234), qint64(1234));
}

void TestPacketInterval::eachPacketIsMeasuredFromThePreviousOne()
{
    PacketIntervalClock clock;
    clock.mark(10000);
    QCOMPARE(clock.mark(10020), qint64(20));
    QCOMPARE(clock.mark(12025), qint64(2005));
    QCOMPARE(clock.LastPacketTime, qint64(12025));
}

QTEST_APPLESS_MAIN(TestPacketInterval)
#include "tst_packetinterval.moc"
