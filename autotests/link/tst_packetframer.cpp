#include "crc8.h"
#include "packetbuilder.h"
#include "packetframer.h"
#include "packetlayout.h"

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

// Delivers `data` as one read after which the line stays quiet.
QList<Seen> feedThenQuiet(PacketFramer &framer, const QByteArray &data)
{
    QList<Seen> seen = feed(framer, data);
    while (framer.awaitsConfirmation()) {
        framer.confirmQuietLine();
        seen += feed(framer, QByteArray());
    }
    return seen;
}

// A signal packet without kind bytes in it.
QByteArray plainSignal(std::uint32_t seed = 1)
{
    SignalFields f;
    f.Uab = 6000000 + seed;
    f.UabMean = 0x01020304;
    return signalPacket(f);
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
    void strayKindByteFailsOnceAndThePacketBehindItIsFound();
    void readThatBeginsMidPacketLosesNoPacketBehindIt_data();
    void readThatBeginsMidPacketLosesNoPacketBehindIt();
    void garbageThatLooksLikeAPacketIsNotTakenAfterARestart_data();
    void garbageThatLooksLikeAPacketIsNotTakenAfterARestart();
    void lonePacketAfterARestartWaitsForItsFollowerOrAQuietLine();
    void restartDropsWhatIsHeld();
    void noisyLineKeepsEverySoundPacket_data();
    void noisyLineKeepsEverySoundPacket();
    void firstResistanceAnswerIsTakenBeforeASignalPacket_data();
    void firstResistanceAnswerIsTakenBeforeASignalPacket();
    void garbageOverTheBenchsBrokenPacketIsNotTaken_data();
    void garbageOverTheBenchsBrokenPacketIsNotTaken();
    void cuttingTheBytesIntoReadsChangesNothing_data();
    void cuttingTheBytesIntoReadsChangesNothing();
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
    const QList<Seen> seen = feedThenQuiet(*framer, read);
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

// A failed packet is reported and costs the step; the sound packets behind it confirm
// each other and come out.
void TestPacketFramer::badChecksumDropsOnlyItsOwnBytes()
{
    framer->setResistanceExpected(true); // a measurement runs
    const QByteArray good = resistancePacket(2.5f);
    const QByteArray other = resistancePacket(4.5f);
    const QList<Seen> seen = feedThenQuiet(*framer, withBadChecksum(plainSignal()) + good + other
                                                        + withBadChecksum(resistancePacket(1.0f)) + good + other);
    QCOMPARE(seen.size(), 6);
    QCOMPARE(seen[0].kind, PacketKind::Signal);
    QCOMPARE(seen[0].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[1].check, PacketCheck::Good);
    QCOMPARE(seen[1].bytes, good);
    QCOMPARE(seen[2].bytes, other);
    QCOMPARE(seen[3].kind, PacketKind::Resistance);
    QCOMPARE(seen[3].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[4].check, PacketCheck::Good);
    QCOMPARE(seen[4].bytes, good);
    QCOMPARE(seen[5].bytes, other);
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

    // The kind bytes at the end of the failed signal packet wait for bytes enough to be
    // judged; then every resistance packet behind them comes out checked.
    framer->setResistancePaused(false);
    QByteArray stream;
    for (int i = 0; i < 10; ++i)
        stream += resistancePacket(float(i));
    int good = 0;
    for (const Seen &p : feed(*framer, stream))
        good += p.check == PacketCheck::Good ? 1 : 0;
    QCOMPARE(good, 10);
}

// A stray 0xBB and the 57 bytes after it fail as one packet, counted once; the search
// goes on from the byte after the stray one, and the real packet inside is found.
void TestPacketFramer::strayKindByteFailsOnceAndThePacketBehindItIsFound()
{
    SignalFields f;
    f.UabMean = 0xAABBAABB; // kind bytes inside the failed stretch are not failures of their own
    const QByteArray real = signalPacket(f);
    const QByteArray next = resistancePacket(3.0f);
    framer->setResistanceExpected(true); // a measurement runs
    const QList<Seen> seen = feedThenQuiet(*framer, fromList({0xBB}) + real + next);
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].kind, PacketKind::Signal);
    QCOMPARE(seen[0].check, PacketCheck::BadChecksum);
    QCOMPARE(seen[1].check, PacketCheck::Good);
    QCOMPARE(seen[1].bytes, real);
    QCOMPARE(seen[2].check, PacketCheck::Good);
    QCOMPARE(seen[2].bytes, next);
    QVERIFY(framer->inStep());
}

