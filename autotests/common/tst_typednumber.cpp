#include "typednumber.h"

#include <QTest>

using Problem = TypedNumber::Problem;
Q_DECLARE_METATYPE(Problem)

using namespace Qt::StringLiterals;

class TstTypedNumber : public QObject {
    Q_OBJECT
private slots:
    void wholeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<double>("value");
        QTest::newRow("padded result") << "  600.0" << Problem::None << 600.0;
        QTest::newRow("decimal comma") << "0,1234" << Problem::None << 0.1234;
        QTest::newRow("comma and exponent") << "1,5e-2" << Problem::None << 0.015;
        QTest::newRow("grouped by a blank") << "1 234,5" << Problem::None << 1234.5;
        QTest::newRow("grouped by a no-break space") << u"12\u00a0345\u00a0678"_s << Problem::None << 12345678.0;
        QTest::newRow("grouped by commas before a point") << "1,234.5" << Problem::None << 1234.5;
        QTest::newRow("grouped by points before a comma") << "1.234,5" << Problem::None << 1234.5;
        QTest::newRow("minus sign") << u"\u22125,5"_s << Problem::None << -5.5;
        QTest::newRow("point last") << "5." << Problem::None << 5.0;
        QTest::newRow("too large for a double") << "1e400" << Problem::OutOfRange << 0.0;
        QTest::newRow("too large for anything") << "1e99999" << Problem::OutOfRange << 0.0;
        QTest::newRow("a group of two") << "1 23" << Problem::Unclear << 0.0;
        QTest::newRow("a first group of four") << "1234 567" << Problem::Unclear << 0.0;
        QTest::newRow("two decimal points") << "1.2.3" << Problem::Unclear << 0.0;
        QTest::newRow("two commas") << "0,1," << Problem::Unclear << 0.0;
        QTest::newRow("a blank in the fraction") << "0,123 456" << Problem::Unclear << 0.0;
        QTest::newRow("unit after") << "1.98 %" << Problem::NotANumber << 0.0;
        QTest::newRow("words") << "нет" << Problem::NotANumber << 0.0;
        QTest::newRow("only a sign") << "-" << Problem::NotANumber << 0.0;
        QTest::newRow("empty") << "   " << Problem::Empty << 0.0;
    }
    void wholeTexts()
    {
        QFETCH(QString, text);
        QFETCH(Problem, problem);
        QFETCH(double, value);
        const TypedNumber n = readTypedNumber(text);
        QCOMPARE(n.problem, problem);
        QCOMPARE(n.value.has_value(), problem == Problem::None);
        if (n.value)
            QCOMPARE(*n.value, value);
        QCOMPARE(n.problemText().isEmpty(), problem == Problem::None || problem == Problem::Empty);
    }

    void leadingNumbersOfFreeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<double>("value");
        QTest::newRow("unit") << "52 кВ" << Problem::None << 52.0;
        QTest::newRow("unit without a blank") << "52кВ" << Problem::None << 52.0;
        QTest::newRow("grouped water") << "1 234,5 г/т" << Problem::None << 1234.5;
        QTest::newRow("acid with an exponent") << "1,5e-2 мг КОН/г" << Problem::None << 0.015;
        QTest::newRow("nameplate voltages") << "10 000 В / 400 В" << Problem::None << 10000.0;
        QTest::newRow("a sentence's comma") << "0,02, свежее" << Problem::None << 0.02;
        QTest::newRow("a sentence's point") << "30." << Problem::None << 30.0;
        QTest::newRow("an e that is a word") << "2 ед." << Problem::None << 2.0;
        QTest::newRow("breakdown beyond a double") << "1e400 кВ" << Problem::OutOfRange << 0.0;
        QTest::newRow("two numbers") << "20 30 кВ" << Problem::Unclear << 0.0;
        QTest::newRow("a broken group") << "1 2345 г/т" << Problem::Unclear << 0.0;
        QTest::newRow("two blanks then digits") << "1  234" << Problem::Unclear << 0.0;
        QTest::newRow("words first") << "не пробивается" << Problem::NotANumber << 0.0;
    }
    void leadingNumbersOfFreeTexts()
    {
        QFETCH(QString, text);
        QFETCH(Problem, problem);
        QFETCH(double, value);
        const TypedNumber n = readLeadingTypedNumber(text);
        QCOMPARE(n.problem, problem);
        QCOMPARE(n.value.has_value(), problem == Problem::None);
        if (n.value)
            QCOMPARE(*n.value, value);
    }
};

QTEST_GUILESS_MAIN(TstTypedNumber)
#include "tst_typednumber.moc"
