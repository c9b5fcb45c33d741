#include "benchpackets.h"
#include "benchpresets.h"
#include "packetlayout.h"
#include "pseudoterminal.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int PortNumber = 42;
constexpr int PatienceMs = 15000;  // only ever waited out when something is broken

QByteArray presetPacket(const char *name)
{
    const BenchPreset preset = *findBenchPreset(QString::fromLatin1(name));
    return signalPacket(*BenchPackets::encodeSignal(preset.values, preset.ratios));
}

// The program's side of the line, opened with plain POSIX calls, exclusively while open
// as a serial port library does.
class SerialEnd
{
public:
    explicit SerialEnd(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0)
            ::ioctl(m_fd, TIOCEXCL);
    }
    ~SerialEnd() { close(); }

    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0) {
            ::ioctl(m_fd, TIOCNXCL);
            ::close(m_fd);
        }
        m_fd = -1;
        m_buffer.clear();
    }

    bool send(const QByteArray &bytes) { return TerminalIo::writeAll(m_fd, bytes, PatienceMs); }

    // Reads until `count` bytes are buffered; false on time-out or end of line.
    bool fill(int count) { return TerminalIo::readUpTo(m_fd, m_buffer, count, PatienceMs); }

    QByteArray take(int count)
    {
        if (!fill(count))
            return {};
        const QByteArray out = m_buffer.left(count);
        m_buffer.remove(0, count);
        return out;
    }

    // The next whole packet, framed by its kind byte; empty on time-out or an unknown kind.
    QByteArray nextPacket()
    {
        if (!fill(1))
            return {};
        const std::uint8_t kind = std::uint8_t(m_buffer[0]);
        if (kind == PacketLayout::SignalKind)
            return take(PacketLayout::SignalLength);
        if (kind == PacketLayout::ResistanceKind)
            return take(PacketLayout::ResistanceLength);
        qWarning("unknown packet kind 0x%02X", kind);
        return {};
    }

    // True if a byte arrives within `ms`; nothing is consumed.
    bool waitForAnyByte(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0 && (p.revents & POLLIN);
    }

    // Waits until the far end hangs up: a read gives 0 or an error other than "try again".
    bool waitForHangUp()
    {
        QDeadlineTimer deadline(PatienceMs);
        while (!deadline.hasExpired()) {
            pollfd p{m_fd, POLLIN, 0};
            ::poll(&p, 1, 100);
            char chunk[4096];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n == 0 || (n < 0 && errno != EAGAIN))
                return true;
        }
        return false;
    }

private:
    int m_fd = -1;
    QByteArray m_buffer;
};

} // namespace

class TestBenchEmulator : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void printsItsLinkAndStreamsWholeSignalPackets();
    void resistanceCommandsSwitchThePacketKindAndAreLogged_data();
    void resistanceCommandsSwitchThePacketKindAndAreLogged();
    void packetsStartWithTheReaderAndNoBacklogOutlivesAClose();
    void everyThirdPacketHasABrokenChecksumOnRequest();
    void garbageComesOnlyBetweenWholePackets();
    void silenceWithoutAnEndSendsNothing();
    void silenceEndsAndWholePacketsFollow();
    void aStalledReaderLosesPacketsButNeverHalfAPacket();
    void closeAfterHangsUpAndRemovesTheLink();
    void countEndsTheRunOnceTheReaderLetsGo();
    void reportTellsWhatReachedTheReader_data();
    void reportTellsWhatReachedTheReader();
    void thirtyTimesTheLineRateStreamsWholePackets();
    void durationMakesRateTimesSecondsDue();
    void terminationRemovesTheLink();
    void existingLinkIsReplacedOnlyWhenLeftByAnEmulator_data();
    void existingLinkIsReplacedOnlyWhenLeftByAnEmulator();
    void badOptionIsRefusedBeforeAnyLinkIsMade_data();
    void badOptionIsRefusedBeforeAnyLinkIsMade();

