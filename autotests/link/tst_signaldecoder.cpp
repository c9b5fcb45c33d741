#include "packetbuilder.h"
#include "packetlayout.h"
#include "signaldecoder.h"

#include <QtTest>

#include <cmath>

namespace {

const InstrumentScaling Direct{1, 3, 1, 2}; // "Не используется" in both lists

SignalDecoding decode(const SignalFields &fields, const InstrumentScaling &scaling = Direct,
                      bool onePhase = false, const BenchReadings &previous = {},
                      const QLocale &locale = QLocale::c())
{
    const QByteArray bytes = signalPacket(fields);
    return DecodeSignalPacket(
        SignalPacketBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), PacketLayout::SignalLength),
        previous, scaling, onePhase, locale);
}

const QLocale Russian(QLocale::Russian, QLocale::Russia);

bool near(long double a, long double b)
{
    return std::fabs(a - b) <= 1e-12L * std::max<long double>(1, std::fabs(b));
}

} // namespace

class TestSignalDecoder : public QObject {
    Q_OBJECT
private slots:
    void silentPacketShowsZerosAndKeepsFrequencyAndFormFactor();
    void firstChannelVoltage_data();
    void firstChannelVoltage();
    void currentCarriesTheRatioAndItsDigits_data();
    void currentCarriesTheRatioAndItsDigits();
    void secondChannelVoltageCarriesTheRatioAndItsDigits_data();
    void secondChannelVoltageCarriesTheRatioAndItsDigits();
    void frequencyFromPeriodCounts_data();
    void frequencyFromPeriodCounts();
    void vectorGroupIsAlwaysAClockNumber_data();
    void vectorGroupIsAlwaysAClockNumber();
    void powerLabelsUseTheRegionalFormat_data();
    void powerLabelsUseTheRegionalFormat();
    void powerTextBeyondEightIntegerDigitsTakesExponentForm();
    void formFactorColourFollowsTheSineBounds_data();
    void formFactorColourFollowsTheSineBounds();
    void rectifiedMeanIsShownWithOneDecimal();
    void averagesOfThreePhases();
    void onePhaseAppliesTheCurrentRatioOnce();
    void ratiosAreZeroWhereTheFirstChannelIsSilent();
};

void TestSignalDecoder::silentPacketShowsZerosAndKeepsFrequencyAndFormFactor()
{
    BenchReadings previous;
    previous.Frequency = 49.8L;
    const SignalDecoding d = decode({}, Direct, false, previous);
    QCOMPARE(d.texts.Uab, QStringLiteral("0.0"));
    QCOMPARE(d.texts.Ubc, QStringLiteral("0.0"));
    QCOMPARE(d.texts.Ia, QStringLiteral("0.000"));
    QCOMPARE(d.texts.U_AB, QStringLiteral("0.00"));
    QCOMPARE(d.texts.Uab2, QStringLiteral("0.0"));
    QCOMPARE(d.texts.Label3, QStringLiteral("0.00"));
    QVERIFY(d.texts.Freq.isEmpty());
    QCOMPARE(d.texts.KfColour, FormFactorColour::Unchanged);
    QVERIFY(d.readings.Frequency == 49.8L);
    QVERIFY(d.readings.Kab == 0 && d.readings.Kbc == 0 && d.readings.Kca == 0);
    QVERIFY(d.readings.PhaseGroup == 0);
}

void TestSignalDecoder::firstChannelVoltage_data()
{
    QTest::addColumn<quint32>("accumulator");
    QTest::addColumn<QString>("text");
    QTest::newRow("root of 1000 V squared") << quint32(6000000) << "31.6";
    QTest::newRow("one volt") << quint32(6000) << "1.0";
    QTest::newRow("largest accumulator") << quint32(0xFFFFFFFF) << "846.1";
}

void TestSignalDecoder::firstChannelVoltage()
{
    QFETCH(quint32, accumulator);
    QFETCH(QString, text);
    SignalFields f;
    f.Uab = accumulator;
    f.Ubc = accumulator;
    f.Uca = accumulator;
    const SignalDecoding d = decode(f);
    QCOMPARE(d.texts.Uab, text);
    QCOMPARE(d.texts.Ubc, text);
    QCOMPARE(d.texts.Uca, text);
    QVERIFY(near(d.readings.Uab, std::sqrt(accumulator / 6000.0L)));
}

