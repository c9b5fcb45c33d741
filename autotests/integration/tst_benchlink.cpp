#include "controls.h"
#include "main.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "serialchannel.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Port = 31;

// The cell shows the regional decimal separator.
QString FixedTextWithSeparatorForTest(QString text)
{
    return text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

int counterOf(const QLabel *label)
{
    return label->text().section(QLatin1Char(' '), 1).toInt();
}
} // namespace

// Real bytes from the emulator through the real channel into the real window.
class TstBenchLink : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readoutsFillWithTheEmulatorsValues();
    void corruptedPacketsAreCountedAndChangeNoReading();
    void aClosedFarEndLeavesTheWindowWorking();
    void noLoadTestTakesTheLiveReadings();
    void resistanceMeasurementSendsItsCommandsAndShowsTheValue();

private:
    void startEmulator(const QStringList &extra);
    void openResistancePage();

    QTemporaryDir *dir = nullptr;
    QProcess *emulator = nullptr;
    RecordingPrompts *prompts = nullptr;
    TForm1 *form = nullptr;
};

void TstBenchLink::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    SerialChannel::setDeviceFolder(dir->path());
    setRecordsDirectoryForTests(dir->path());
    prompts = new RecordingPrompts;
    form = new TForm1;
    form->VaComm1->setPortNum(Port);
}

void TstBenchLink::cleanup()
{
    delete form;
    form = nullptr;
    if (emulator) {
        emulator->terminate();
        emulator->waitForFinished(3000);
        delete emulator;
        emulator = nullptr;
    }
    delete prompts;
    setRecordsDirectoryForTests(QString());
    SerialChannel::setDeviceFolder(QString());
    delete dir;
}

void TstBenchLink::startEmulator(const QStringList &extra)
{
    emulator = new QProcess;
    emulator->setProgram(QStringLiteral(BENCH_EMULATOR));
    emulator->setArguments(QStringList{"--port", QString::number(Port), "--dir", dir->path(),
                                       "--rate", "50"} + extra);
    emulator->start();
    QVERIFY(emulator->waitForStarted(5000));
    // The first line names the link once it exists.
    QTRY_VERIFY_WITH_TIMEOUT(emulator->canReadLine(), 5000);
    QVERIFY(emulator->readLine().startsWith("COM" + QByteArray::number(Port)));
}

void TstBenchLink::openResistancePage()
{
    // The resistance page needs no rated data, so the port opens at once.
    QTest::mouseClick(form->PageControl1->tabButton(TForm1::PageResistence), Qt::LeftButton);
    QCOMPARE(form->PageControl1->activePage(), form->Resistence);
}

void TstBenchLink::readoutsFillWithTheEmulatorsValues()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--ubc", "230.5", "--uca", "100",
                   "--ia", "2", "--ib", "1.5", "--ic", "0.25", "--freq", "50",
                   "--current-ratio", "1", "--voltage-ratio", "1"});
    openResistancePage();
    QCOMPARE(form->StatusBarMain->text(), QStringLiteral("COM31 открыт"));

    QTRY_VERIFY_WITH_TIMEOUT(counterOf(form->Label2) >= 3, 10000);
    QCOMPARE(form->Uab->text(), QStringLiteral("400.0"));
    QCOMPARE(form->Ubc->text(), QStringLiteral("230.5"));
    QCOMPARE(form->Uca->text(), QStringLiteral("100.0"));
    QCOMPARE(form->Ia->text(), QStringLiteral("2.000"));
    QCOMPARE(form->Ib->text(), QStringLiteral("1.500"));
    QCOMPARE(form->Ic->text(), QStringLiteral("0.250"));
    QCOMPARE(form->Freq->text(), QStringLiteral("50.00"));
    QCOMPARE(form->lbCRC->text(), QStringLiteral("CRCV OK"));
    QCOMPARE(form->StatusBarMain->text(), QStringLiteral("COM31 открыт"));
    QVERIFY(form->Resist->isEnabled());
    QVERIFY(form->Gauge->isEnabled());
    QVERIFY(form->Label7->text().contains(QLatin1Char('.')));
    QCOMPARE(form->Label8->text(), QStringLiteral("F 0"));
}

void TstBenchLink::corruptedPacketsAreCountedAndChangeNoReading()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--bad-crc-every", "3", "--garbage-every", "2"});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(form->Label8) >= 3 && counterOf(form->Label2) >= 6, 15000);
    // Garbage between packets never stops later good packets from being decoded.
    const int good = counterOf(form->Label2);
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(form->Label2) > good + 3, 10000);
    QCOMPARE(form->Uab->text(), QStringLiteral("400.0"));
    QVERIFY(prompts->messages.isEmpty());
}

