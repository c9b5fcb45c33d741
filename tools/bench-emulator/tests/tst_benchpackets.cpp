#include "benchpackets.h"
#include "benchpresets.h"

#include <QTest>

#include <bit>
#include <cfenv>
#include <cmath>

Q_DECLARE_METATYPE(SignalValues)
Q_DECLARE_METATYPE(InstrumentRatios)

namespace {

// Bit by bit, so that the table-driven code under test is checked by something else.
quint8 crc8(const QByteArray &bytes, int from, int length)
{
    quint8 reg = 0xFF;
    for (int i = from; i < from + length; ++i) {
        reg ^= quint8(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80) ? quint8((reg << 1) ^ 0x31) : quint8(reg << 1);
    }
    return reg;
}

quint32 u32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16 | quint32(quint8(b[at + 2])) << 8
            | quint32(quint8(b[at + 3]));
}

quint16 u16(const QByteArray &b, int at)
{
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

// The program's reading of a signal packet, written down here from the decoding rules.
struct Decoded {
    long double Uab, Ubc, Uca, Ia, Ib, Ic, U2ab, U2bc, U2ca, P1, P2, UabMean;
    bool frequencyCounted;
    long double Frequency;
    int group;
};

Decoded decode(const QByteArray &p, int currentRatio, int voltageRatio)
{
    Decoded d{};
    auto first = [&](int at) { return std::sqrt((long double)u32(p, at) / 6000); };
    auto current = [&](int at) { return std::sqrt((long double)u32(p, at) / 16000) / 65 * currentRatio; };
    auto second = [&](int at) { return std::sqrt((long double)u32(p, at) / 16000) / 2 * voltageRatio; };
    auto power = [&](int at) {
        return (long double)qint32(u32(p, at)) * 16384 * 1.633 / 4000 / 2048 / 65 * currentRatio;
    };
    d.Uab = first(1);
    d.Ubc = first(5);
    d.Uca = first(9);
    d.Ia = current(13);
    d.Ib = current(17);
    d.Ic = current(21);
    d.U2ab = second(25);
    d.U2bc = second(29);
    d.U2ca = second(33);
    d.P1 = power(37);
    d.P2 = power(41);
    d.UabMean = (long double)u32(p, 54) / 16000 / std::sqrt(768.0L);
    const int w0 = u16(p, 45), w1 = u16(p, 47), w2 = u16(p, 49), w3 = u16(p, 51);
    d.frequencyCounted = w2 != 0;
    if (w2 != 0 && w1 != w0)
        d.Frequency = (long double)((w2 - 1) * 8000) / (w1 - w0);
    long double x = (w1 - w3) * 2.25L;
    if (x < 0)
        x += 360;
    if (x > 360)
        x = std::fmod(std::nearbyint(x), 360.0L);
    x = std::nearbyint(x / 30);
    if (x == 12)
        x = 0;
    d.group = int(x);
    return d;
}

QByteArray packetFor(const SignalValues &v, const InstrumentRatios &r)
{
    QString error;
    const auto raw = BenchPackets::encodeSignal(v, r, &error);
    if (!raw)
        qWarning("refused: %s", qPrintable(error));
    return raw ? signalPacket(*raw) : QByteArray();
}

SignalValues withUab(double uab)
{
    SignalValues v;
    v.Uab = uab;
    return v;
}

} // namespace

class TestBenchPackets : public QObject
{
    Q_OBJECT
private slots:
    void presetReadsBackAsItsValues_data();
    void presetReadsBackAsItsValues();
    void accumulatorsMatchTheWorkedExamples_data();
    void accumulatorsMatchTheWorkedExamples();
    void frequencyReadsBackToTheShownDigits_data();
    void frequencyReadsBackToTheShownDigits();
    void frequencyZeroAndUncountedAreDifferent();
    void phaseShiftReadsBackAsItsClockNumber_data();
    void phaseShiftReadsBackAsItsClockNumber();
    void checksumCoversOffsetsOneToFiftyTwoOnly();
    void valuesTheFieldsCannotCarryAreRefused_data();
    void valuesTheFieldsCannotCarryAreRefused();
    void resistancePacketCarriesABigEndianSingle_data();
    void resistancePacketCarriesABigEndianSingle();
    void brokenChecksumFailsOnlyTheChecksum_data();
    void brokenChecksumFailsOnlyTheChecksum();
    void calibrationFrameMatchesTheDialogExamples_data();
    void calibrationFrameMatchesTheDialogExamples();
};

