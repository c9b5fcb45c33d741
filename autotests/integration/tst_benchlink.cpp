#include "controls.h"
#include "windowfixture.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {
constexpr int Port = 31;

// The cell shows the regional decimal separator.
QString fixedTextWithSeparatorForTest(QString text)
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

    std::unique_ptr<WindowFixture> f;
    QProcess *emulator = nullptr;
};

void TstBenchLink::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    f->createWindow();
    f->windows->link.usePort({Port});
}

// The window lets go of the port before the emulator ends, and the emulator ends
// before its folder goes.
void TstBenchLink::cleanup()
{
    f->deleteWindow();
    if (emulator) {
        emulator->terminate();
        emulator->waitForFinished(3000);
        delete emulator;
        emulator = nullptr;
    }
    f.reset();
}

void TstBenchLink::startEmulator(const QStringList &extra)
{
    emulator = new QProcess;
    emulator->setProgram(QStringLiteral(BENCH_EMULATOR));
    emulator->setArguments(QStringList{"--port", QString::number(Port), "--dir", f->deviceFolder(),
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
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageResistence), Qt::LeftButton);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Resistence"));
}

void TstBenchLink::readoutsFillWithTheEmulatorsValues()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--ubc", "230.5", "--uca", "100",
                   "--ia", "2", "--ib", "1.5", "--ic", "0.25", "--freq", "50",
                   "--current-ratio", "1", "--voltage-ratio", "1"});
    openResistancePage();
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("COM31 открыт"));

    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label2")) >= 3, 10000);
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("400.0"));
    QCOMPARE(f->form->control<QLabel>("Ubc")->text(), QStringLiteral("230.5"));
    QCOMPARE(f->form->control<QLabel>("Uca")->text(), QStringLiteral("100.0"));
    QCOMPARE(f->form->control<QLabel>("Ia")->text(), QStringLiteral("2.000"));
    QCOMPARE(f->form->control<QLabel>("Ib")->text(), QStringLiteral("1.500"));
    QCOMPARE(f->form->control<QLabel>("Ic")->text(), QStringLiteral("0.250"));
    QCOMPARE(f->form->control<QLabel>("Freq")->text(), QStringLiteral("50.00"));
    QCOMPARE(f->form->control<QLabel>("lbCRC")->text(), QStringLiteral("CRCV OK"));
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("COM31 открыт"));
    QVERIFY(f->form->control<QPushButton>("Resist")->isEnabled());
    QVERIFY(f->form->control<QPushButton>("Gauge")->isEnabled());
    QVERIFY(f->form->control<QLabel>("Label7")->text().contains(QLatin1Char('.')));
    QCOMPARE(f->form->control<QLabel>("Label8")->text(), QStringLiteral("F 0"));
}

void TstBenchLink::corruptedPacketsAreCountedAndChangeNoReading()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--bad-crc-every", "3", "--garbage-every", "2"});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label8")) >= 3 && counterOf(f->form->control<QLabel>("Label2")) >= 6, 15000);
    // Garbage between packets never stops later good packets from being decoded.
    const int good = counterOf(f->form->control<QLabel>("Label2"));
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label2")) > good + 3, 10000);
    QCOMPARE(f->form->control<QLabel>("Uab")->text(), QStringLiteral("400.0"));
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstBenchLink::aClosedFarEndLeavesTheWindowWorking()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--close-after", "1"});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(counterOf(f->form->control<QLabel>("Label2")) >= 1, 10000);
    QVERIFY(emulator->waitForFinished(10000));
    QTest::qWait(500);
    // The watchdog's turn: readouts empty, controls blocked, a quiet reconnect attempt.
    f->windows->link.Timer1Timer();
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("Попытка восстановления связи"));
    QVERIFY(f->form->control<QLabel>("Uab")->text().isEmpty());
    QVERIFY(!f->form->control<QPushButton>("Resist")->isEnabled());
    QVERIFY(f->prompts.messages.isEmpty());

    // The bench comes back on the same number: the next good packet brings the readings back.
    delete emulator;
    emulator = nullptr;
    startEmulator({"--preset", "zero", "--uab", "231", "--current-ratio", "1", "--voltage-ratio", "1"});
    f->windows->link.Timer1Timer();
    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<QLabel>("Uab")->text(), QStringLiteral("231.0"), 10000);
    QCOMPARE(f->form->control<QLabel>("StatusBarMain")->text(), QStringLiteral("COM31 открыт"));
    QVERIFY(f->form->control<QPushButton>("Resist")->isEnabled());
}

void TstBenchLink::noLoadTestTakesTheLiveReadings()
{
    startEmulator({"--preset", "zero", "--uab", "400", "--ubc", "400.04", "--uca", "399.96",
                   "--ia", "1.5", "--ib", "1.5", "--ic", "1.5", "--p1", "60", "--p2", "60",
                   "--current-ratio", "1", "--voltage-ratio", "1"});
    f->form->control<QLineEdit>("Pnom")->setText(QStringLiteral("250"));
    f->form->control<QLineEdit>("Unom")->setText(QStringLiteral("400"));
    f->form->control<QLineEdit>("Unom2")->setText(QStringLiteral("10000"));
    f->form->control<QLineEdit>("Inom")->setText(QStringLiteral("50"));
    f->form->control<QLineEdit>("Inom2")->setText(QStringLiteral("14.4"));
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageIdle), Qt::LeftButton);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("Idle"));
    QTRY_VERIFY_WITH_TIMEOUT(f->form->control<QPushButton>("IdleState")->isEnabled(), 10000);

    QTest::mouseClick(f->form->control<QPushButton>("IdleState"), Qt::LeftButton);
    QCOMPARE(f->form->control<QLabel>("Uab00")->text(), QStringLiteral("400.0"));
    QCOMPARE(f->form->control<QLabel>("Ubc00")->text(), QStringLiteral("400.0"));
    QCOMPARE(f->form->control<QLabel>("Uca00")->text(), QStringLiteral("400.0"));
    QCOMPARE(f->form->control<QLabel>("Ia00")->text(), QStringLiteral("1.500"));
    QCOMPARE(f->form->control<QLabel>("Ixx00")->text(), QStringLiteral("1.500"));
    QCOMPARE(f->form->control<QLabel>("Ixx01")->text(), QStringLiteral("3.00"));
    QCOMPARE(f->form->control<QLabel>("Pxx00")->text(), QStringLiteral("120.00"));
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstBenchLink::resistanceMeasurementSendsItsCommandsAndShowsTheValue()
{
    const QString log = QDir(f->deviceFolder()).filePath(QStringLiteral("received.log"));
    startEmulator({"--preset", "zero", "--uab", "400", "--current-ratio", "1", "--voltage-ratio",
                   "1", "--resistance", "1.25", "--log", log});
    openResistancePage();
    QTRY_VERIFY_WITH_TIMEOUT(f->form->control<QPushButton>("Resist")->isEnabled(), 10000);
    f->form->control<RadioGroup>("RadioGroup2")->setItemIndex(5); // "HH"
    f->form->control<RadioGroup>("RadioGroup3")->setItemIndex(1); // "CA"
    f->form->control<RadioGroup>("ResistenceRange1")->setItemIndex(2); // "2": three decimals
    QTest::mouseClick(f->form->control<QPushButton>("Resist"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f->form->control<StringGrid>("ResistenceGrid")->cell(5, 1),
                              fixedTextWithSeparatorForTest(QStringLiteral("1.250")), 10000);
    QTest::mouseClick(f->form->control<QPushButton>("ResistStop"), Qt::LeftButton);
    QVERIFY(f->windows->link.resistancePaused());

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
