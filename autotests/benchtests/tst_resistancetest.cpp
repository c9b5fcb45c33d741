#include "recordingsink.h"
#include "resistancetest.h"

#include <QLocale>
#include <QTest>

namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);
const QLocale English(QLocale::English, QLocale::UnitedStates);

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

class ResistanceTest : public QObject {
    Q_OBJECT
private slots:
    void startSendsTheRangeAndItsEcho_data();
    void startSendsTheRangeAndItsEcho();
    void startWithoutARangeSendsNothing_data();
    void startWithoutARangeSendsNothing();
    void stopSendsFiveAndFiftyFive();
    void serviceButtonsSendTheirLeadAndFiveOnes();
    void pairGroupsMirrorEachOther_data();
    void pairGroupsMirrorEachOther();
    void imbalanceOfAColumn_data();
    void imbalanceOfAColumn();
    void everyColumnGetsItsOwnImbalance();
};

void ResistanceTest::startSendsTheRangeAndItsEcho_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<QByteArray>("tail");

    QTest::newRow("200 ohm") << 0 << bytes({0, 50});
    QTest::newRow("20 ohm") << 1 << bytes({1, 51});
    QTest::newRow("2 ohm") << 2 << bytes({2, 52});
    QTest::newRow("0.2 ohm") << 3 << bytes({3, 53});
    QTest::newRow("0.01 ohm") << 4 << bytes({4, 54});
}

void ResistanceTest::startSendsTheRangeAndItsEcho()
{
    QFETCH(int, range);
    QFETCH(QByteArray, tail);

    const auto command = resistanceStartCommand(range);
    QVERIFY(command.has_value());
    QCOMPARE(quint8(command->lead), quint8(0xAA));
    QCOMPARE(command->tail, tail);
}

void ResistanceTest::startWithoutARangeSendsNothing_data()
{
    QTest::addColumn<int>("range");
    QTest::newRow("no selection") << -1;
    QTest::newRow("past the last range") << 5;
}

void ResistanceTest::startWithoutARangeSendsNothing()
{
    QFETCH(int, range);
    QVERIFY(!resistanceStartCommand(range).has_value());
}

void ResistanceTest::stopSendsFiveAndFiftyFive()
{
    const ResistanceCommand stop = resistanceStopCommand();
    QCOMPARE(quint8(stop.lead), quint8(0xAA));
    QCOMPARE(stop.tail, bytes({5, 55}));
}

void ResistanceTest::serviceButtonsSendTheirLeadAndFiveOnes()
{
    QCOMPARE(serviceCommandCC(), bytes({0xCC, 1, 1, 1, 1, 1}));
    QCOMPARE(serviceCommandB5(), bytes({0xB5, 1, 1, 1, 1, 1}));
}

void ResistanceTest::pairGroupsMirrorEachOther_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("mirrored");

    QTest::newRow("AB and A0") << 0 << 0;
    QTest::newRow("CA and B0") << 1 << 1;
    QTest::newRow("BC and C0") << 2 << 2;
    QTest::newRow("no selection stays none") << -1 << -1;
    QTest::newRow("an index past the rows selects none") << 3 << -1;
}

void ResistanceTest::pairGroupsMirrorEachOther()
{
    QFETCH(int, index);
    QFETCH(int, mirrored);
    QCOMPARE(mirroredPairIndex(index), mirrored);
}

void ResistanceTest::imbalanceOfAColumn_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("expected");

    const QString nbsp(QChar(0x00A0));
    QTest::newRow("russian separators") << Russian << QStringList{"1,000", "1,010", "0,990"} << "1,98 %";
    QTest::newRow("full stop locale") << English << QStringList{"1.000", "1.010", "0.990"} << "1.98 %";
    QTest::newRow("order of the rows does not matter")
        << Russian << QStringList{"0,990", "1,000", "1,010"} << "1,98 %";
    QTest::newRow("equal phases") << Russian << QStringList{"2,5", "2,5", "2,5"} << "0,00 %";
    QTest::newRow("a half rounds away from zero")
        << English << QStringList{"800", "799", "800"} << "0.13 %";
    QTest::newRow("thousands grouped, five significant digits")
        << Russian << QStringList{"1", "-11,3456", "1"} << "1" + nbsp + "234,60 %";
    QTest::newRow("five significant digits above 100000")
        << Russian << QStringList{"1", "-1233,456", "1"} << "123" + nbsp + "450,00 %";
    QTest::newRow("an empty cell") << Russian << QStringList{"1,000", "", "0,990"} << "";
    QTest::newRow("three zeros") << Russian << QStringList{"0,0", "0,0", "0,0"} << "";
    QTest::newRow("largest value zero") << English << QStringList{"0", "-1", "-2"} << "";
    QTest::newRow("a full stop under russian separators")
        << Russian << QStringList{"1.000", "1.010", "0.990"} << "";
    QTest::newRow("a comma under full-stop separators")
        << English << QStringList{"1,000", "1,010", "0,990"} << "";
    QTest::newRow("text that is not a number") << Russian << QStringList{"1,0", "abc", "1,0"} << "";
}

void ResistanceTest::imbalanceOfAColumn()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, cells);
    QFETCH(QString, expected);
    QCOMPARE(imbalanceText(cells[0], cells[1], cells[2], locale), expected);
}

void ResistanceTest::everyColumnGetsItsOwnImbalance()
{
    // Column 0 complete, column 1 missing a phase, column 5 ("HH") complete, the rest empty.
    const QString grid[6][3] = {{"1,000", "1,010", "0,990"}, {"1,000", "", "1,000"}, {}, {}, {},
                                {"0,02000", "0,02000", "0,01900"}};
    RecordingSink sink;
    sink.preset({RecordingSink::cellKey("ResistenceGrid", 1, ImbalanceRow)}, "1,00 %");

    computeImbalances([&grid](int column, int row) { return grid[column][row]; }, Russian, sink);

    QCOMPARE(sink.cell("ResistenceGrid", 0, ImbalanceRow), QString("1,98 %"));
    QCOMPARE(sink.cell("ResistenceGrid", 1, ImbalanceRow), QString());
    for (int column = 2; column < 5; ++column)
        QCOMPARE(sink.cell("ResistenceGrid", column, ImbalanceRow), QString());
    QCOMPARE(sink.cell("ResistenceGrid", 5, ImbalanceRow), QString("5,00 %"));
    QCOMPARE(sink.written.size(), ResistanceTapCount);
}

QTEST_GUILESS_MAIN(ResistanceTest)
#include "tst_resistancetest.moc"
