#include "bencherror.h"
#include "linkreceiver.h"
#include "linktexts.h"
#include "packetbuilder.h"

#include <QtTest>

#include <memory>

namespace {

// The serial input as the receiver sees it: bytes waiting, read on request.
struct FakeLine {
    QByteArray waiting;
    int largestRequest = 0;

    int pending() const { return int(waiting.size()); }
    LinkReceiver::Reader reader()
    {
        return [this](std::uint8_t *buffer, int maxCount) {
            largestRequest = std::max(largestRequest, maxCount);
            const int n = std::min(maxCount, int(waiting.size()));
            std::memcpy(buffer, waiting.constData(), std::size_t(n));
            waiting.remove(0, n);
            return n;
        };
    }
};

SignalFields fiftyHertz()
{
    SignalFields f;
    f.Uab = 60000000; // 100 V
    f.UabMean = 39946397;
    f.w0 = 100;
    f.w1 = 900;
    f.w2 = 6;
    f.w3 = 900;
    return f;
}

// What a control would show: its new text, or "unchanged".
QString shown(const std::optional<QString> &text)
{
    return text.value_or(QStringLiteral("unchanged"));
}

PacketCounts counted(int signal, int resistance, int failed)
{
    return PacketCounts{signal, resistance, failed};
}

} // namespace

class TestLinkReceiver : public QObject {
    Q_OBJECT
private slots:
    void init();

    void goodSignalPacketFillsTheReadouts();
    void badChecksumIsCountedAndChangesNoReading();
    void pausedResistancePacketOnlyShowsTheInterval();
    void everyPacketOfOneEventIsCountedAndDecodedInTurn();
    void intervalIsMeasuredFromPacketToPacket();
    void goodResistancePacketGivesTheCellText();
    void bytesBeyondTheRoomWaitForTheNextEvent();
    void failingReadLeavesTheCollectedBytesAlone();
    void afterARestartALonePacketIsTakenWhenTheLineStaysQuiet();
    void updatesFoldIntoTheLatest();
    void textsOfTheFacts_data();
    void textsOfTheFacts();
    void onlyTheLastPacketsAreDecodedYetTheReadingsAreThoseOfEachInTurn();

private:
    LinkUpdate receive(const QByteArray &bytes);

    qint64 now = 0;
    std::unique_ptr<LinkReceiver> link;
    FakeLine line;
    BenchReadings readings;
    LinkContext context;
};

void TestLinkReceiver::init()
{
    now = 0;
    link = std::make_unique<LinkReceiver>([this] { return now; });
    line = {};
    readings = {};
    context = {};
    context.scaling = InstrumentScaling{1, 3, 1, 2};
    context.locale = QLocale(QLocale::Russian, QLocale::Russia);
}

LinkUpdate TestLinkReceiver::receive(const QByteArray &bytes)
{
    line.waiting += bytes;
    LinkUpdate update = link->receive(line.pending(), line.reader(), readings, context);
    if (update.readings)
        readings = *update.readings;
    return update;
}

void TestLinkReceiver::goodSignalPacketFillsTheReadouts()
{
    const LinkUpdate u = receive(signalPacket(fiftyHertz()));
    QCOMPARE(u.bytesRead, 58);
    QCOMPARE(u.verdict, (PacketVerdict{PacketKind::Signal, PacketCheck::Good}));
    QCOMPARE(u.counts, counted(1, 0, 0));
    QCOMPARE(u.lastGoodKind, PacketKind::Signal);
    QVERIFY(u.readings && u.textSource);
    const LinkTexts t = linkTexts(u);
    QCOMPARE(shown(t.verdict), QStringLiteral("CRCV OK"));
    QCOMPARE(shown(t.signalCount), QStringLiteral("VA 1"));
    QCOMPARE(t.readouts->Uab, QStringLiteral("100.0"));
    QCOMPARE(t.readouts->Freq, QStringLiteral("50.00"));
    QCOMPARE(t.readouts->Kf, QStringLiteral("1.1100"));
    QVERIFY(!u.resistanceText);
}