void TestPacketFramer::readThatBeginsMidPacketLosesNoPacketBehindIt_data()
{
    QTest::addColumn<QByteArray>("tail");    // what the read begins with
    QTest::addColumn<QByteArray>("stream");  // whole packets behind it
    QTest::addColumn<int>("failures");       // failed candidates reported

    const QByteArray s1 = someSignal(1), s2 = someSignal(2), s3 = someSignal(3);
    const QByteArray r1 = resistancePacket(1.5f), r2 = resistancePacket(2.5f), r3 = resistancePacket(3.5f);
    QTest::newRow("signal tail holding a kind byte") << someSignal(9).mid(20) << s1 + s2 + s3 << 1;
    QTest::newRow("resistance tail") << resistancePacket(9.0f).mid(3) << r1 + r2 + r3 << 0;
    QTest::newRow("stray 0xBB before resistance packets") << fromList({0xBB}) << r1 + r2 + r3 + r1 + r2 + r3 + r1 + r2 + r3 << 1;
    QTest::newRow("stray 0xAA before a signal packet") << fromList({0x10, 0xAA, 0x20}) << s1 + s2 << 1;
}

// After a restart the framer must find its step behind whatever the read begins with:
// every whole packet comes out, and none is made up.
void TestPacketFramer::readThatBeginsMidPacketLosesNoPacketBehindIt()
{
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, stream);
    QFETCH(int, failures);
    framer->restartStream();
    QVERIFY(!framer->inStep());
    const QList<Seen> seen = feedThenQuiet(*framer, tail + stream);
    QByteArray good;
    int failed = 0;
    for (const Seen &p : seen) {
        if (p.check == PacketCheck::Good)
            good += p.bytes;
        else
            ++failed;
    }
    QCOMPARE(good.toHex(), stream.toHex());
    QCOMPARE(failed, failures);
    QVERIFY(framer->inStep());
}

// Garbage that happens to pass its checksum and ends where a real packet begins: a
// resistance packet's worth at the end of a signal packet's tail, or a signal packet's
// worth swallowing resistance packets. Neither is taken; the real packets are.
void TestPacketFramer::garbageThatLooksLikeAPacketIsNotTakenAfterARestart_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("stream");

    const QByteArray s1 = someSignal(1), s2 = someSignal(2);
    // A tail of 20 bytes whose last seven are a sound resistance packet.
    const QByteArray fakeShort = QByteArray(13, char(0x11)) + resistancePacket(42.0f);
    QTest::newRow("short packet in front of signal packets") << fakeShort + s1 + s2 << s1 + s2;

    // 0xBB two bytes before the first of a run of resistance packets, ending where the
    // ninth begins; its checksum made to hold by the value of the eighth.
    QByteArray fakeLong = fromList({0x00, 0x01, 0xBB, 0x02});
    for (int i = 0; i < 7; ++i)
        fakeLong += resistancePacket(float(i + 1));
    QByteArray eighth = fromList({0xAA, 0x41, 0, 0x20, 0x30, 0});
    fakeLong += eighth.left(2);
    using namespace PacketLayout;
    const auto crc = [](const QByteArray &packet, int kindAt, int checksumAt) {
        return char(CRC8(reinterpret_cast<const std::uint8_t *>(packet.constData()) + kindAt + ChecksumFrom,
                         std::uint8_t(checksumSpan(checksumAt))));
    };
    eighth[2] = crc(fakeLong, 2, SignalChecksumOffset);
    eighth += crc(eighth, 0, ResistanceChecksumOffset);
    fakeLong += eighth.mid(2);
    for (int i = 0; i < 4; ++i)
        fakeLong += resistancePacket(float(100 + i));
    QCOMPARE(int(fakeLong.size()), 4 + 12 * 7);
    QTest::newRow("long packet swallowing resistance packets") << fakeLong << fakeLong.mid(4);
}

void TestPacketFramer::garbageThatLooksLikeAPacketIsNotTakenAfterARestart()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, stream);
    framer->restartStream();
    QByteArray good;
    for (const Seen &p : feedThenQuiet(*framer, read))
        if (p.check == PacketCheck::Good)
            good += p.bytes;
    QCOMPARE(good.toHex(), stream.toHex());
}

// A packet that ends where the bytes end cannot be confirmed by a follower: it waits,
// and is taken when the follower comes or when the line stays quiet behind it.
void TestPacketFramer::lonePacketAfterARestartWaitsForItsFollowerOrAQuietLine()
{
    const QByteArray r1 = resistancePacket(1.0f), r2 = resistancePacket(2.0f);
    framer->setResistanceExpected(true); // the drain after the measurement's start
    framer->restartStream();
    QVERIFY(feed(*framer, r1).isEmpty());
    QVERIFY(framer->awaitsConfirmation());
    QList<Seen> seen = feedThenQuiet(*framer, r2);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].bytes, r1);
    QCOMPARE(seen[1].bytes, r2);
    QVERIFY(!framer->awaitsConfirmation());

    framer->restartStream();
    QVERIFY(feed(*framer, fromList({0x12}) + r1).isEmpty());
    framer->confirmQuietLine();
    seen = feed(*framer, QByteArray());
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].bytes, r1);
    QVERIFY(framer->inStep());
}

