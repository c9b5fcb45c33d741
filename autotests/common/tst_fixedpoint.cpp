#include "fixedpoint.h"
#include "numbersyntax.h"

#include <QTest>
#include <cmath>
#include <locale>

class TstFixedPoint : public QObject {
    Q_OBJECT
private slots:
    void writesRoundedPaddedText_data();
    void writesRoundedPaddedText();
    void ignoresTheRegionalDecimalSeparator();
    void replacesTheFullStopWhenAskedTo();
};

void TstFixedPoint::writesRoundedPaddedText_data()
{
    QTest::addColumn<QString>("value"); // read as an 80-bit value, as readings are
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("sqrt1000 one decimal") << "31.6227766016837933" << 1 << 0 << "31.6";
    QTest::newRow("three decimals") << "1.0" << 3 << 0 << "1.000";
    QTest::newRow("half rounds away from zero") << "0.125" << 2 << 0 << "0.13";
    QTest::newRow("negative half rounds away") << "-0.125" << 2 << 0 << "-0.13";
    QTest::newRow("decimal half above binary") << "10.375" << 1 << 0 << "10.4";
    QTest::newRow("two decimals") << "41.5" << 2 << 0 << "41.50";
    QTest::newRow("1.005 rounds up on its 18 digits") << "1.005" << 2 << 0 << "1.01";
    QTest::newRow("2.675 rounds up on its 18 digits") << "2.675" << 2 << 0 << "2.68";
    QTest::newRow("carry into a new digit") << "9.96" << 1 << 0 << "10.0";
    QTest::newRow("carry through nines") << "999.9996" << 3 << 0 << "1000.000";
    QTest::newRow("small value to zero") << "0.0004" << 3 << 0 << "0.000";
    QTest::newRow("small value rounds up to last digit") << "0.0005" << 3 << 0 << "0.001";
    QTest::newRow("negative rounding to zero has no sign") << "-0.0004" << 3 << 0 << "0.000";
    QTest::newRow("zero") << "0.0" << 2 << 0 << "0.00";
    QTest::newRow("zero decimals") << "1111.11" << 0 << 0 << "1111";
    QTest::newRow("zero decimals rounds half up") << "2.5" << 0 << 0 << "3";
    QTest::newRow("negative decimals written as none") << "1111.6" << -1 << 0 << "1112";
    QTest::newRow("padded to width 3") << "5.0" << 0 << 3 << "  5";
    QTest::newRow("padded to width 5") << "1.3" << 1 << 5 << "  1.3";
    QTest::newRow("width never cuts") << "10000.0" << 2 << 3 << "10000.00";
    QTest::newRow("coefficient width 5") << "1.3" << 4 << 5 << "1.3000";
    QTest::newRow("vector group width 1") << "11.0" << 0 << 1 << "11";
    QTest::newRow("large value") << "123456789012.5" << 1 << 0 << "123456789012.5";
    QTest::newRow("beyond 18 digits pads zeros") << "1e20" << 2 << 0 << "100000000000000000000.00";
    QTest::newRow("negative with padding") << "-2.5" << 1 << 6 << "  -2.5";
}

void TstFixedPoint::writesRoundedPaddedText()
{
    QFETCH(QString, value);
    QFETCH(int, decimals);
    QFETCH(int, width);
    QFETCH(QString, expected);
    long double v = 0;
    QVERIFY(readPlainNumber(value, v));
    QCOMPARE(fixedText(v, decimals, width), expected);
}

void TstFixedPoint::ignoresTheRegionalDecimalSeparator()
{
    const char *previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
        QSKIP("no locale with a decimal comma installed");
    const QString text = fixedText(1.25L, 2);
    std::setlocale(LC_ALL, saved.c_str());
    QCOMPARE(text, QStringLiteral("1.25"));
}

void TstFixedPoint::replacesTheFullStopWhenAskedTo()
{
    QCOMPARE(fixedTextWithSeparator(1.25L, 3, QLatin1Char(',')), QStringLiteral("1,250"));
    QCOMPARE(fixedTextWithSeparator(-1.3L, 1, QLatin1Char(',')), QStringLiteral("-1,3"));
}

QTEST_APPLESS_MAIN(TstFixedPoint)
#include "tst_fixedpoint.moc"