private:
    bool start(const QStringList &extra);
    QString linkPath() const { return m_dir->filePath(QStringLiteral("COM%1").arg(PortNumber)); }

    // Whether the emulator has said this on standard error so far.
    bool noted(const char *text)
    {
        m_notes += m_process->readAllStandardError();
        return m_notes.contains(text);
    }

    // The report's lines "name value" as a table; empty if there is no report.
    QHash<QByteArray, QByteArray> report(const QString &path)
    {
        QHash<QByteArray, QByteArray> values;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return values;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                values.insert(parts[0], parts[1]);
        }
        return values;
    }

    bool finished() { return m_process->state() == QProcess::NotRunning || m_process->waitForFinished(PatienceMs); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_device;
    QByteArray m_notes;
};

void TestBenchEmulator::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_process = std::make_unique<QProcess>();
    m_device.clear();
    m_notes.clear();
}

void TestBenchEmulator::cleanup()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(PatienceMs))
            m_process->kill();
        m_process->waitForFinished();
    }
    m_process.reset();
    m_dir.reset();
}

// Starts the emulator on COM42 in the temporary folder and waits for its one line.
bool TestBenchEmulator::start(const QStringList &extra)
{
    m_process->setProgram(QStringLiteral(BENCH_EMULATOR));
    m_process->setArguments(QStringList{"--dir", m_dir->path(), "--port", QString::number(PortNumber)} + extra);
    m_process->start();
    QDeadlineTimer deadline(PatienceMs);
    while (!m_process->canReadLine()) {
        if (m_process->state() == QProcess::NotRunning || deadline.hasExpired()
            || !m_process->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    const QString line = QString::fromLocal8Bit(m_process->readLine()).trimmed();
    const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^COM%1 -> (/dev/pts/\\d+)$").arg(PortNumber)).match(line);
    if (!m.hasMatch()) {
        qWarning("unexpected first line: %s", qPrintable(line));
        return false;
    }
    m_device = m.captured(1);
    return true;
}

void TestBenchEmulator::printsItsLinkAndStreamsWholeSignalPackets()
{
    QVERIFY2(start({"--preset", "short", "--rate", "50"}), m_process->readAllStandardError().constData());
    QCOMPARE(QFile::symLinkTarget(linkPath()), m_device);
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    const QByteArray expected = presetPacket("short");
    for (int i = 0; i < 3; ++i) {
        const QByteArray packet = port.take(PacketLayout::SignalLength);
        QVERIFY(checksumMatches(packet));
        QCOMPARE(packet.toHex(' '), expected.toHex(' '));
    }
}

void TestBenchEmulator::resistanceCommandsSwitchThePacketKindAndAreLogged_data()
{
    QTest::addColumn<QString>("ohms");
    QTest::addColumn<QByteArray>("packet");
    QTest::newRow("1.25 ohm") << "1.25" << QByteArray::fromHex("AA3FA0000000F3");
    QTest::newRow("signalling not-a-number") << "snan" << resistancePacketBits(0x7FA00000);
}

void TestBenchEmulator::resistanceCommandsSwitchThePacketKindAndAreLogged()
{
    QFETCH(QString, ohms);
    QFETCH(QByteArray, packet);
    const QString log = m_dir->filePath(QStringLiteral("received.log"));
    QVERIFY(start({"--rate", "50", "--resistance", ohms, "--log", log}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    QCOMPARE(port.nextPacket().size(), PacketLayout::SignalLength);

    QVERIFY(port.send(QByteArray::fromHex("AA")));
    QVERIFY(port.send(QByteArray::fromHex("0234")));
    QByteArray got;
    do {
        got = port.nextPacket();
        QVERIFY(!got.isEmpty());
    } while (got.size() != PacketLayout::ResistanceLength);
    QCOMPARE(got.toHex(' '), packet.toHex(' '));
    QCOMPARE(port.nextPacket().toHex(' '), packet.toHex(' '));

    QVERIFY(port.send(QByteArray::fromHex("AA0537")));
    do {
        got = port.nextPacket();
        QVERIFY(!got.isEmpty());
    } while (got.size() != PacketLayout::SignalLength);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(port.nextPacket().size(), PacketLayout::SignalLength);
    port.close();

    m_process->terminate();
    QVERIFY(finished());
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression line(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}((?: [0-9A-F]{2})+)$)"));
    QByteArray received;
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines.last().isEmpty());
    for (const QByteArray &text : lines.first(lines.size() - 1)) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(text));
        QVERIFY2(m.hasMatch(), text.constData());
        received += QByteArray::fromHex(m.captured(1).toLatin1());
    }
    QCOMPARE(received.toHex(' '), QByteArray("aa 02 34 aa 05 37"));
}