void TestBenchPackets::presetReadsBackAsItsValues_data()
{
    QTest::addColumn<SignalValues>("values");
    QTest::addColumn<InstrumentRatios>("ratios");
    for (const BenchPreset &p : benchPresets())
        QTest::newRow(qPrintable(p.name)) << p.values << p.ratios;
    SignalValues big;
    big.Uab = big.Ubc = big.Uca = 846.0;
    big.U2ab = big.U2bc = big.U2ca = 35000 * 2.5;
    big.Ia = big.Ib = big.Ic = 7.9 * 80;
    big.P1 = -100000.0 * 80;
    big.P2 = 100000.0 * 80;
    big.UabMean = 800;
    big.Frequency = 63.27;
    QTest::newRow("near the top of every field, largest ratios") << big << InstrumentRatios{80, 350};
    SignalValues small;
    small.Uab = 0.05;
    small.Ia = 0.001;
    small.U2ab = 0.01;
    small.P1 = 0.01;
    small.UabMean = 0.04;
    small.Frequency = 50;
    QTest::newRow("tiny values without instrument transformers") << small << InstrumentRatios{1, 1};
}

void TestBenchPackets::presetReadsBackAsItsValues()
{
    QFETCH(SignalValues, values);
    QFETCH(InstrumentRatios, ratios);
    const QByteArray p = packetFor(values, ratios);
    QCOMPARE(p.size(), 58);
    QCOMPARE(quint8(p[0]), quint8(0xBB));
    const Decoded d = decode(p, ratios.CurrentRatio, ratios.VoltageRatio);
    // A tenth of the last digit the program shows of each without instrument transformers:
    // the square-root fields are coarse near zero, fine everywhere else.
    const long double perRatio = std::max<int>(1, ratios.CurrentRatio);
    const struct {
        const char *name;
        long double got;
        double want;
        long double tolerance;
    } checks[] = {
        {"Uab", d.Uab, values.Uab, 0.01},       {"Ubc", d.Ubc, values.Ubc, 0.01},
        {"Uca", d.Uca, values.Uca, 0.01},       {"Ia", d.Ia, values.Ia, 1e-4},
        {"Ib", d.Ib, values.Ib, 1e-4},          {"Ic", d.Ic, values.Ic, 1e-4},
        {"U2ab", d.U2ab, values.U2ab, 1e-3},    {"U2bc", d.U2bc, values.U2bc, 1e-3},
        {"U2ca", d.U2ca, values.U2ca, 1e-3},    {"P1", d.P1, values.P1, 1e-3 * perRatio},
        {"P2", d.P2, values.P2, 1e-3 * perRatio}, {"UabMean", d.UabMean, values.UabMean, 0.01},
    };
    for (const auto &c : checks)
        QVERIFY2(std::fabs(c.got - c.want) <= c.tolerance,
                 qPrintable(QStringLiteral("%1: %2 instead of %3").arg(QLatin1String(c.name)).arg(double(c.got), 0, 'g', 12).arg(c.want)));
    QCOMPARE(d.frequencyCounted, values.Frequency.has_value());
    if (values.Frequency)
        QVERIFY(std::fabs(d.Frequency - *values.Frequency) < 0.001);
    const double shift = std::fmod(std::fmod(values.PhaseShift, 360.0) + 360.0, 360.0);
    QCOMPARE(d.group, int(std::lround(shift / 30)) % 12);
}

void TestBenchPackets::accumulatorsMatchTheWorkedExamples_data()
{
    QTest::addColumn<SignalValues>("values");
    QTest::addColumn<InstrumentRatios>("ratios");
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint32>("accumulator");

    QTest::newRow("Uab 400 V") << withUab(400) << InstrumentRatios{} << 1 << quint32(960000000);
    QTest::newRow("Uab the root of 1000 V") << withUab(std::sqrt(1000.0)) << InstrumentRatios{} << 1 << quint32(6000000);
    SignalValues v;
    v.Ia = 1;
    QTest::newRow("Ia 1 A direct") << v << InstrumentRatios{1, 1} << 13 << quint32(67600000);
    v.Ia = 10;
    QTest::newRow("Ia 10 A through 50 A / 5 A") << v << InstrumentRatios{10, 1} << 13 << quint32(67600000);
    v = {};
    v.Ic = 5;
    QTest::newRow("Ic 5 A direct") << v << InstrumentRatios{1, 1} << 21 << quint32(1690000000);
    v = {};
    v.U2bc = 100;
    QTest::newRow("U2bc 100 V direct") << v << InstrumentRatios{1, 1} << 29 << quint32(640000000);
    v.U2bc = 10000;
    QTest::newRow("U2bc 10 kV through 10 kV / 100 V") << v << InstrumentRatios{1, 100} << 29 << quint32(640000000);
    v = {};
    v.P2 = -1;
    // Counts are about 5.02e-5 W each: -1 W is -19902 counts, kept as two's complement.
    QTest::newRow("P2 -1 W") << v << InstrumentRatios{1, 1} << 41 << quint32(-19902);
    v = {};
    v.UabMean = 1;
    QTest::newRow("mean 1 V") << v << InstrumentRatios{} << 54 << quint32(443405);
}

