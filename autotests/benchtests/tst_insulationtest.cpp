#include "insulationtest.h"
#include "recordingsink.h"

#include <QTest>

class InsulationTest : public QObject {
    Q_OBJECT
private slots:
    void absorptionCoefficient_data();
    void absorptionCoefficient();
    void everyRowFollowsOnlyItsOwnTexts();
    void clearedRowsEmptyTheirCoefficients();
};

void InsulationTest::absorptionCoefficient_data()
{
    QTest::addColumn<QString>("r15");
    QTest::addColumn<QString>("r60");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1000 and 1300") << "1000" << "1300" << "1.3000";
    QTest::newRow("3 and 4") << "3" << "4" << "1.3333";
    QTest::newRow("far apart") << "1" << "12.3456" << "12.3456";
    QTest::newRow("below one") << "0.5" << "1" << "2.0000";
    QTest::newRow("with a leading space and an exponent") << " 1e3" << "1.3E3" << "1.3000";
    QTest::newRow("a comma is not a number") << "3" << "1,5" << "";
    QTest::newRow("a trailing space is not a number") << "1000 " << "1300" << "";
    QTest::newRow("60-second value missing") << "1000" << "" << "";
    QTest::newRow("15-second value missing") << "" << "1300" << "";
    QTest::newRow("15-second value zero on the way to 0.5") << "0" << "1300" << "";
    QTest::newRow("15-second value zero with a point") << "0." << "1300" << "";
}

void InsulationTest::absorptionCoefficient()
{
    QFETCH(QString, r15);
    QFETCH(QString, r60);
    QFETCH(QString, expected);
    QCOMPARE(absorptionCoefficientText(r15, r60), expected);
}

void InsulationTest::everyRowFollowsOnlyItsOwnTexts()
{
    InsulationTexts texts;
    texts.RHigh15 = "";
    texts.RHigh60 = "1300";
    texts.RLow15 = "3";
    texts.RLow60 = "4";
    texts.RHL15 = "500";
    texts.RHL60 = "750";

    RecordingSink sink;
    sink.preset({"KabsHigh", "KabsLow", "KabsHL"}, "9.9999");
    computeAbsorptionCoefficients(texts, sink);

    QCOMPARE(sink.text("KabsHigh"), QString());
    QCOMPARE(sink.text("KabsLow"), QString("1.3333"));
    QCOMPARE(sink.text("KabsHL"), QString("1.5000"));
}

void InsulationTest::clearedRowsEmptyTheirCoefficients()
{
    RecordingSink sink;
    sink.preset({"KabsHigh", "KabsLow", "KabsHL"}, "1.3000");
    computeAbsorptionCoefficients(InsulationTexts{}, sink);
    QCOMPARE(sink.text("KabsHigh"), QString());
    QCOMPARE(sink.text("KabsLow"), QString());
    QCOMPARE(sink.text("KabsHL"), QString());
}

QTEST_GUILESS_MAIN(InsulationTest)
#include "tst_insulationtest.moc"