void TestBenchEmulator::packetsStartWithTheReaderAndNoBacklogOutlivesAClose()
{
    // Every second packet is broken, counted from the first one a reader gets: a packet sent
    // into the void before the port was opened would show as a shifted pattern.
    QVERIFY(start({"--rate", "100", "--bad-crc-every", "2"}));
    QThread::msleep(300);
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    for (int i = 1; i <= 4; ++i) {
        const QByteArray packet = port.take(PacketLayout::SignalLength);
        QCOMPARE(packet.size(), PacketLayout::SignalLength);
        QCOMPARE(checksumMatches(packet), i % 2 == 1);
    }
    // Leave most of a packet unread in the terminal's queue, and more piling up behind it.
    QCOMPARE(port.take(20).size(), 20);
    QThread::msleep(100);
    port.close();
    QTRY_VERIFY_WITH_TIMEOUT(noted("the port was closed"), PatienceMs);

    SerialEnd again(linkPath());
    QVERIFY(again.isOpen());
    const QByteArray expected = presetPacket("idle");
    int good = 0;
    for (int i = 0; i < 4; ++i) {
        const QByteArray packet = again.take(PacketLayout::SignalLength);
        QCOMPARE(packet.left(53), expected.left(53));
        good += checksumMatches(packet);
    }
    QCOMPARE(good, 2);
}