void TestSignalDecoder::currentCarriesTheRatioAndItsDigits_data()
{
    QTest::addColumn<quint32>("accumulator");
    QTest::addColumn<int>("ratio");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 A direct") << quint32(67600000) << 1 << 3 << "1.000";
    QTest::newRow("50А/5А") << quint32(67600000) << 10 << 2 << "10.00";
    QTest::newRow("400А/5А") << quint32(67600000) << 80 << 0 << "80";
    QTest::newRow("no range chosen yet") << quint32(67600000) << 0 << 0 << "0";
}

void TestSignalDecoder::currentCarriesTheRatioAndItsDigits()
{
    QFETCH(quint32, accumulator);
    QFETCH(int, ratio);
    QFETCH(int, digits);
    QFETCH(QString, text);
    SignalFields f;
    f.Ia = f.Ib = f.Ic = accumulator;
    const InstrumentScaling scaling{std::uint8_t(ratio), std::uint8_t(digits), 1, 2};
    const SignalDecoding d = decode(f, scaling);
    QCOMPARE(d.texts.Ia, text);
    QCOMPARE(d.texts.Ib, text);
    QCOMPARE(d.texts.Ic, text);
    QVERIFY(near(d.readings.Ia, ratio));
}

void TestSignalDecoder::secondChannelVoltageCarriesTheRatioAndItsDigits_data()
{
    QTest::addColumn<int>("ratio");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("direct") << 1 << 2 << "100.00";
    QTest::newRow("10кВ/100В") << 100 << 0 << "10000";
    QTest::newRow("35кВ/100В") << 350 << 0 << "35000";
}

void TestSignalDecoder::secondChannelVoltageCarriesTheRatioAndItsDigits()
{
    QFETCH(int, ratio);
    QFETCH(int, digits);
    QFETCH(QString, text);
    SignalFields f;
    f.U2ab = f.U2bc = f.U2ca = 640000000; // 100 V on the secondary
    const InstrumentScaling scaling{1, 3, std::uint16_t(ratio), std::uint8_t(digits)};
    const SignalDecoding d = decode(f, scaling);
    QCOMPARE(d.texts.U_AB, text);
    QCOMPARE(d.texts.U_BC, text);
    QCOMPARE(d.texts.U_CA, text);
}

void TestSignalDecoder::frequencyFromPeriodCounts_data()
{
    QTest::addColumn<int>("w0");
    QTest::addColumn<int>("w1");
    QTest::addColumn<int>("w2");
    QTest::addColumn<quint32>("uabAccumulator");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<QString>("text");
    QTest::newRow("five periods in 800 ticks")
        << 100 << 900 << 6 << quint32(6000000) << 50.0 << "50.00";
    QTest::newRow("just below one volt: no text")
        << 100 << 900 << 6 << quint32(5999) << 50.0 << "";
    QTest::newRow("equal counts give zero") << 500 << 500 << 6 << quint32(6000000) << 0.0 << "0.00";
    QTest::newRow("counts the wrong way round") << 900 << 100 << 6 << quint32(6000000) << -50.0
                                                << "-50.00";
    QTest::newRow("one count means no whole period") << 100 << 900 << 1 << quint32(6000000) << 0.0
                                                     << "0.00";
    QTest::newRow("no count keeps the previous value")
        << 100 << 900 << 0 << quint32(6000000) << 49.5 << "49.50";
}

void TestSignalDecoder::frequencyFromPeriodCounts()
{
    QFETCH(int, w0);
    QFETCH(int, w1);
    QFETCH(int, w2);
    QFETCH(quint32, uabAccumulator);
    QFETCH(double, frequency);
    QFETCH(QString, text);
    SignalFields f;
    f.w0 = std::uint16_t(w0);
    f.w1 = std::uint16_t(w1);
    f.w2 = std::uint16_t(w2);
    f.w3 = std::uint16_t(w1);
    f.Uab = uabAccumulator;
    BenchReadings previous;
    previous.Frequency = 49.5L;
    const SignalDecoding d = decode(f, Direct, false, previous);
    QCOMPARE(double(d.readings.Frequency), frequency);
    QCOMPARE(d.texts.Freq, text);
}

