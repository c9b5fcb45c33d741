#include "benchpackets.h"
#include "commandparser.h"

#include <QTest>

namespace {

using Kind = BenchCommand::Kind;

// One line per command, so that a whole sequence compares in one go and reads in a failure.
QString describe(const BenchCommand &c)
{
    switch (c.kind) {
    case Kind::ResistanceStart:
        return QStringLiteral("start %1").arg(c.range);
    case Kind::ResistanceStop:
        return QStringLiteral("stop");
    case Kind::Calibration:
        return QStringLiteral("calibration %1 %2 %3%4")
                .arg(c.command, 2, 16, QLatin1Char('0'))
                .arg(c.selector)
                .arg(double(c.value), 0, 'g', 10)
                .arg(c.checksumOk ? QString() : QStringLiteral(" bad"));
    case Kind::ServiceCC:
        return QStringLiteral("service CC");
    case Kind::ServiceB5:
        return QStringLiteral("service B5");
    case Kind::Unrecognised:
        return QStringLiteral("stray %1").arg(QString::fromLatin1(c.bytes.toHex()));
    }
    return {};
}

QStringList describe(const QList<BenchCommand> &commands)
{
    QStringList out;
    for (const BenchCommand &c : commands)
        out << describe(c);
    return out;
}

QStringList feedAll(CommandParser &parser, const QList<QByteArray> &pieces)
{
    QStringList out;
    for (const QByteArray &piece : pieces)
        out << describe(parser.feed(piece));
    return out;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestCommandParser : public QObject
{
    Q_OBJECT
private slots:
    void commandArrivesInTwoPartsAroundThePause_data();
    void commandArrivesInTwoPartsAroundThePause();
    void anyCuttingOfAStreamGivesTheSameCommands();
    void strayBytesAreSetAsideUntilACommandStarts_data();
    void strayBytesAreSetAsideUntilACommandStarts();
    void calibrationWithAWrongChecksumIsStillOneFrame();
    void hiddenServiceCommandsAreTellable_data();
    void hiddenServiceCommandsAreTellable();
    void silenceDoesNotCutAWaitingCommandShort();
    void abandonedCommandDoesNotJoinTheNextBytes();
};

void TestCommandParser::commandArrivesInTwoPartsAroundThePause_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<QString>("command");

    for (int range = 0; range <= 4; ++range) {
        const char pair[] = {char(range), char(range + 50)};
        QTest::addRow("start, range index %d", range)
                << hex("AA") << QByteArray(pair, 2) << QStringLiteral("start %1").arg(range);
    }
    QTest::newRow("stop") << hex("AA") << hex("0537") << "stop";
    QTest::newRow("voltage 400 V, first channels") << hex("DD") << hex("00C0E1644E68") << "calibration dd 0 960000000";
    QTest::newRow("voltage 100 V, second channels") << hex("DD") << hex("068096184E43") << "calibration dd 6 640000000";
    QTest::newRow("current 5 A, value bytes look like B5") << hex("DD") << hex("03B576C94E3C")
                                                           << "calibration dd 3 1690000000";
    QTest::newRow("resistance 200 ohm") << hex("CC") << hex("000000484397") << "calibration cc 0 200";
    QTest::newRow("resistance 0.2 ohm") << hex("CC") << hex("03CDCC4C3E20") << "calibration cc 3 0.200000003";
}

void TestCommandParser::commandArrivesInTwoPartsAroundThePause()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, rest);
    QFETCH(QString, command);
    CommandParser parser;
    QCOMPARE(describe(parser.feed(first)), QStringList());
    QCOMPARE(describe(parser.lineIdle()), QStringList());
    QCOMPARE(describe(parser.feed(rest)), QStringList{command});
    QVERIFY(parser.pendingBytes().isEmpty());
}