void TestBenchEmulator::everyThirdPacketHasABrokenChecksumOnRequest()
{
    QVERIFY(start({"--rate", "100", "--bad-crc-every", "3", "--preset", "ratio"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    const QByteArray expected = presetPacket("ratio");
    for (int i = 1; i <= 9; ++i) {
        const QByteArray packet = port.take(PacketLayout::SignalLength);
        QCOMPARE(packet.size(), PacketLayout::SignalLength);
        QCOMPARE(checksumMatches(packet), i % 3 != 0);
        // Only the checksum byte differs.
        QCOMPARE(packet.left(53), expected.left(53));
        QCOMPARE(packet.mid(54), expected.mid(54));
    }
}

void TestBenchEmulator::garbageComesOnlyBetweenWholePackets()
{
    QVERIFY(start({"--rate", "200", "--garbage-every", "1", "--seed", "7"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    const QByteArray stream = port.take(4000);
    QCOMPARE(stream.size(), 4000);
    const QByteArray expected = presetPacket("idle");
    QCOMPARE(stream.left(expected.size()), expected);
    int at = 0;
    int packets = 0;
    for (;;) {
        const int next = int(stream.indexOf(expected, at + expected.size()));
        if (next < 0)
            break;
        const int gap = next - (at + int(expected.size()));
        QVERIFY2(gap >= 1 && gap <= 16, qPrintable(QStringLiteral("%1 bytes between packets").arg(gap)));
        at = next;
        ++packets;
    }
    QVERIFY(packets >= 40);
}

void TestBenchEmulator::silenceWithoutAnEndSendsNothing()
{
    QVERIFY(start({"--rate", "100", "--silence-after", "0"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    QVERIFY(!port.waitForAnyByte(500));
}

void TestBenchEmulator::silenceEndsAndWholePacketsFollow()
{
    QVERIFY(start({"--rate", "100", "--silence-for", "0.3", "--preset", "zero"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    QCOMPARE(port.take(PacketLayout::SignalLength), presetPacket("zero"));
}

void TestBenchEmulator::aStalledReaderLosesPacketsButNeverHalfAPacket()
{
    QVERIFY(start({"--rate", "1000", "--preset", "zero"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    // Long enough at this rate to fill the terminal's queue several times over.
    QThread::msleep(1500);
    const QByteArray expected = presetPacket("zero");
    for (int i = 0; i < 600; ++i) {
        const QByteArray packet = port.take(PacketLayout::SignalLength);
        QVERIFY2(packet == expected, qPrintable(QStringLiteral("packet %1: %2").arg(i).arg(QString::fromLatin1(packet.toHex()))));
    }
    QCOMPARE(m_process->state(), QProcess::Running);
}

void TestBenchEmulator::closeAfterHangsUpAndRemovesTheLink()
{
    QVERIFY(start({"--rate", "50", "--close-after", "0.5"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    QVERIFY(!port.nextPacket().isEmpty());
    QVERIFY(port.waitForHangUp());
    QVERIFY(finished());
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
}

void TestBenchEmulator::countEndsTheRunOnceTheReaderLetsGo()
{
    QVERIFY(start({"--rate", "50", "--count", "3"}));
    // Only packets that reach a reader count.
    QThread::msleep(300);
    QCOMPARE(m_process->state(), QProcess::Running);
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(port.nextPacket().size(), PacketLayout::SignalLength);
    // The last packet is read before the emulator may go: it waits for the port to close.
    QCOMPARE(m_process->state(), QProcess::Running);
    port.close();
    QVERIFY(finished());
    QCOMPARE(m_process->exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
}

void TestBenchEmulator::reportTellsWhatReachedTheReader_data()
{
    QTest::addColumn<bool>("terminated");  // else the count ends the run
    QTest::newRow("count reached") << false;
    QTest::newRow("terminated") << true;
}

void TestBenchEmulator::reportTellsWhatReachedTheReader()
{
    QFETCH(bool, terminated);
    const QString reportFile = m_dir->filePath(QStringLiteral("report.txt"));
    QStringList options{"--rate", "200", "--report", reportFile, "--bad-crc-every", "4"};
    if (!terminated)
        options += QStringList{"--count", "30"};
    QVERIFY(start(options));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    for (int i = 0; i < 30; ++i)
        QCOMPARE(port.nextPacket().size(), PacketLayout::SignalLength);
    if (terminated) {
        m_process->terminate();
        QVERIFY(finished());
    } else {
        // Nothing beyond the count, and the emulator waits for the port to close.
        QVERIFY(!port.waitForAnyByte(200));
        port.close();
        QVERIFY(finished());
    }
    QCOMPARE(m_process->exitCode(), 0);
    const QHash<QByteArray, QByteArray> values = report(reportFile);
    bool ok = false;
    const qint64 sent = values.value("sent").toLongLong(&ok);
    QVERIFY2(ok, values.value("sent").constData());
    if (terminated)
        QVERIFY(sent >= 30);
    else
        QCOMPARE(sent, 30);
    // A reader that stalls long enough loses packets; they are counted, never sent.
    QVERIFY(values.value("dropped").toLongLong(&ok) >= 0 && ok);
    QCOMPARE(values.value("rate"), QByteArray("200"));
    QVERIFY(values.value("seconds").toDouble(&ok) >= 0 && ok);
}

// 30 x 1724 packets a second: whatever the reader keeps up with, each packet is whole and
// the report counts exactly those that went onto the line.
void TestBenchEmulator::thirtyTimesTheLineRateStreamsWholePackets()
{
    const QString reportFile = m_dir->filePath(QStringLiteral("report.txt"));
    QVERIFY(start({"--rate", "51720", "--count", "3000", "--report", reportFile, "--preset", "short"}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    const QByteArray expected = presetPacket("short");
    for (int i = 0; i < 3000; ++i) {
        const QByteArray packet = port.take(PacketLayout::SignalLength);
        QVERIFY2(packet == expected, qPrintable(QStringLiteral("packet %1").arg(i)));
    }
    QVERIFY(!port.waitForAnyByte(200));
    port.close();
    QVERIFY(finished());
    QCOMPARE(m_process->exitCode(), 0);
    QCOMPARE(report(reportFile).value("sent"), QByteArray("3000"));
}

// Whatever the reader does, rate x duration packets fall due: each is sent or counted as
// dropped, none is made up later.
void TestBenchEmulator::durationMakesRateTimesSecondsDue()
{
    const QString reportFile = m_dir->filePath(QStringLiteral("report.txt"));
    QVERIFY(start({"--rate", "100", "--duration", "0.3", "--report", reportFile}));
    SerialEnd port(linkPath());
    QVERIFY(port.isOpen());
    QCOMPARE(port.nextPacket().size(), PacketLayout::SignalLength);
    QTRY_VERIFY_WITH_TIMEOUT(noted("packets sent; stopping once the port is closed"), PatienceMs);
    QCOMPARE(m_process->state(), QProcess::Running);
    port.close();
    QVERIFY(finished());
    QCOMPARE(m_process->exitCode(), 0);
    const QHash<QByteArray, QByteArray> values = report(reportFile);
    QCOMPARE(values.value("sent").toLongLong() + values.value("dropped").toLongLong(), 30);
}

void TestBenchEmulator::terminationRemovesTheLink()
{
    QVERIFY(start({}));
    QVERIFY(QFileInfo(linkPath()).isSymLink());
    m_process->terminate();
    QVERIFY(finished());
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
    QVERIFY(!QFileInfo::exists(linkPath()));
}

void TestBenchEmulator::existingLinkIsReplacedOnlyWhenLeftByAnEmulator_data()
{
    QTest::addColumn<QString>("linkTarget");  // empty: a plain file
    QTest::addColumn<bool>("replaced");
    QTest::newRow("dangling link of a killed emulator") << "/dev/pts/999999" << true;
    QTest::newRow("link to a real device") << "/dev/null" << false;
    QTest::newRow("dangling link to an unplugged adapter") << "/dev/ttyUSB99" << false;
    QTest::newRow("plain file") << QString() << false;
}

void TestBenchEmulator::existingLinkIsReplacedOnlyWhenLeftByAnEmulator()
{
    QFETCH(QString, linkTarget);
    QFETCH(bool, replaced);
    if (linkTarget.isEmpty()) {
        QFile file(linkPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    } else {
        QVERIFY(QFile::link(linkTarget, linkPath()));
    }

    if (replaced) {
        QVERIFY(start({}));
        QCOMPARE(QFile::symLinkTarget(linkPath()), m_device);
        return;
    }
    QVERIFY(!start({}));
    QVERIFY(finished());
    QCOMPARE(m_process->exitCode(), 1);
    QVERIFY(m_process->readAllStandardError().contains("already exists"));
    if (linkTarget.isEmpty()) {
        QFile file(linkPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    } else {
        QCOMPARE(QFile::symLinkTarget(linkPath()), linkTarget);
    }
}

void TestBenchEmulator::badOptionIsRefusedBeforeAnyLinkIsMade_data()
{
    QTest::addColumn<QString>("rate");
    QTest::newRow("no rate") << "0";
    QTest::newRow("above the most") << "100001";
}

void TestBenchEmulator::badOptionIsRefusedBeforeAnyLinkIsMade()
{
    QFETCH(QString, rate);
    QVERIFY(!start({"--rate", rate}));
    QVERIFY(finished());
    QCOMPARE(m_process->exitCode(), 2);
    QVERIFY(m_process->readAllStandardError().contains("--rate"));
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(TestBenchEmulator)
#include "tst_benchemulator.moc"
