#include "bencherror.h"
#include "linkreceiver.h"
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
    void deferredTextsAreTheTextsTheScreenWouldShow();

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
    QCOMPARE(shown(u.lbCRC), QStringLiteral("CRCV OK"));
    QCOMPARE(shown(u.Label2), QStringLiteral("VA 1"));
    QVERIFY(!u.Label6 && !u.Label8);
    QCOMPARE(u.lastGoodKind, PacketKind::Signal);
    QVERIFY(u.readings && u.signalTexts);
    QCOMPARE(u.signalTexts->Uab, QStringLiteral("100.0"));
    QCOMPARE(u.signalTexts->Freq, QStringLiteral("50.00"));
    QCOMPARE(u.signalTexts->Kf, QStringLiteral("1.1100"));
    QVERIFY(!u.resistanceText);
}

void TestLinkReceiver::badChecksumIsCountedAndChangesNoReading()
{
    LinkUpdate u = receive(withBadChecksum(signalPacket(fiftyHertz())));
    QCOMPARE(shown(u.lbCRC), QStringLiteral("CRCV failed"));
    QCOMPARE(shown(u.Label8), QStringLiteral("F 1"));
    QVERIFY(u.Label7);
    QVERIFY(!u.readings && !u.signalTexts && !u.Label2 && !u.lastGoodKind);

    u = receive(withBadChecksum(resistancePacket(1.0f)));
    QCOMPARE(shown(u.lbCRC), QStringLiteral("CRCR failed"));
    QCOMPARE(shown(u.Label8), QStringLiteral("F 2"));
    QVERIFY(!u.resistanceText && !u.Resistance && !u.Label6);
    QCOMPARE(link->failedPackets(), 2);
}

void TestLinkReceiver::pausedResistancePacketOnlyShowsTheInterval()
{
    link->setResistancePaused(true);
    now = 700;
    const LinkUpdate u = receive(resistancePacket(1.0f));
    QCOMPARE(shown(u.Label7), QStringLiteral("0.700"));
    QVERIFY(!u.lbCRC && !u.Label6 && !u.Label8 && !u.lastGoodKind && !u.resistanceText);
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
    QCOMPARE(shown(u.Label2), QStringLiteral("VA 2"));
    QCOMPARE(shown(u.Label6), QStringLiteral("R 2"));
    QCOMPARE(shown(u.Label8), QStringLiteral("F 1"));
    QCOMPARE(shown(u.lbCRC), QStringLiteral("CRCR OK"));
    QCOMPARE(u.lastGoodKind, PacketKind::Resistance);
    QCOMPARE(double(u.readings->Frequency), 50.0);
    QCOMPARE(u.signalTexts->Uab, QStringLiteral("31.6"));
    QCOMPARE(u.signalTexts->Kf, QStringLiteral("1.1100"));
    QCOMPARE(shown(u.resistanceText), QStringLiteral("1,3"));
}

void TestLinkReceiver::intervalIsMeasuredFromPacketToPacket()
{
    now = 1500;
    QCOMPARE(shown(receive(resistancePacket(1.0f)).Label7), QStringLiteral("1.500"));
    now = 3505;
    QCOMPARE(shown(receive(resistancePacket(1.0f)).Label7), QStringLiteral("2.005"));
    now = 64705;
    QCOMPARE(shown(receive(resistancePacket(1.0f).left(3)).Label7), QStringLiteral("unchanged"));
    QCOMPARE(shown(receive(resistancePacket(1.0f).mid(3)).Label7), QStringLiteral("61.200"));
}

void TestLinkReceiver::goodResistancePacketGivesTheCellText()
{
    context.resistanceRange = 2;
    const LinkUpdate u = receive(QByteArray::fromHex("AA3FA0000000F3"));
    QCOMPARE(shown(u.lbCRC), QStringLiteral("CRCR OK"));
    QCOMPARE(shown(u.Label6), QStringLiteral("R 1"));
    QCOMPARE(u.lastGoodKind, PacketKind::Resistance);
    QCOMPARE(shown(u.resistanceText), QStringLiteral("1,250"));
    QCOMPARE(double(*u.Resistance), 1.25);
    QVERIFY(!u.readings);
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
    QCOMPARE(shown(u.Label2), QStringLiteral("VA %1").arg(firstCount));

    u = link->receive(line.pending(), line.reader(), readings, context);
    QVERIFY(line.largestRequest <= PacketFramer::BufferSize);
    QCOMPARE(shown(u.Label2), QStringLiteral("VA 1200"));
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
    QCOMPARE(shown(receive(packet.mid(30)).Label2), QStringLiteral("VA 1"));
}