void TestCommandParser::anyCuttingOfAStreamGivesTheSameCommands()
{
    const QByteArray stream = hex("AA0234") + calibrationFrameBytes(0xDD, 3, 1690000000.0f) + hex("AA0537")
            + hex("B50101010101") + hex("CC03CDCC4C3E20") + hex("AA0436");
    const QStringList expected{"start 2", "calibration dd 3 1690000000", "stop", "service B5",
                               "calibration cc 3 0.200000003", "start 4"};
    {
        CommandParser parser;
        QCOMPARE(describe(parser.feed(stream)), expected);
    }
    for (int cut = 1; cut < stream.size(); ++cut) {
        CommandParser parser;
        QCOMPARE(feedAll(parser, {stream.left(cut), stream.mid(cut)}), expected);
    }
    QList<QByteArray> bytes;
    for (char b : stream)
        bytes << QByteArray(1, b);
    CommandParser parser;
    QCOMPARE(feedAll(parser, bytes), expected);
}

void TestCommandParser::strayBytesAreSetAsideUntilACommandStarts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("noise before a start") << hex("00FF10AA0133") << QStringList{"stray 00ff10", "start 1"};
    QTest::newRow("pair that does not add up to 50")
            << hex("AA0235AA0032") << QStringList{"stray aa0235", "start 0"};
    QTest::newRow("index beyond stop is refused at once") << hex("AA07") << QStringList{"stray aa07"};
    QTest::newRow("start inside a broken pair") << hex("AAAA0335") << QStringList{"stray aa", "start 3"};
    QTest::newRow("B5 without its filler") << hex("B50102AA0537") << QStringList{"stray b50102", "stop"};
}

void TestCommandParser::strayBytesAreSetAsideUntilACommandStarts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, commands);
    CommandParser parser;
    QCOMPARE(describe(parser.feed(bytes)), commands);
}

void TestCommandParser::calibrationWithAWrongChecksumIsStillOneFrame()
{
    CommandParser parser;
    QCOMPARE(describe(parser.feed(hex("DD00C0E1644E69AA0537"))),
             (QStringList{"calibration dd 0 960000000 bad", "stop"}));
}

void TestCommandParser::hiddenServiceCommandsAreTellable_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("thenSilence");
    QTest::addColumn<QStringList>("commands");
    const QByteArray cc = hex("CC0101010101");
    QTest::newRow("B5 needs no silence") << hex("B50101010101") << false << QStringList{"service B5"};
    QTest::newRow("CC waits: it may be a calibration frame") << cc << false << QStringList{};
    QTest::newRow("CC settled by silence") << cc << true << QStringList{"service CC"};
    QTest::newRow("CC settled by a following start") << cc + hex("AA0234") << false
                                                      << QStringList{"service CC", "start 2"};
    QTest::newRow("calibration frame that looks like CC")
            << calibrationFrameBytes(0xCC, 1, std::bit_cast<float>(0x01010101u)) << false
            << QStringList{QStringLiteral("calibration cc 1 %1").arg(double(std::bit_cast<float>(0x01010101u)), 0, 'g', 10)};
}

void TestCommandParser::hiddenServiceCommandsAreTellable()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, thenSilence);
    QFETCH(QStringList, commands);
    CommandParser parser;
    QStringList got = describe(parser.feed(bytes));
    if (thenSilence)
        got << describe(parser.lineIdle());
    QCOMPARE(got, commands);
}

void TestCommandParser::silenceDoesNotCutAWaitingCommandShort()
{
    CommandParser parser;
    QCOMPARE(describe(parser.feed(hex("AA"))), QStringList());
    QCOMPARE(describe(parser.lineIdle()), QStringList());
    QCOMPARE(parser.pendingBytes(), hex("AA"));
    QCOMPARE(describe(parser.feed(hex("05"))), QStringList());
    QCOMPARE(describe(parser.lineIdle()), QStringList());
    QCOMPARE(describe(parser.feed(hex("37"))), QStringList{"stop"});
}

void TestCommandParser::abandonedCommandDoesNotJoinTheNextBytes()
{
    CommandParser parser;
    QCOMPARE(describe(parser.feed(hex("AA"))), QStringList());
    QCOMPARE(parser.discardPending(), hex("AA"));
    QCOMPARE(describe(parser.feed(hex("0537AA0133"))), (QStringList{"stray 0537", "start 1"}));
}

QTEST_GUILESS_MAIN(TestCommandParser)
#include "tst_commandparser.moc"