void TestSignalDecoder::vectorGroupIsAlwaysAClockNumber_data()
{
    QTest::addColumn<int>("ticks"); // w1 - w3, 2.25 degrees each
    QTest::addColumn<int>("group");
    QTest::newRow("in phase") << 0 << 0;
    QTest::newRow("13.5 degrees") << 6 << 0;
    QTest::newRow("22.5 degrees") << 10 << 1;
    QTest::newRow("45 degrees, tie to even") << 20 << 2;
    QTest::newRow("135 degrees, tie to even") << 60 << 4;
    QTest::newRow("225 degrees, tie to even") << 100 << 8;
    QTest::newRow("315 degrees, tie to even") << 140 << 10;
    QTest::newRow("344.25 degrees") << 153 << 11;
    QTest::newRow("346.5 degrees is twelve o'clock") << 154 << 0;
    QTest::newRow("360 degrees") << 160 << 0;
    QTest::newRow("375.75 degrees") << 167 << 1;
    QTest::newRow("450 degrees") << 200 << 3;
    QTest::newRow("minus 90 degrees") << -40 << 9;
    QTest::newRow("minus 360 degrees") << -160 << 0;
    QTest::newRow("minus 375.75 degrees") << -167 << 11;
    QTest::newRow("minus 1080 degrees") << -480 << 0;
    QTest::newRow("largest positive shift") << 65535 << 7;
    QTest::newRow("largest negative shift") << -65535 << 5;
}

void TestSignalDecoder::vectorGroupIsAlwaysAClockNumber()
{
    QFETCH(int, ticks);
    QFETCH(int, group);
    SignalFields f;
    f.w1 = std::uint16_t(ticks >= 0 ? ticks : 0);
    f.w3 = std::uint16_t(ticks >= 0 ? 0 : -ticks);
    QCOMPARE(double(decode(f).readings.PhaseGroup), double(group));
}

void TestSignalDecoder::powerLabelsUseTheRegionalFormat_data()
{
    QTest::addColumn<qint32>("accumulator");
    QTest::addColumn<int>("ratio");
    QTest::addColumn<QString>("russian");
    QTest::addColumn<QString>("c");
    const QString nbsp(QChar(0x00A0));
    QTest::newRow("50 W") << qint32(1000000) << 1 << "50,25" << "50.25";
    QTest::newRow("negative") << qint32(-1000000) << 1 << "-50,25" << "-50.25";
    QTest::newRow("with the ratio") << qint32(1000000) << 3 << "150,74" << "150.74";
    QTest::newRow("half a hundredth rounds up") << qint32(100) << 1 << "0,01" << "0.01";
    QTest::newRow("below half a hundredth") << qint32(99) << 1 << "0,00" << "0.00";
    QTest::newRow("grouped, 8 significant digits")
        << qint32(2000000000) << 80 << "8" + nbsp + "039" + nbsp + "384,60" << "8,039,384.60";
    QTest::newRow("eight integer digits leave no decimals")
        << qint32(2147483647) << 255 << "27" + nbsp + "515" + nbsp + "212,00" << "27,515,212.00";
}

void TestSignalDecoder::powerLabelsUseTheRegionalFormat()
{
    QFETCH(qint32, accumulator);
    QFETCH(int, ratio);
    QFETCH(QString, russian);
    QFETCH(QString, c);
    SignalFields f;
    f.P1 = accumulator;
    f.P2 = accumulator;
    const InstrumentScaling scaling{std::uint8_t(ratio), 2, 1, 2};
    const SignalDecoding ru = decode(f, scaling, false, {}, Russian);
    QCOMPARE(ru.texts.Label3, russian);
    QCOMPARE(ru.texts.Label4, russian);
    QCOMPARE(decode(f, scaling).texts.Label3, c);
}

void TestSignalDecoder::powerTextBeyondEightIntegerDigitsTakesExponentForm()
{
    QCOMPARE(regionalPowerText(123456789.0L, Russian), QStringLiteral("1,2345679E8"));
    QCOMPARE(regionalPowerText(-99999999.6L, QLocale::c()), QStringLiteral("-1E8"));
    QCOMPARE(regionalPowerText(99999999.4L, QLocale::c()), QStringLiteral("99,999,999.00"));
}