// What was held before a restart belongs to nothing that follows.
void TestPacketFramer::restartDropsWhatIsHeld()
{
    QVERIFY(feed(*framer, plainSignal().left(30)).isEmpty());
    framer->setResistanceExpected(true); // a measurement runs
    framer->restartStream();
    QCOMPARE(framer->rxCount(), 0);
    const QByteArray r = resistancePacket(5.0f);
    const QList<Seen> seen = feedThenQuiet(*framer, plainSignal().mid(30) + r + r);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].bytes, r);
}

void TestPacketFramer::noisyLineKeepsEverySoundPacket_data()
{
    QTest::addColumn<bool>("brokenChecksums");
    QTest::addColumn<int>("perRead"); // packets per read
    QTest::newRow("stray bytes") << false << 2;
    QTest::newRow("stray bytes, every third checksum broken") << true << 2;
    QTest::newRow("stray bytes, long reads") << false << 50;
    QTest::newRow("stray bytes, every third checksum broken, long reads") << true << 50;
}

// 1 to 16 stray bytes behind every packet: the sound packets come out, one after the
// other, and nothing else does.
void TestPacketFramer::noisyLineKeepsEverySoundPacket()
{
    QFETCH(bool, brokenChecksums);
    QFETCH(int, perRead);
    QRandomGenerator random(19);
    QByteArray expected;
    QList<QByteArray> reads;
    QByteArray read;
    for (int i = 1; i <= 300; ++i) {
        SignalFields f;
        f.Uab = random.generate();
        f.Ia = random.generate();
        f.UabMean = random.generate();
        QByteArray packet = signalPacket(f);
        if (brokenChecksums && i % 3 == 0)
            packet = withBadChecksum(packet);
        else
            expected += packet;
        read += packet;
        for (int n = int(random.bounded(1, 17)); n > 0; --n)
            read += char(random.bounded(256));
        if (i % perRead == 0) {
            reads.append(read);
            read.clear();
        }
    }
    reads.append(read);
    QByteArray good;
    int failed = 0;
    for (int r = 0; r < reads.size(); ++r) {
        const QList<Seen> seen = r + 1 < reads.size() ? feed(*framer, reads[r]) : feedThenQuiet(*framer, reads[r]);
        for (const Seen &p : seen) {
            if (p.check == PacketCheck::Good)
                good += p.bytes;
            else
                ++failed;
        }
    }
    QCOMPARE(good.toHex(), expected.toHex());
    if (brokenChecksums)
        QVERIFY(failed >= 100);
}

void TestPacketFramer::firstResistanceAnswerIsTakenBeforeASignalPacket_data()
{
    QTest::addColumn<bool>("measuring");
    QTest::addColumn<int>("answers"); // good resistance packets that come out
    QTest::newRow("measurement runs") << true << 1;
    QTest::newRow("no measurement") << false << 0;
}

// After the drain that follows a start the bench's answer may be followed at once by
// signal packets: while a measurement runs the answer is taken; with none running a
// resistance packet is garbage unless more of them vouch for it, and a quiet line does
// not take it either.
void TestPacketFramer::firstResistanceAnswerIsTakenBeforeASignalPacket()
{
    QFETCH(bool, measuring);
    QFETCH(int, answers);
    framer->setResistanceExpected(measuring);
    framer->restartStream();
    const QByteArray answer = resistancePacket(1.25f);
    const QByteArray s1 = plainSignal(1), s2 = plainSignal(2);
    int resistance = 0;
    int signal = 0;
    for (const Seen &p : feedThenQuiet(*framer, plainSignal(9).mid(40) + answer + s1 + s2)) {
        QCOMPARE(p.check, PacketCheck::Good);
        (p.kind == PacketKind::Resistance ? resistance : signal) += 1;
    }
    QCOMPARE(resistance, answers);
    QCOMPARE(signal, 2);

    framer->restartStream();
    resistance = 0;
    for (const Seen &p : feedThenQuiet(*framer, fromList({0x42}) + answer))
        resistance += p.check == PacketCheck::Good ? 1 : 0;
    QCOMPARE(resistance, answers);
}

