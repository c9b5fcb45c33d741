#include "numbersyntax.h"

#include <QTest>

class TstNumberSyntax : public QObject {
    Q_OBJECT
private slots:
    void acceptsOnlyPlainNumbers_data();
    void acceptsOnlyPlainNumbers();
    void numbersBeyondTheRange_data();
    void numbersBeyondTheRange();
    void leadingReaderStopsAtFirstForeignCharacter_data();
    void leadingReaderStopsAtFirstForeignCharacter();
};

void TstNumberSyntax::acceptsOnlyPlainNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << "230" << true << 230.0;
    QTest::newRow("fraction") << "0.4" << true << 0.4;
    QTest::newRow("negative") << "-5" << true << -5.0;
    QTest::newRow("plus sign") << "+7" << true << 7.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("capital exponent") << "1E3" << true << 1000.0;
    QTest::newRow("signed exponent") << "25e-1" << true << 2.5;
    QTest::newRow("leading space") << " 400" << true << 400.0;
    QTest::newRow("leading spaces and fraction") << "  12.5" << true << 12.5;
    QTest::newRow("point first") << ".5" << true << 0.5;
    QTest::newRow("point last") << "5." << true << 5.0;
    QTest::newRow("trailing space") << "400 " << false << 0.0;
    QTest::newRow("comma") << "0,4" << false << 0.0;
    QTest::newRow("12,5") << "12,5" << false << 0.0;
    QTest::newRow("unit after") << "10 кВ" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("only spaces") << "   " << false << 0.0;
    QTest::newRow("only sign") << "-" << false << 0.0;
    QTest::newRow("only point") << "." << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("exponent sign without digits") << "1e+" << false << 0.0;
    QTest::newRow("Cyrillic letter") << "А123" << false << 0.0;
    QTest::newRow("tab before") << "\t5" << false << 0.0;
    QTest::newRow("two signs") << "+-5" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("infinity word") << "inf" << false << 0.0;
    QTest::newRow("beyond the extended range") << "1e99999" << false << 0.0;
}

Q_DECLARE_METATYPE(NumberReading)

// A text of the syntax is a number whatever its size: too large is an overflow, never
// "not a number", and too small is 0.
void TstNumberSyntax::numbersBeyondTheRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<NumberReading>("reading");
    QTest::addColumn<double>("value");

    using R = NumberReading;
    QTest::newRow("1e5000") << "1e5000" << R::Overflow << 0.0;
    QTest::newRow("negative") << "-1e5000" << R::Overflow << 0.0;
    QTest::newRow("many digits before the exponent") << "123456789e4925" << R::Overflow << 0.0;
    QTest::newRow("exponent longer than any integer")
        << "1e99999999999999999999999" << R::Overflow << 0.0;
    QTest::newRow("exponent at the integer limit, many digits")
        << "71e9223372036854775807" << R::Overflow << 0.0;
    QTest::newRow("exponent at the negative integer limit")
        << "71e-9223372036854775808" << R::Number << 0.0;
    QTest::newRow("1e-5000") << "1e-5000" << R::Number << 0.0;
    QTest::newRow("small fraction, large negative exponent") << "0.0001e-4950" << R::Number << 0.0;
    QTest::newRow("huge mantissa, huge negative exponent") << "1000000e-5000" << R::Number << 0.0;
    QTest::newRow("negative exponent longer than any integer")
        << "-5e-99999999999999999999999" << R::Number << 0.0;
    QTest::newRow("zero with a huge exponent") << "0.000e99999" << R::Number << 0.0;
    QTest::newRow("within the range") << "2.5e3" << R::Number << 2500.0;
    QTest::newRow("not a number stays one") << "1e5000 " << R::NotANumber << 0.0;
}

void TstNumberSyntax::numbersBeyondTheRange()
{
    QFETCH(QString, text);
    QFETCH(NumberReading, reading);
    QFETCH(double, value);
    long double read = -7;
    QCOMPARE(readNumber(text, read), reading);
    QCOMPARE(double(read), reading == NumberReading::Number ? value : -7.0);
}

void TstNumberSyntax::acceptsOnlyPlainNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    long double read = -12345;
    const bool ok = readPlainNumber(text, read);
    QCOMPARE(ok, isNumber);
    if (isNumber) {
        QVERIFY(isPlainNumber(text));
        QCOMPARE(double(read), value);
    } else {
        QCOMPARE(double(read), -12345.0); // a refused text leaves the value alone
    }
}

void TstNumberSyntax::leadingReaderStopsAtFirstForeignCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("value");

    QTest::newRow("whole text") << "12.5" << 4 << 12.5;
    QTest::newRow("stops at space") << "400 " << 3 << 400.0;
    QTest::newRow("stops at comma") << "12,5" << 2 << 12.0;
    QTest::newRow("stops at second point") << "1.2.3" << 3 << 1.2;
    QTest::newRow("dangling exponent left out") << "3e+" << 1 << 3.0;
    QTest::newRow("unit after") << "10 кВ" << 2 << 10.0;
    QTest::newRow("nothing readable") << "кВ" << 0 << 0.0;
}

void TstNumberSyntax::leadingReaderStopsAtFirstForeignCharacter()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QFETCH(double, value);
    long double read = 0;
    QCOMPARE(int(readLeadingNumber(text, read)), length);
    QCOMPARE(double(read), value);
}

QTEST_APPLESS_MAIN(TstNumberSyntax)
#include "tst_numbersyntax.moc"
