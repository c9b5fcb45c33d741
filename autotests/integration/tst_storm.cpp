#include "controls.h"
#include "packetbuilder.h"
#include "pseudoterminal.h"
#include "windowfixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

namespace {
constexpr int Port = 32;

int counterOf(const QLabel *label)
{
    return label->text().section(QLatin1Char(' '), 1).toInt();
}

// Resident memory of this process in kB.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryIsMeasurable = false; // the sanitizer keeps freed memory in quarantine
#else
constexpr bool MemoryIsMeasurable = true;
#endif
} // namespace

// Everything a broken line can do, for about half a minute, against the real window: the
// window stays alive, reads right afterwards, and holds no more memory than before.
class TstStorm : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->isValid());
        f->createWindow();
        f->windows->link.usePort({Port});
    }

    void cleanup()
    {
        f->deleteWindow();
        stopEmulator();
        f.reset();
    }

    void theWindowOutlivesAStormOnItsLine();
    void readoutsFollowTheBenchWhileNoiseFlows_data();
    void readoutsFollowTheBenchWhileNoiseFlows();

private:
    // Offers `bytes` to the line while the program goes on reading.
    void flood(const PseudoTerminal &line, QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const qsizetype n = line.writeSome(bytes.first(std::min<qsizetype>(bytes.size(), 4096)));
            bytes = bytes.sliced(n);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    // Random bytes for `ms`; returns how many went out.
    qint64 burst(const PseudoTerminal &line, int ms)
    {
        QByteArray noise(1 << 16, Qt::Uninitialized);
        qint64 sent = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
            flood(line, noise);
            sent += noise.size();
        }
        return sent;
    }

    void startEmulator(const QStringList &extra)
    {
        emulator = new QProcess;
        emulator->setProgram(QStringLiteral(BENCH_EMULATOR));
        emulator->setArguments(QStringList{"--port", QString::number(Port), "--dir", f->deviceFolder(), "--force",
                                           "--preset", "zero", "--uab", "400", "--ia", "2", "--current-ratio", "1",
                                           "--voltage-ratio", "1"} + extra);
        emulator->start();
        QVERIFY(emulator->waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(emulator->canReadLine(), 5000);
    }

    void stopEmulator()
    {
        if (!emulator)
            return;
        emulator->terminate();
        emulator->waitForFinished(3000);
        delete emulator;
        emulator = nullptr;
    }

    void openResistancePage()
    {
        QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageResistence), Qt::LeftButton);
        QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Resistence"));
    }

    std::unique_ptr<WindowFixture> f;
    QProcess *emulator = nullptr;
};

void TstStorm::theWindowOutlivesAStormOnItsLine()
{
    // First a line of our own, for megabytes faster than any bench sends.
    PseudoTerminal line;
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(f->deviceFolder(), Port));
    openResistancePage();
    SignalFields fields;
    fields.Uab = fields.Ubc = fields.Uca = 123456789;
    const QByteArray good = signalPacket(fields);
    flood(line, good + good);
    QTRY_VERIFY_WITH_TIMEOUT(!f->form->control<QLabel>("Uab")->text().isEmpty(), 5000);
    const QString reading = f->form->control<QLabel>("Uab")->text();
    burst(line, 1000); // the allocator's pools and Qt's caches settle first
    flood(line, good + good);
    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("Uab")->text(), reading, 5000);
    const qint64 before = residentKb();

    const int failedBefore = counterOf(f->form->control<QLabel>("Label8"));
    const int resistanceBefore = counterOf(f->form->control<QLabel>("Label6"));
    const qint64 sent = burst(line, 8000);
    QCOMPARE(counterOf(f->form->control<QLabel>("Label6")), resistanceBefore); // no measurement runs
    // About one byte in 128 of random bytes starts a packet that fails its checksum: so
    // many failures show the bytes were read, not lost on the way.
    const int failed = counterOf(f->form->control<QLabel>("Label8")) - failedBefore;
    QVERIFY2(failed > sent / 1024, qPrintable(QStringLiteral("%1 failed packets in %2 bytes").arg(failed).arg(sent)));
    const int goodBefore = counterOf(f->form->control<QLabel>("Label2"));
    flood(line, good + good + good);
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label2")) > goodBefore, 5000);
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), reading);
    qInfo("random burst: %lld MB, %d packets failed their checksum", sent >> 20, failed);

    // Then the bench itself: garbage after every packet, every third checksum broken, six
    // seconds of silence (the watchdog steps in), and its end closed.
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageMain), Qt::LeftButton);
    QFile::remove(QDir(f->deviceFolder()).filePath(QStringLiteral("COM%1").arg(Port)));
    startEmulator({"--rate", "1000", "--garbage-every", "1", "--bad-crc-every", "3", "--silence-after", "4",
                   "--silence-for", "6", "--close-after", "14"});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label8")) > 100, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("Попытка восстановления связи"), 15000);
    QVERIFY(emulator->waitForFinished(15000));
    stopEmulator();

    // The bench comes back, clean: the readings are right at once.
    startEmulator({"--rate", "50"});
    f->windows->link.Timer1Timer();
    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("Uab")->text(), QStringLiteral("400.0"), 10000);
    QCOMPARE(f->form->control<QLabel>("Ia")->text(), QStringLiteral("2.000"));
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("COM%1 открыт").arg(Port));
    QVERIFY(f->prompts.messages.isEmpty());

    const qint64 after = residentKb();
    qInfo("resident memory: %lld kB before the storm, %lld kB after", before, after);
    if (MemoryIsMeasurable)
        QVERIFY2(after - before < 5 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(after - before)));
}