void TestLinkReceiver::badChecksumIsCountedAndChangesNoReading()
{
    LinkUpdate u = receive(withBadChecksum(signalPacket(fiftyHertz())));
    QCOMPARE(u.verdict, (PacketVerdict{PacketKind::Signal, PacketCheck::BadChecksum}));
    QCOMPARE(u.counts, counted(0, 0, 1));
    QVERIFY(u.intervalMs);
    QVERIFY(!u.readings && !u.textSource && !u.lastGoodKind);

    u = receive(withBadChecksum(resistancePacket(1.0f)));
    QCOMPARE(u.verdict, (PacketVerdict{PacketKind::Resistance, PacketCheck::BadChecksum}));
    QCOMPARE(u.counts, counted(0, 0, 2));
    QVERIFY(!u.resistanceText && !u.Resistance);
    QCOMPARE(link->failedPackets(), 2);
}

void TestLinkReceiver::pausedResistancePacketOnlyShowsTheInterval()
{
    link->setResistancePaused(true);
    now = 700;
    const LinkUpdate u = receive(resistancePacket(1.0f));
    QCOMPARE(u.intervalMs, qint64(700));
    QVERIFY(!u.verdict && !u.counts && !u.lastGoodKind && !u.resistanceText);
    QCOMPARE(link->resistancePackets() + link->failedPackets(), 0);
}

void TestLinkReceiver::everyPacketOfOneEventIsCountedAndDecodedInTurn()
{
    SignalFields noPeriodCount = fiftyHertz();
    noPeriodCount.w2 = 0; // keeps the frequency of the packet before it
    noPeriodCount.Uab = 6000000;
    noPeriodCount.UabMean = 0; // no form factor: the earlier packet's stays
    link->setResistanceExpected(true); // a measurement runs
    LinkUpdate u = receive(signalPacket(fiftyHertz()) + resistancePacket(2.0f)
                           + withBadChecksum(resistancePacket(3.0f))
                           + signalPacket(noPeriodCount) + resistancePacket(1.25f));
    // The packet behind the failed one waits for the stream to confirm it, here a quiet line.
    u.absorb(link->lineQuiet(readings, context));
    QCOMPARE(u.counts, counted(2, 2, 1));
    QCOMPARE(u.verdict, (PacketVerdict{PacketKind::Resistance, PacketCheck::Good}));
    QCOMPARE(u.lastGoodKind, PacketKind::Resistance);
    QCOMPARE(double(u.readings->Frequency), 50.0);
    const LinkTexts t = linkTexts(u);
    QCOMPARE(t.readouts->Uab, QStringLiteral("31.6"));
    QCOMPARE(t.readouts->Kf, QStringLiteral("1.1100"));
    QCOMPARE(shown(u.resistanceText), QStringLiteral("1,3"));
}

void TestLinkReceiver::intervalIsMeasuredFromPacketToPacket()
{
    now = 1500;
    QCOMPARE(receive(resistancePacket(1.0f)).intervalMs, qint64(1500));
    now = 3505;
    QCOMPARE(receive(resistancePacket(1.0f)).intervalMs, qint64(2005));
    now = 64705;
    QVERIFY(!receive(resistancePacket(1.0f).left(3)).intervalMs);
    QCOMPARE(receive(resistancePacket(1.0f).mid(3)).intervalMs, qint64(61200));
}

void TestLinkReceiver::goodResistancePacketGivesTheCellText()
{
    context.resistanceRange = 2;
    const LinkUpdate u = receive(QByteArray::fromHex("AA3FA0000000F3"));
    QCOMPARE(u.verdict, (PacketVerdict{PacketKind::Resistance, PacketCheck::Good}));
    QCOMPARE(u.counts, counted(0, 1, 0));
    QCOMPARE(u.lastGoodKind, PacketKind::Resistance);
    QCOMPARE(shown(u.resistanceText), QStringLiteral("1,250"));
    QCOMPARE(double(*u.Resistance), 1.25);
    QVERIFY(!u.readings && !u.textSource);
}