// Opening the port or a drain restarts the stream; one resistance packet and then
// silence (a measurement's first value) must still reach the cell.
void TestLinkReceiver::afterARestartALonePacketIsTakenWhenTheLineStaysQuiet()
{
    receive(signalPacket(fiftyHertz()).left(30));
    link->setResistanceExpected(true); // the drain after the measurement's start
    link->restartStream();
    LinkUpdate u = receive(resistancePacket(2.0f));
    QVERIFY(!u.resistanceText && !u.Label6);
    QVERIFY(link->awaitsQuietLine());
    u = link->lineQuiet(readings, context);
    QVERIFY(u.resistanceText);
    QCOMPARE(shown(u.Label6), QStringLiteral("R 1"));
    QVERIFY(!link->awaitsQuietLine());
    QVERIFY(!link->lineQuiet(readings, context).Label6); // nothing waits any more
}

// The window writes several events at once: what the later sets wins, the rest stays,
// and a form factor left unchanged by the later packet keeps the earlier one.
void TestLinkReceiver::updatesFoldIntoTheLatest()
{
    link->setResistanceExpected(true); // a measurement runs
    LinkUpdate first = receive(signalPacket(fiftyHertz()) + resistancePacket(1.0f));
    const LinkUpdate second = receive(withBadChecksum(signalPacket(fiftyHertz())));
    QVERIFY(first.signalTexts && first.signalTexts->KfColour != FormFactorColour::Unchanged);
    const QString kf = first.signalTexts->Kf;
    first.absorb(second);
    QCOMPARE(shown(first.lbCRC), QStringLiteral("CRCV failed"));
    QCOMPARE(shown(first.Label8), QStringLiteral("F 1"));
    QCOMPARE(shown(first.Label2), QStringLiteral("VA 1"));
    QCOMPARE(shown(first.Label6), QStringLiteral("R 1"));
    QCOMPARE(first.bytesRead, 58 + 7 + 58);

    SignalFields noMean = fiftyHertz();
    noMean.UabMean = 0; // leaves the form factor as it was
    noMean.Uab = 15000000;
    LinkUpdate third = receive(signalPacket(noMean) + signalPacket(noMean));
    third.absorb(link->lineQuiet(readings, context)); // the last waits for its follower
    first.absorb(third);
    QCOMPARE(shown(first.Label2), QStringLiteral("VA 3"));
    QCOMPARE(first.signalTexts->Uab, QStringLiteral("50.0"));
    QCOMPARE(first.signalTexts->Kf, kf);
}

// The window makes the readout texts only when it writes them; they must be those that
// decoding every packet with its texts would have left, the kept form factor included.
void TestLinkReceiver::deferredTextsAreTheTextsTheScreenWouldShow()
{
    SignalFields noMean = fiftyHertz();
    noMean.UabMean = 0;
    noMean.Uab = 15000000;
    SignalFields distorted = fiftyHertz();
    distorted.UabMean = 30000000;
    const QList<QByteArray> events = {signalPacket(fiftyHertz()),
                                      signalPacket(distorted) + signalPacket(noMean),
                                      signalPacket(noMean)};
    LinkReceiver deferred([] { return qint64(0); });
    LinkContext lazy = context;
    lazy.deferTexts = true;
    LinkUpdate eagerAll;
    LinkUpdate lazyAll;
    BenchReadings lazyReadings;
    for (const QByteArray &bytes : events) {
        FakeLine other;
        other.waiting = bytes;
        const LinkUpdate u = deferred.receive(other.pending(), other.reader(), lazyReadings, lazy);
        lazyReadings = u.readings.value_or(lazyReadings);
        lazyAll.absorb(u);
        eagerAll.absorb(receive(bytes));
        QVERIFY(!lazyAll.signalTexts);
        const SignalTexts a = eagerAll.shownTexts();
        const SignalTexts b = lazyAll.shownTexts();
        QCOMPARE(b.Uab, a.Uab);
        QCOMPARE(b.Ia, a.Ia);
        QCOMPARE(b.U_AB, a.U_AB);
        QCOMPARE(b.Uab2, a.Uab2);
        QCOMPARE(b.Freq, a.Freq);
        QCOMPARE(b.Kf, a.Kf);
        QCOMPARE(b.KfColour, a.KfColour);
        QCOMPARE(b.Label3, a.Label3);
    }
    QCOMPARE(lazyAll.shownTexts().KfColour, FormFactorColour::OutOfRange);
    QCOMPARE(shown(lazyAll.Label2), QStringLiteral("VA 4"));
}

QTEST_APPLESS_MAIN(TestLinkReceiver)
#include "tst_linkreceiver.moc"
