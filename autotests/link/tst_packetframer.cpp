#include "packetbuilder.h"
#include "packetframer.h"

#include <QtTest>

#include <memory>

namespace {

struct Seen {
    PacketKind kind;
    PacketCheck check;
    QByteArray bytes;
};

// Delivers `data` as one read and returns the packets it completes.
QList<Seen> feed(PacketFramer &framer, const QByteArray &data)
{
    const std::span<std::uint8_t> space = framer.freeSpace();
    if (qsizetype(space.size()) < data.size())
        qFatal("test fed more than the framer has room for");
    std::memcpy(space.data(), data.constData(), std::size_t(data.size()));
    framer.commit(int(data.size()));
    QList<Seen> seen;
    FramedPacket packet;
    while (framer.nextPacket(packet))
        seen.append({packet.kind, packet.check,
                     QByteArray(reinterpret_cast<const char *>(packet.bytes.data()),
                                qsizetype(packet.bytes.size()))});
    return seen;
}

QByteArray someSignal(std::uint32_t seed = 1)
{
    SignalFields f;
    f.Uab = 6000000 + seed;
    f.Ia = 67600000;
    f.P1 = -12345;
    f.w0 = 100;
    f.w1 = 900;
    f.w2 = 6;
    f.UabMean = 0xBBAABBAA; // kind bytes inside a packet must not confuse the framer
    return signalPacket(f);
}

QByteArray fromList(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

} // namespace

class TestPacketFramer : public QObject {
    Q_OBJECT
private slots:
    void init() { framer = std::make_unique<PacketFramer>(); }

    void signalPacketSplitIntoThreeReadsCompletesAtTheThird();
    void readsAreCutIntoPacketsInOrder_data();
    void readsAreCutIntoPacketsInOrder();
    void startOfTheNextPacketWaitsForTheNextRead();
    void badChecksumDropsOnlyItsOwnBytes();
    void bytesBehindTheSignalChecksumAreNotCovered();
    void pausedResistancePacketIsDiscardedWithoutCheck();
    void strayKindByteTakesTheFollowingBytesAsOneBadPacket();
    void incompletePacketWaitsAtTheFrontOfTheBuffer();
    void commitNeverGoesPastTheBuffer();
    void streamLongerThanTheBufferIsReadInRoomSizedPieces();

private:
    std::unique_ptr<PacketFramer> framer;
};

void TestPacketFramer::signalPacketSplitIntoThreeReadsCompletesAtTheThird()
{
    const QByteArray packet = someSignal();
    QVERIFY(feed(*framer, packet.left(20)).isEmpty());
    QVERIFY(feed(*framer, packet.mid(20, 20)).isEmpty());
    QCOMPARE(framer->rxCount(), 40);
    const QList<Seen> seen = feed(*framer, packet.mid(40));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].kind, PacketKind::Signal);
    QCOMPARE(seen[0].check, PacketCheck::Good);
    QCOMPARE(seen[0].bytes, packet);
    QCOMPARE(framer->rxCount(), 0);
}

void TestPacketFramer::readsAreCutIntoPacketsInOrder_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("kinds");     // 'S' signal, 'R' resistance, in order
    QTest::addColumn<int>("skipped");

    const QByteArray s = someSignal();
    const QByteArray r = resistancePacket(1.25f);
    QTest::newRow("signal then resistance") << s + r << QByteArray("SR") << 0;
    QTest::newRow("two signals") << s + someSignal(2) << QByteArray("SS") << 0;
    QTest::newRow("garbage before") << fromList({0x00, 0x12, 0xFF}) + s << QByteArray("S") << 3;
    QTest::newRow("garbage between") << r + fromList({0x01, 0x02}) + s << QByteArray("RS") << 2;
    QTest::newRow("garbage after") << r + fromList({0x55}) << QByteArray("R") << 1;
    QTest::newRow("only garbage") << fromList({0x00, 0x10, 0x20}) << QByteArray() << 3;
}

void TestPacketFramer::readsAreCutIntoPacketsInOrder()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, kinds);
    QFETCH(int, skipped);
    const QList<Seen> seen = feed(*framer, read);
    QByteArray seenKinds;
    for (const Seen &p : seen) {
        QCOMPARE(p.check, PacketCheck::Good);
        seenKinds.append(p.kind == PacketKind::Signal ? 'S' : 'R');
    }
    QCOMPARE(seenKinds, kinds);
    QCOMPARE(framer->skippedBytes(), std::uint64_t(skipped));
    QCOMPARE(framer->rxCount(), 0);
}

