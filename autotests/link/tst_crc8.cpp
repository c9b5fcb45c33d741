#include "crc8.h"

#include <QtTest>

class TestCrc8 : public QObject {
    Q_OBJECT
private slots:
    void matchesCatalogueCheckValues_data();
    void matchesCatalogueCheckValues();
    void tableEntryIsTheByteShiftedThroughThePolynomial_data();
    void tableEntryIsTheByteShiftedThroughThePolynomial();
};

void TestCrc8::matchesCatalogueCheckValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    QTest::newRow("digits 1 to 9") << QByteArray("123456789") << 0xF7;
    QTest::newRow("abc") << QByteArray("abc") << 0xE2;
    QTest::newRow("nothing") << QByteArray() << 0xFF;
    QTest::newRow("resistance payload of 1.25 ohm")
        << QByteArray::fromHex("3FA0000000") << 0xF3;
    QTest::newRow("calibration frame of 400 V") << QByteArray::fromHex("DD00C0E1644E") << 0x68;
    QTest::newRow("calibration frame of 0.2 ohm") << QByteArray::fromHex("CC03CDCC4C3E") << 0x20;
}

void TestCrc8::matchesCatalogueCheckValues()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(int(CRC8(reinterpret_cast<const std::uint8_t *>(data.constData()),
                      std::uint8_t(data.size()))),
             expected);
}

// With the register starting at 0xFF, one byte b leaves table[0xFF ^ b] behind.
void TestCrc8::tableEntryIsTheByteShiftedThroughThePolynomial_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("entry");
    QTest::newRow("0x00") << 0x00 << 0x00;
    QTest::newRow("0x01") << 0x01 << 0x31;
    QTest::newRow("0x02") << 0x02 << 0x62;
    QTest::newRow("0x10") << 0x10 << 0x43;
    QTest::newRow("0x80") << 0x80 << 0x7A;
    QTest::newRow("0xFF") << 0xFF << 0xAC;
}

void TestCrc8::tableEntryIsTheByteShiftedThroughThePolynomial()
{
    QFETCH(int, index);
    QFETCH(int, entry);
    const std::uint8_t byte = std::uint8_t(index ^ 0xFF);
    QCOMPARE(int(CRC8(&byte, 1)), entry);
}

QTEST_APPLESS_MAIN(TestCrc8)
#include "tst_crc8.moc"