void TstBenchLink::aClosedFarEndLeavesTheWindowWorking()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--close-after", "1"});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(form->Label2) >= 1, 10000);
    QVERIFY(emulator->waitForFinished(10000));
    QTest::qWait(500);
    // The watchdog's turn: readouts empty, controls blocked, a quiet reconnect attempt.
    form->Timer1Timer();
    QCOMPARE(form->StatusBarMain->text(), QStringLiteral("Попытка восстановления связи"));
    QVERIFY(form->Uab->text().isEmpty());
    QVERIFY(!form->Resist->isEnabled());
    QVERIFY(prompts->messages.isEmpty());

    // The bench comes back on the same number: the next good packet brings the readings back.
    delete emulator;
    emulator = nullptr;
    startEmulator({"--preset", "zero", "--uab", "231", "--current-ratio", "1", "--voltage-ratio", "1"});
    form->Timer1Timer();
    QTRY_COMPARE_WITH_TIMEOUT(form->Uab->text(), QStringLiteral("231.0"), 10000);
    QCOMPARE(form->StatusBarMain->text(), QStringLiteral("COM31 открыт"));
    QVERIFY(form->Resist->isEnabled());
}

void TstBenchLink::noLoadTestTakesTheLiveReadings()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--ubc", "400.04", "--uca", "399.96",
                   "--ia", "1.5", "--ib", "1.5", "--ic", "1.5", "--p1", "60", "--p2", "60",
                   "--current-ratio", "1", "--voltage-ratio", "1"});
    form->Pnom->setText(QStringLiteral("250"));
    form->Unom->setText(QStringLiteral("400"));
    form->Unom2->setText(QStringLiteral("10000"));
    form->Inom->setText(QStringLiteral("50"));
    form->Inom2->setText(QStringLiteral("14.4"));
    QTest::mouseClick(form->PageControl1->tabButton(TForm1::PageIdle), Qt::LeftButton);
    QCOMPARE(form->PageControl1->activePage(), form->Idle);
    QTRY_VERIFY_WITH_TIMEOUT(form->IdleState->isEnabled(), 10000);

    QTest::mouseClick(form->IdleState, Qt::LeftButton);
    QCOMPARE(form->Uab00->text(), QStringLiteral("400.0"));
    QCOMPARE(form->Ubc00->text(), QStringLiteral("400.0"));
    QCOMPARE(form->Uca00->text(), QStringLiteral("400.0"));
    QCOMPARE(form->Ia00->text(), QStringLiteral("1.500"));
    QCOMPARE(form->Ixx00->text(), QStringLiteral("1.500"));
    QCOMPARE(form->Ixx01->text(), QStringLiteral("3.00"));
    QCOMPARE(form->Pxx00->text(), QStringLiteral("120.00"));
    QVERIFY(prompts->messages.isEmpty());
}

void TstBenchLink::resistanceMeasurementSendsItsCommandsAndShowsTheValue()
{
    const QString log = dir->filePath(QStringLiteral("received.log"));
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--resistance", "1.25", "--log", log});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(form->Resist->isEnabled(), 10000);
    form->RadioGroup2->setItemIndex(5); // "HH"
    form->RadioGroup3->setItemIndex(1); // "CA"
    form->ResistenceRange1->setItemIndex(2); // "2": three decimals
    QTest::mouseClick(form->Resist, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form->ResistenceGrid->cell(5, 1),
                              FixedTextWithSeparatorForTest(QStringLiteral("1.250")), 10000);
    QTest::mouseClick(form->ResistStop, Qt::LeftButton);
    QVERIFY(form->resistancePaused());

    // The emulator logs every read with its time: AA, a second, then the pair.
    QTRY_VERIFY_WITH_TIMEOUT(QFile(log).size() > 0, 5000);
    QTest::qWait(300);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QPair<QDateTime, QByteArray>> reads;
    QByteArray all;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> parts = line.trimmed().split(' ');
        QByteArray bytes;
        for (qsizetype i = 1; i < parts.size(); ++i)
            bytes += char(parts[i].toUInt(nullptr, 16));
        reads.append({QDateTime::fromString(QString::fromLatin1(parts[0]), Qt::ISODateWithMs), bytes});
        all += bytes;
    }
    QCOMPARE(all.toHex(' '), QByteArray("aa 02 34 aa 05 37"));
    // The arguments follow their command byte after the one-second pause.
    qint64 aaTime = -1;
    for (const auto &[when, bytes] : reads) {
        if (bytes.startsWith(char(0xAA)))
            aaTime = when.toMSecsSinceEpoch();
        else if (aaTime >= 0)
            QVERIFY(when.toMSecsSinceEpoch() - aaTime >= 900);
    }
}

QTEST_MAIN(TstBenchLink)
#include "tst_benchlink.moc"
