#include "packetbuilder.h"
#include "packetlayout.h"
#include "resistancedecoder.h"

#include <QtTest>

#include <limits>

namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);

ResistanceDecoding decode(const QByteArray &bytes, int rangeIndex, const QLocale &locale)
{
    return DecodeResistancePacket(
        ResistancePacketBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), PacketLayout::ResistanceLength),
        rangeIndex, locale);
}

} // namespace

class TestResistanceDecoder : public QObject {
    Q_OBJECT
private slots:
    void rangeSetsTheDecimals_data();
    void rangeSetsTheDecimals();
    void valueIsTheBigEndianSingle_data();
    void valueIsTheBigEndianSingle();
    void spareByteIsNotInterpreted();
};

void TestResistanceDecoder::rangeSetsTheDecimals_data()
{
    QTest::addColumn<int>("rangeIndex");
    QTest::addColumn<QString>("russian");
    QTest::addColumn<QString>("c");
    QTest::newRow("200") << 0 << "1,3" << "1.3";
    QTest::newRow("20") << 1 << "1,25" << "1.25";
    QTest::newRow("2") << 2 << "1,250" << "1.250";
    QTest::newRow("0.2") << 3 << "1,2500" << "1.2500";
    QTest::newRow("0.01") << 4 << "1,25000" << "1.25000";
    QTest::newRow("no range selected") << -1 << "1" << "1";
}

void TestResistanceDecoder::rangeSetsTheDecimals()
{
    QFETCH(int, rangeIndex);
    QFETCH(QString, russian);
    QFETCH(QString, c);
    const QByteArray packet = QByteArray::fromHex("AA3FA0000000F3");
    QCOMPARE(decode(packet, rangeIndex, Russian).text, russian);
    QCOMPARE(decode(packet, rangeIndex, QLocale::c()).text, c);
}

void TestResistanceDecoder::valueIsTheBigEndianSingle_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<double>("ohms");
    QTest::addColumn<QString>("text"); // range "2", Russian
    QTest::newRow("1.25") << QByteArray::fromHex("3FA00000") << 1.25 << "1,250";
    QTest::newRow("negative") << QByteArray::fromHex("BFA00000") << -1.25 << "-1,250";
    QTest::newRow("smallest subnormal") << QByteArray::fromHex("00000001") << double(std::numeric_limits<float>::denorm_min()) << "0,000";
    QTest::newRow("signalling not-a-number reads as zero")
        << QByteArray::fromHex("7F800001") << 0.0 << "0,000";
    QTest::newRow("negative signalling not-a-number reads as zero")
        << QByteArray::fromHex("FFBFFFFF") << 0.0 << "0,000";
}

void TestResistanceDecoder::valueIsTheBigEndianSingle()
{
    QFETCH(QByteArray, pattern);
    QFETCH(double, ohms);
    QFETCH(QString, text);
    QByteArray packet = QByteArray::fromHex("AA") + pattern + QByteArray::fromHex("0000");
    const ResistanceDecoding d = decode(packet, 2, Russian);
    QCOMPARE(double(d.Resistance), ohms);
    QCOMPARE(d.text, text);
}

void TestResistanceDecoder::spareByteIsNotInterpreted()
{
    QCOMPARE(decode(resistancePacket(200.0f, 0xFF), 0, Russian).text, QStringLiteral("200,0"));
    QCOMPARE(decode(resistancePacket(200.0f, 0x00), 0, Russian).text, QStringLiteral("200,0"));
}

QTEST_APPLESS_MAIN(TestResistanceDecoder)
#include "tst_resistancedecoder.moc"