void TstStorm::readoutsFollowTheBenchWhileNoiseFlows_data()
{
    QTest::addColumn<bool>("brokenChecksums");
    QTest::newRow("stray bytes after every packet") << false;
    QTest::newRow("stray bytes after every packet, every third checksum broken") << true;
}

// A line that puts 1-16 stray bytes behind every packet at the full line rate: while the
// noise flows the readouts show the bench's values and the counter keeps rising, no
// resistance value appears with no measurement running, and at the end nearly every sound
// packet has been counted (bench_resync measures the exact share).
void TstStorm::readoutsFollowTheBenchWhileNoiseFlows()
{
    QFETCH(bool, brokenChecksums);
    const QString report = QDir(f->deviceFolder()).filePath(QStringLiteral("report.txt"));
    QStringList options{"--rate", "1724", "--garbage-every", "1", "--seed", "19", "--duration", "4",
                        "--report", report};
    if (brokenChecksums)
        options += QStringList{"--bad-crc-every", "3"};
    startEmulator(options);
    openResistancePage();
    const int resistanceBefore = counterOf(f->form->control<QLabel>("Label6"));
    const int signalBefore = counterOf(f->form->control<QLabel>("Label2"));

    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("Uab")->text(), QStringLiteral("400.0"), 5000);
    const int early = counterOf(f->form->control<QLabel>("Label2"));
    QTest::qWait(1000);
    QCOMPARE(emulator->state(), QProcess::Running); // the noise still flows
    QVERIFY2(counterOf(f->form->control<QLabel>("Label2")) - early > 500,
             qPrintable(QStringLiteral("%1 packets counted in a second").arg(counterOf(f->form->control<QLabel>("Label2")) - early)));
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("400.0"));
    QCOMPARE(f->form->control<QLabel>("Ia")->text(), QStringLiteral("2.000"));
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("COM%1 открыт").arg(Port));
    QCOMPARE(counterOf(f->form->control<QLabel>("Label6")), resistanceBefore);
    QCOMPARE(f->form->control<StringGrid>("ResistenceGrid")->cell(0, 0), QString());

    // The bench stops after its time once the port is closed.
    QTest::qWait(3500);
    const int counted = counterOf(f->form->control<QLabel>("Label2")) - signalBefore;
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageMain), Qt::LeftButton);
    QVERIFY(emulator->waitForFinished(10000));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    qint64 sent = 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("sent "))
            sent = line.mid(5).toLongLong();
    const qint64 sound = brokenChecksums ? sent - sent / 3 : sent;
    qInfo("%lld packets sent, %lld sound, %d counted", sent, sound, counted);
    QVERIFY(sent > 1000);
    QVERIFY2(counted >= sound * 99 / 100 && counted <= sound,
             qPrintable(QStringLiteral("%1 of %2 sound packets counted").arg(counted).arg(sound)));
    QCOMPARE(counterOf(f->form->control<QLabel>("Label6")), resistanceBefore);
    QCOMPARE(f->form->control<StringGrid>("ResistenceGrid")->cell(0, 0), QString());
}

QTEST_MAIN(TstStorm)
#include "tst_storm.moc"