void TestBenchPackets::accumulatorsMatchTheWorkedExamples()
{
    QFETCH(SignalValues, values);
    QFETCH(InstrumentRatios, ratios);
    QFETCH(int, offset);
    QFETCH(quint32, accumulator);
    const QByteArray p = packetFor(values, ratios);
    QCOMPARE(p.size(), 58);
    QCOMPARE(u32(p, offset), accumulator);
}

void TestBenchPackets::frequencyReadsBackToTheShownDigits_data()
{
    QTest::addColumn<double>("hertz");
    for (double f : {50.0, 49.98, 50.01, 49.5, 60.0, 45.13, 64.99, 1.0, 400.0})
        QTest::newRow(qPrintable(QString::number(f))) << f;
}

void TestBenchPackets::frequencyReadsBackToTheShownDigits()
{
    QFETCH(double, hertz);
    SignalValues v = withUab(400);
    v.Frequency = hertz;
    const Decoded d = decode(packetFor(v, {}), 1, 1);
    QVERIFY(d.frequencyCounted);
    QCOMPARE(QString::number(double(d.Frequency), 'f', 2), QString::number(hertz, 'f', 2));
}

void TestBenchPackets::frequencyZeroAndUncountedAreDifferent()
{
    SignalValues v = withUab(400);
    v.Frequency = 0;
    const Decoded zero = decode(packetFor(v, {}), 1, 1);
    QVERIFY(zero.frequencyCounted);
    QCOMPARE(double(zero.Frequency), 0.0);

    v.Frequency.reset();
    const QByteArray uncounted = packetFor(v, {});
    QCOMPARE(u16(uncounted, 49), quint16(0));
}

void TestBenchPackets::phaseShiftReadsBackAsItsClockNumber_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<int>("group");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("30") << 30.0 << 1;
    QTest::newRow("330, Dyn11") << 330.0 << 11;
    QTest::newRow("45 rounds to the even 2") << 45.0 << 2;
    QTest::newRow("135 rounds to the even 4") << 135.0 << 4;
    QTest::newRow("315 rounds to the even 10") << 315.0 << 10;
    QTest::newRow("350 is 12 o'clock, shown as 0") << 350.0 << 0;
    QTest::newRow("-30 is 330") << -30.0 << 11;
    QTest::newRow("-200 stays within one period") << -200.0 << 5;
    QTest::newRow("780 is 60") << 780.0 << 2;
}

void TestBenchPackets::phaseShiftReadsBackAsItsClockNumber()
{
    QFETCH(double, degrees);
    QFETCH(int, group);
    QCOMPARE(std::fegetround(), FE_TONEAREST);
    SignalValues v = withUab(400);
    v.Frequency = 50;
    v.PhaseShift = degrees;
    QCOMPARE(decode(packetFor(v, {}), 1, 1).group, group);
}

void TestBenchPackets::checksumCoversOffsetsOneToFiftyTwoOnly()
{
    const BenchPreset idle = *findBenchPreset(u"idle");
    const QByteArray p = packetFor(idle.values, idle.ratios);
    QCOMPARE(quint8(p[53]), crc8(p, 1, 52));

    // The mean follows the checksum and is not covered by it.
    SignalValues otherMean = idle.values;
    otherMean.UabMean += 10;
    const QByteArray q = packetFor(otherMean, idle.ratios);
    QCOMPARE(q.left(54), p.left(54));
    QVERIFY(q.mid(54) != p.mid(54));
}

void TestBenchPackets::valuesTheFieldsCannotCarryAreRefused_data()
{
    QTest::addColumn<SignalValues>("values");
    QTest::addColumn<InstrumentRatios>("ratios");
    QTest::addColumn<QString>("named");

    QTest::newRow("Uab above 846.07 V") << withUab(846.1) << InstrumentRatios{} << "Uab";
    QTest::newRow("negative Uab") << withUab(-1) << InstrumentRatios{} << "Uab";
    QTest::newRow("Uab not a number") << withUab(std::nan("")) << InstrumentRatios{} << "Uab";
    SignalValues v;
    v.Ib = 8;
    QTest::newRow("Ib 8 A direct") << v << InstrumentRatios{1, 1} << "Ib";
    v.Ib = 1;
    QTest::newRow("Ib with a current ratio of 0") << v << InstrumentRatios{0, 1} << "Ib";
    v = {};
    v.U2ca = 1;
    QTest::newRow("U2ca with a voltage ratio of 0") << v << InstrumentRatios{1, 0} << "U2ca";
    v.U2ca = 260;
    QTest::newRow("U2ca 260 V direct") << v << InstrumentRatios{1, 1} << "U2ca";
    v = {};
    v.P1 = 108000;
    QTest::newRow("P1 beyond 32 bits") << v << InstrumentRatios{1, 1} << "P1";
    v = {};
    v.UabMean = 10000;
    QTest::newRow("mean beyond 32 bits") << v << InstrumentRatios{} << "mean";
    v = {};
    v.Frequency = 0.1;
    QTest::newRow("frequency below the tick counter") << v << InstrumentRatios{} << "frequency";
    v.Frequency = -50;
    QTest::newRow("negative frequency") << v << InstrumentRatios{} << "frequency";
}