void TestPacketFramer::startOfTheNextPacketWaitsForTheNextRead()
{
    const QByteArray first = someSignal(1);
    const QByteArray second = someSignal(2);
    QList<Seen> seen = feed(*framer, first + second.left(2));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].bytes, first);
    QCOMPARE(framer->rxCount(), 2);

    seen = feed(*framer, second.mid(2));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].check, PacketCheck::Good);
    QCOMPARE(seen[0].bytes, second);
}

void TestPacketFramer::badChecksumDropsOnlyItsOwnBytes()
{
    const QByteArray good = resistancePacket(2.5f);
    const QList<Seen> seen = feed(*framer, withBadChecksum(someSignal()) + good
                                               + withBadChecksum(resistancePacket(1.0f)) + good);
    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen[0].kind, PacketKind::Signal);
    QCOMPARE(seen[0].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[1].check, PacketCheck::Good);
    QCOMPARE(seen[1].bytes, good);
    QCOMPARE(seen[2].kind, PacketKind::Resistance);
    QCOMPARE(seen[2].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[3].check, PacketCheck::Good);
}

void TestPacketFramer::bytesBehindTheSignalChecksumAreNotCovered()
{
    QByteArray packet = someSignal();
    for (int i = 54; i < 58; ++i)
        packet[i] = char(~packet[i]);
    const QList<Seen> seen = feed(*framer, packet);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].check, PacketCheck::Good);
}

void TestPacketFramer::pausedResistancePacketIsDiscardedWithoutCheck()
{
    framer->setResistancePaused(true);
    const QList<Seen> seen = feed(*framer, withBadChecksum(resistancePacket(1.0f))
                                               + withBadChecksum(someSignal()));
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].kind, PacketKind::Resistance);
    QCOMPARE(seen[0].check, PacketCheck::Discarded);
    QCOMPARE(seen[1].check, PacketCheck::BadChecksum); // signal packets are still checked

    framer->setResistancePaused(false);
    QCOMPARE(feed(*framer, resistancePacket(1.0f)).value(0).check, PacketCheck::Good);
}

// Framing has no marker but the kind byte: a stray 0xBB swallows the 57 bytes after
// it as one (failing) packet, and framing is back in step behind them.
void TestPacketFramer::strayKindByteTakesTheFollowingBytesAsOneBadPacket()
{
    SignalFields f;
    f.UabMean = 0x01020304;
    const QByteArray next = resistancePacket(3.0f);
    const QList<Seen> seen = feed(*framer, fromList({0xBB}) + signalPacket(f) + next);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[1].bytes, next);
    QCOMPARE(framer->skippedBytes(), std::uint64_t(1));
}

void TestPacketFramer::incompletePacketWaitsAtTheFrontOfTheBuffer()
{
    const QByteArray packet = resistancePacket(1.0f);
    QVERIFY(feed(*framer, fromList({0x00}) + packet.left(6)).isEmpty());
    QCOMPARE(framer->rxCount(), 6);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(framer->collected()), 6), packet.left(6));
    QCOMPARE(framer->room(), PacketFramer::BufferSize - 6);
    QCOMPARE(feed(*framer, packet.mid(6)).size(), 1);
}

void TestPacketFramer::commitNeverGoesPastTheBuffer()
{
    feed(*framer, someSignal().left(30));
    const std::span<std::uint8_t> space = framer->freeSpace();
    QCOMPARE(qsizetype(space.size()), qsizetype(PacketFramer::BufferSize - 30));
    QCOMPARE(framer->commit(PacketFramer::BufferSize), PacketFramer::BufferSize - 30);
    QCOMPARE(framer->room(), 0);
    QCOMPARE(framer->commit(1), 0);
    QCOMPARE(framer->commit(-5), 0);
}

void TestPacketFramer::streamLongerThanTheBufferIsReadInRoomSizedPieces()
{
    QByteArray stream;
    for (int i = 0; i < 2000; ++i)
        stream += i % 3 == 0 ? resistancePacket(float(i)) : someSignal(std::uint32_t(i));
    int packets = 0;
    qsizetype at = 0;
    while (at < stream.size()) {
        QVERIFY(framer->room() > PacketFramer::BufferSize - SignalPacketLength);
        const qsizetype piece = std::min<qsizetype>(framer->room(), stream.size() - at);
        const QList<Seen> seen = feed(*framer, stream.mid(at, piece));
        for (const Seen &p : seen)
            QCOMPARE(p.check, PacketCheck::Good);
        packets += int(seen.size());
        at += piece;
    }
    QCOMPARE(packets, 2000);
    QCOMPARE(framer->rxCount(), 0);
}

QTEST_APPLESS_MAIN(TestPacketFramer)
#include "tst_packetframer.moc"
