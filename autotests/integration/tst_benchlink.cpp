#include "controls.h"
#include "main.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "serialchannel.h"

#include <QLabel>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Port = 31;

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

QTEST_MAIN(TstBenchLink)
#include "tst_benchlink.moc"