void TestBenchPackets::valuesTheFieldsCannotCarryAreRefused()
{
    QFETCH(SignalValues, values);
    QFETCH(InstrumentRatios, ratios);
    QFETCH(QString, named);
    QString error;
    QVERIFY(!BenchPackets::encodeSignal(values, ratios, &error));
    QVERIFY2(error.contains(named), qPrintable(error));
}

void TestBenchPackets::resistancePacketCarriesABigEndianSingle_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("1.25 ohm") << std::bit_cast<quint32>(1.25f) << QByteArray::fromHex("3FA0000000");
    QTest::newRow("200 ohm") << std::bit_cast<quint32>(200.0f) << QByteArray::fromHex("4348000000");
    QTest::newRow("-0.5 ohm") << std::bit_cast<quint32>(-0.5f) << QByteArray::fromHex("BF00000000");
    QTest::newRow("signalling not-a-number") << quint32(0x7FA00000) << QByteArray::fromHex("7FA0000000");
}

void TestBenchPackets::resistancePacketCarriesABigEndianSingle()
{
    QFETCH(quint32, bits);
    QFETCH(QByteArray, payload);
    const QByteArray p = resistancePacketBits(bits);
    QCOMPARE(p.size(), 7);
    QCOMPARE(quint8(p[0]), quint8(0xAA));
    QCOMPARE(p.mid(1, 5), payload);
    QCOMPARE(quint8(p[6]), crc8(p, 1, 5));
}

void TestBenchPackets::brokenChecksumFailsOnlyTheChecksum_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<int>("crcOffset");
    QCOMPARE(resistancePacket(1.25f), QByteArray::fromHex("AA3FA0000000F3"));
    QTest::newRow("resistance") << resistancePacket(1.25f) << 6;
    const BenchPreset shortCircuit = *findBenchPreset(u"short");
    QTest::newRow("signal") << packetFor(shortCircuit.values, shortCircuit.ratios) << 53;
}

void TestBenchPackets::brokenChecksumFailsOnlyTheChecksum()
{
    QFETCH(QByteArray, packet);
    QFETCH(int, crcOffset);
    QVERIFY(checksumMatches(packet));
    const QByteArray broken = withBadChecksum(packet);
    QVERIFY(!checksumMatches(broken));
    QVERIFY(quint8(broken[crcOffset]) != crc8(broken, 1, crcOffset - 1));
    QCOMPARE(broken.left(crcOffset), packet.left(crcOffset));
    QCOMPARE(broken.mid(crcOffset + 1), packet.mid(crcOffset + 1));
}

void TestBenchPackets::calibrationFrameMatchesTheDialogExamples_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("selector");
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("first channels 400 V") << 0xDD << 0 << 960000000.0f << QByteArray::fromHex("DD00C0E1644E68");
    QTest::newRow("second channels 100 V") << 0xDD << 6 << 640000000.0f << QByteArray::fromHex("DD068096184E43");
    QTest::newRow("current 5 A") << 0xDD << 3 << 1690000000.0f << QByteArray::fromHex("DD03B576C94E3C");
    QTest::newRow("resistance 200 ohm") << 0xCC << 0 << 200.0f << QByteArray::fromHex("CC000000484397");
    QTest::newRow("resistance 0.2 ohm") << 0xCC << 3 << 0.2f << QByteArray::fromHex("CC03CDCC4C3E20");
}

void TestBenchPackets::calibrationFrameMatchesTheDialogExamples()
{
    QFETCH(int, command);
    QFETCH(int, selector);
    QFETCH(float, value);
    QFETCH(QByteArray, frame);
    QCOMPARE(calibrationFrameBytes(quint8(command), quint8(selector), value), frame);
    QCOMPARE(quint8(frame[6]), crc8(frame, 0, 6));
}

QTEST_GUILESS_MAIN(TestBenchPackets)
#include "tst_benchpackets.moc"