void TestLinkReceiver::bytesBeyondTheRoomWaitForTheNextEvent()
{
    QByteArray stream;
    for (int i = 0; i < 1200; ++i)
        stream += signalPacket(fiftyHertz());
    line.waiting = stream;
    LinkUpdate u = link->receive(int(stream.size()), line.reader(), readings, context);
    QCOMPARE(line.largestRequest, PacketFramer::BufferSize);
    QCOMPARE(u.bytesRead, PacketFramer::BufferSize);
    const int firstCount = PacketFramer::BufferSize / 58;
    QCOMPARE(u.counts, counted(firstCount, 0, 0));

    u = link->receive(line.pending(), line.reader(), readings, context);
    QVERIFY(line.largestRequest <= PacketFramer::BufferSize);
    QCOMPARE(u.counts, counted(1200, 0, 0));
    QCOMPARE(line.pending(), 0);
}

void TestLinkReceiver::failingReadLeavesTheCollectedBytesAlone()
{
    const QByteArray packet = signalPacket(fiftyHertz());
    receive(packet.left(30));
    QVERIFY_THROWS_EXCEPTION(BenchError,
                             link->receive(5, [](std::uint8_t *, int) -> int {
                                 throw BenchError(QStringLiteral("Read error (1), broken"));
                             }, readings, context));
    QCOMPARE(link->framer().rxCount(), 30);
    QCOMPARE(receive(packet.mid(30)).counts, counted(1, 0, 0));
}

// Opening the port or a drain restarts the stream; one resistance packet and then
// silence (a measurement's first value) must still reach the cell.
void TestLinkReceiver::afterARestartALonePacketIsTakenWhenTheLineStaysQuiet()
{
    receive(signalPacket(fiftyHertz()).left(30));
    link->setResistanceExpected(true); // the drain after the measurement's start
    link->restartStream();
    LinkUpdate u = receive(resistancePacket(2.0f));
    QVERIFY(!u.resistanceText && !u.counts);
    QVERIFY(link->awaitsQuietLine());
    u = link->lineQuiet(readings, context);
    QVERIFY(u.resistanceText);
    QCOMPARE(u.counts, counted(0, 1, 0));
    QVERIFY(!link->awaitsQuietLine());
    QVERIFY(!link->lineQuiet(readings, context).counts); // nothing waits any more
}

// The window writes several events at once: what the later sets wins, the rest stays,
// and a form factor left unchanged by the later packet keeps the earlier one.
void TestLinkReceiver::updatesFoldIntoTheLatest()
{
    link->setResistanceExpected(true); // a measurement runs
    LinkUpdate first = receive(signalPacket(fiftyHertz()) + resistancePacket(1.0f));
    const LinkUpdate second = receive(withBadChecksum(signalPacket(fiftyHertz())));
    QVERIFY(linkTexts(first).readouts->KfColour != FormFactorColour::Unchanged);
    const QString kf = linkTexts(first).readouts->Kf;
    first.absorb(second);
    QCOMPARE(first.verdict, (PacketVerdict{PacketKind::Signal, PacketCheck::BadChecksum}));
    QCOMPARE(first.counts, counted(1, 1, 1));
    QCOMPARE(first.bytesRead, 58 + 7 + 58);

    SignalFields noMean = fiftyHertz();
    noMean.UabMean = 0; // leaves the form factor as it was
    noMean.Uab = 15000000;
    LinkUpdate third = receive(signalPacket(noMean) + signalPacket(noMean));
    third.absorb(link->lineQuiet(readings, context)); // the last waits for its follower
    first.absorb(third);
    QCOMPARE(first.counts, counted(3, 1, 1));
    QCOMPARE(linkTexts(first).readouts->Uab, QStringLiteral("50.0"));
    QCOMPARE(linkTexts(first).readouts->Kf, kf);

    // Distorted, then a packet without a mean: the red form factor stays with its colour.
    SignalFields distorted = fiftyHertz();
    distorted.UabMean = 38895176;
    LinkUpdate fourth = receive(signalPacket(distorted) + signalPacket(noMean));
    fourth.absorb(link->lineQuiet(readings, context));
    first.absorb(fourth);
    QCOMPARE(linkTexts(first).readouts->Kf, QStringLiteral("1.1400"));
    QCOMPARE(linkTexts(first).readouts->KfColour, FormFactorColour::OutOfRange);
}