void TestPacketFramer::garbageOverTheBenchsBrokenPacketIsNotTaken_data()
{
    QTest::addColumn<int>("strayBefore"); // stray bytes in front of the garbage's kind byte
    QTest::newRow("kind byte right behind a packet") << 0;
    QTest::newRow("kind byte among the stray bytes") << 8;
}

// A bench with steady readings sends the same packet again and again; one of them broken
// on the way, with a kind byte among the stray bytes in front of it whose 58 bytes pass
// their checksum, is a sound candidate confirmed across noise like any packet. It is
// garbage: it overlaps the bench's own packet.
void TestPacketFramer::garbageOverTheBenchsBrokenPacketIsNotTaken()
{
    QFETCH(int, strayBefore);
    const QByteArray steady = plainSignal(3);
    const QByteArray broken = withBadChecksum(steady);
    // Seven bytes in front of the broken packet: a kind byte and six more, the last chosen
    // so that the candidate they start passes its checksum.
    QByteArray head = fromList({0xBB, 0x12, 0x34, 0x56, 0x78, 0x9A, 0x00});
    for (int x = 0; x < 256; ++x) {
        head[6] = char(x);
        const QByteArray candidate = head + broken.left(SignalPacketLength - head.size());
        if (CRC8(reinterpret_cast<const std::uint8_t *>(candidate.constData()) + 1, 52) == std::uint8_t(candidate[53]))
            break;
    }
    const QByteArray stream = steady + fromList({0x01, 0x02}) + steady + QByteArray(strayBefore, char(0x21)) + head
                              + broken + fromList({0x03, 0x04}) + steady + fromList({0x05}) + steady + fromList({0x06})
                              + steady;
    framer->restartStream();
    int good = 0;
    for (const Seen &p : feedThenQuiet(*framer, stream)) {
        if (p.check == PacketCheck::Good) {
            QCOMPARE(p.bytes.toHex(), steady.toHex());
            ++good;
        }
    }
    QCOMPARE(good, 5);
}

void TestPacketFramer::cuttingTheBytesIntoReadsChangesNothing_data()
{
    QTest::addColumn<QByteArray>("stream"); // after a restart
    QTest::addColumn<int>("read");          // bytes per read

    // Noise behind every packet, a kind byte among the stray bytes now and then.
    for (const bool broken : {false, true}) {
        QRandomGenerator random(23);
        QByteArray stream = someSignal(7).mid(11);
        for (int i = 1; i <= 400; ++i) {
            SignalFields f;
            f.Uab = random.generate();
            f.Ia = random.generate();
            f.UabMean = random.generate();
            const QByteArray packet = signalPacket(f);
            stream += broken && i % 3 == 0 ? withBadChecksum(packet) : packet;
            for (int n = int(random.bounded(1, 17)); n > 0; --n)
                stream += char(i % 5 == 0 && n == 1 ? 0xBB : random.bounded(256));
        }
        for (const int read : {1, 7, 61, 500})
            QTest::addRow("stray bytes%s, reads of %d", broken ? ", every third checksum broken" : "", read)
                << stream << read;
    }
    // The second packet is judged by what follows it, which the first read does not hold.
    const QByteArray twoThenJunk = plainSignal(1) + plainSignal(2) + QByteArray(300, char(0x11));
    QTest::newRow("two packets, then junk in the next read") << twoThenJunk << 2 * SignalPacketLength;
}

// The packets taken are those the stream read whole gives, and what waits after a read
// stays below the look-ahead.
void TestPacketFramer::cuttingTheBytesIntoReadsChangesNothing()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, read);
    auto framed = [&](qsizetype piece) {
        PacketFramer f;
        f.restartStream();
        QByteArray good;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            for (const Seen &p : feed(f, stream.mid(at, piece)))
                good += p.check == PacketCheck::Good ? p.bytes : QByteArray("|");
            if (f.rxCount() >= PacketFramer::LookAhead)
                return QByteArray("held ") + QByteArray::number(f.rxCount());
        }
        for (const Seen &p : feedThenQuiet(f, {}))
            good += p.check == PacketCheck::Good ? p.bytes : QByteArray("|");
        return good;
    };
    QCOMPARE(framed(read).toHex(), framed(stream.size()).toHex());
}

void TestPacketFramer::incompletePacketWaitsAtTheFrontOfTheBuffer()
{
    const QByteArray packet = resistancePacket(1.0f);
    framer->setResistanceExpected(true); // a measurement runs
    QVERIFY(feed(*framer, fromList({0x00}) + packet.left(6)).isEmpty());
    QCOMPARE(framer->rxCount(), 6);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(framer->collected()), 6), packet.left(6));
    QCOMPARE(framer->room(), PacketFramer::BufferSize - 6);
    QCOMPARE(feedThenQuiet(*framer, packet.mid(6)).size(), 1);
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