void TestSignalDecoder::formFactorColourFollowsTheSineBounds_data()
{
    QTest::addColumn<quint32>("meanAccumulator"); // against 100 V on Uab
    QTest::addColumn<QString>("text");
    QTest::addColumn<FormFactorColour>("colour");
    QTest::newRow("sine") << quint32(39946397) << "1.1100" << FormFactorColour::Normal;
    QTest::newRow("just inside the upper bound") << quint32(39138936) << "1.1329"
                                                 << FormFactorColour::Normal;
    QTest::newRow("just inside the lower bound") << quint32(40731674) << "1.0886"
                                                 << FormFactorColour::Normal;
    QTest::newRow("too peaked") << quint32(38895176) << "1.1400" << FormFactorColour::OutOfRange;
    QTest::newRow("too flat") << quint32(41056019) << "1.0800" << FormFactorColour::OutOfRange;
    QTest::newRow("no mean: cannot divide") << quint32(0) << "" << FormFactorColour::Unchanged;
}

void TestSignalDecoder::formFactorColourFollowsTheSineBounds()
{
    QFETCH(quint32, meanAccumulator);
    QFETCH(QString, text);
    QFETCH(FormFactorColour, colour);
    SignalFields f;
    f.Uab = 60000000;
    f.UabMean = meanAccumulator;
    const SignalDecoding d = decode(f);
    QCOMPARE(d.texts.KfColour, colour);
    if (colour != FormFactorColour::Unchanged)
        QCOMPARE(d.texts.Kf, text);
}

void TestSignalDecoder::rectifiedMeanIsShownWithOneDecimal()
{
    SignalFields f;
    f.UabMean = 39946397;
    const SignalDecoding d = decode(f);
    QCOMPARE(d.texts.Uab2, QStringLiteral("90.1"));
    QVERIFY(near(d.readings.UabMean, 39946397 / 16000.0L / std::sqrt(768.0L)));
}

void TestSignalDecoder::averagesOfThreePhases()
{
    SignalFields f;
    f.Uab = 6000 * 100 * 100;
    f.Ubc = 6000 * 200 * 200;
    f.Uca = 6000 * 300 * 300;
    f.Ia = 16000 * 65 * 65;
    f.Ib = 16000 * 65 * 65 * 4;
    f.Ic = 16000 * 65 * 65 * 9;
    f.P1 = 1000000;
    f.P2 = -500000;
    const InstrumentScaling scaling{3, 2, 1, 2};
    const SignalDecoding d = decode(f, scaling);
    QVERIFY(near(d.readings.Uavg, 200));
    QVERIFY(near(d.readings.Iavg, 6));
    QVERIFY(near(d.readings.Ptotal, d.readings.P1 + d.readings.P2));
    QVERIFY(near(d.readings.P2, -d.readings.P1 / 2));
}

void TestSignalDecoder::onePhaseAppliesTheCurrentRatioOnce()
{
    SignalFields f;
    f.Uab = 6000 * 100 * 100;
    f.Ubc = 6000 * 200 * 200;
    f.Ia = 16000 * 65 * 65;
    f.Ib = 16000 * 65 * 65 * 4;
    f.P1 = 1000000;
    f.P2 = 1000000;
    const InstrumentScaling fifteenToFive{3, 2, 1, 2};
    const SignalDecoding d = decode(f, fifteenToFive, true);
    QVERIFY(near(d.readings.Ia, 3));
    QVERIFY(near(d.readings.Iavg, 3));
    QVERIFY(near(d.readings.Ptotal, 1000000.0L * 16384 * 1.633L / 4000 / 2048 / 65 * 3));
    QVERIFY(d.readings.Ptotal == d.readings.P1);
    QVERIFY(d.readings.Uavg == d.readings.Uab);
}

void TestSignalDecoder::ratiosAreZeroWhereTheFirstChannelIsSilent()
{
    SignalFields f;
    f.Uab = 6000 * 100 * 100;
    f.U2ab = 640000000; // 100 V
    f.U2bc = 640000000;
    const SignalDecoding d = decode(f, InstrumentScaling{1, 3, 100, 0});
    QVERIFY(near(d.readings.Kab, 100));
    QVERIFY(d.readings.Kbc == 0);
    QVERIFY(d.readings.Kca == 0);
}

QTEST_APPLESS_MAIN(TestSignalDecoder)
#include "tst_signaldecoder.moc"
