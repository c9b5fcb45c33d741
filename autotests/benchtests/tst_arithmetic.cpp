#include "arithmetic.h"
#include "bencherror.h"

#include <QTest>

#include <limits>

class TstArithmetic : public QObject {
    Q_OBJECT
private slots:
    void divisionFailuresNameTheirKind_data();
    void divisionFailuresNameTheirKind();
};

void TstArithmetic::divisionFailuresNameTheirKind_data()
{
    QTest::addColumn<double>("dividend");
    QTest::addColumn<double>("divisor");
    QTest::addColumn<QString>("error"); // empty: a quotient

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("zero by zero") << 0.0 << 0.0 << InvalidOperationText;
    QTest::newRow("negative zero by zero") << -0.0 << 0.0 << InvalidOperationText;
    QTest::newRow("number by zero") << 5.0 << 0.0 << DivisionByZeroText;
    QTest::newRow("negative number by zero") << -5.0 << -0.0 << DivisionByZeroText;
    QTest::newRow("nan by zero") << nan << 0.0 << InvalidOperationText;
    QTest::newRow("nan by number") << nan << 2.0 << InvalidOperationText;
    QTest::newRow("zero by number") << 0.0 << 4.0 << QString();
    QTest::newRow("number by number") << 6.0 << 4.0 << QString();
}

void TstArithmetic::divisionFailuresNameTheirKind()
{
    QFETCH(double, dividend);
    QFETCH(double, divisor);
    QFETCH(QString, error);
    try {
        const long double q = checkedDivide(dividend, divisor);
        QVERIFY2(error.isEmpty(), "no error raised");
        QCOMPARE(double(q), dividend / divisor);
    } catch (const BenchError &e) {
        QCOMPARE(e.text(), error);
    }
}

QTEST_APPLESS_MAIN(TstArithmetic)
#include "tst_arithmetic.moc"