void TestLinkReceiver::textsOfTheFacts_data()
{
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("check");
    QTest::addColumn<PacketCounts>("counts");
    QTest::addColumn<QStringList>("texts"); // interval, verdict, VA, R, F
    const int signal = int(PacketKind::Signal), resistance = int(PacketKind::Resistance);
    const int good = int(PacketCheck::Good), bad = int(PacketCheck::BadChecksum);
    QTest::newRow("good signal") << qint64(2005) << signal << good << counted(1, 0, 0)
                                 << QStringList{"2.005", "CRCV OK", "VA 1", "R 0", "F 0"};
    QTest::newRow("failed signal") << qint64(20) << signal << bad << counted(7, 3, 12)
                                   << QStringList{"0.020", "CRCV failed", "VA 7", "R 3", "F 12"};
    QTest::newRow("good resistance") << qint64(61200) << resistance << good << counted(0, 1200, 0)
                                     << QStringList{"61.200", "CRCR OK", "VA 0", "R 1200", "F 0"};
    QTest::newRow("failed resistance") << qint64(-5) << resistance << bad << counted(0, 0, 1)
                                       << QStringList{"0.000", "CRCR failed", "VA 0", "R 0", "F 1"};
}

void TestLinkReceiver::textsOfTheFacts()
{
    QFETCH(qint64, intervalMs);
    QFETCH(int, kind);
    QFETCH(int, check);
    QFETCH(PacketCounts, counts);
    QFETCH(QStringList, texts);
    LinkUpdate u;
    QVERIFY(!u.showsSomething());
    const LinkTexts none = linkTexts(u);
    QVERIFY(!none.interval && !none.verdict && !none.signalCount && !none.resistanceCount
            && !none.failedCount && !none.readouts);
    u.intervalMs = intervalMs;
    u.verdict = PacketVerdict{PacketKind(kind), PacketCheck(check)};
    u.counts = counts;
    const LinkTexts t = linkTexts(u);
    QCOMPARE((QStringList{shown(t.interval), shown(t.verdict), shown(t.signalCount),
                          shown(t.resistanceCount), shown(t.failedCount)}),
             texts);
    QVERIFY(!t.readouts);
}

// At full line rate only the last packets of an event are decoded; the readings and the
// texts must be those that decoding every packet in turn gives.
void TestLinkReceiver::onlyTheLastPacketsAreDecodedYetTheReadingsAreThoseOfEachInTurn()
{
    SignalFields noPeriod = fiftyHertz();
    noPeriod.w2 = 0;
    noPeriod.UabMean = 0;
    noPeriod.Uab = 15000000;
    SignalFields forty = fiftyHertz();
    forty.w1 = 1100; // five periods in 1000 ticks: 40 Hz
    forty.UabMean = 30000000; // distorted
    const QList<SignalFields> packets{fiftyHertz(), forty, noPeriod, noPeriod};
    BenchReadings inTurn;
    QByteArray bytes;
    for (const SignalFields &p : packets) {
        const QByteArray packet = signalPacket(p);
        const auto *data = reinterpret_cast<const std::uint8_t *>(packet.constData());
        inTurn = decodeSignalReadings(SignalPacketBytes(data, SignalPacketLength), inTurn, context.scaling,
                                      context.onePhase);
        bytes += packet;
    }
    LinkUpdate u = receive(bytes);
    u.absorb(link->lineQuiet(readings, context));
    QCOMPARE(double(u.readings->Frequency), double(inTurn.Frequency));
    QCOMPARE(double(u.readings->Uab), double(inTurn.Uab));
    QCOMPARE(double(u.readings->UabMean), 0.0);
    QCOMPARE(double(inTurn.Frequency), 40.0);
    const SignalTexts expected = signalTextsOf(inTurn, context.scaling, context.locale);
    const SignalTexts shownTexts = *linkTexts(u).readouts;
    QCOMPARE(shownTexts.Freq, expected.Freq);
    QCOMPARE(shownTexts.Uab, expected.Uab);
    // The form factor of `forty`, the last packet that carried a mean voltage.
    QCOMPARE(shownTexts.KfColour, FormFactorColour::OutOfRange);
    QCOMPARE(u.counts, counted(4, 0, 0));
}

QTEST_APPLESS_MAIN(TestLinkReceiver)
#include "tst_linkreceiver.moc"
