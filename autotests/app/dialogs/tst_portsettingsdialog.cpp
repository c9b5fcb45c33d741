#include "benchline.h"
#include "errorreport.h"
#include "main.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "serialchannel.h"
#include "sets.h"
#include "settingsfile.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestPortSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsShowTheirLetterExactCaptions_data();
    void controlsShowTheirLetterExactCaptions();
    void showingFillsThePortAndSpeedOfTheChannel_data();
    void showingFillsThePortAndSpeedOfTheChannel();
    void showingTheOpenDialogAgainKeepsWhatTheOperatorTyped();
    void okClosesThePortAppliesBothAndStoresThemForTheNextStart();
    void speedThatIsNotAWholeNumberKeepsTheDialogOpenAndWritesNothing_data();
    void speedThatIsNotAWholeNumberKeepsTheDialogOpenAndWritesNothing();
    void settingsFileThatCannotBeWrittenKeepsTheDialogOpen();
    void cancelChangesNothingAndTheNextShowingShowsTheChannelAgain();

private:
    void showDialog();
    void typePort(const QString &text);
    void typeSpeed(const QString &text);

    QTemporaryDir *records = nullptr;
    RecordingPrompts *prompts = nullptr;
    TForm1 *form1 = nullptr;
    TForm2 *form2 = nullptr;
};

void TestPortSettingsDialog::init()
{
    records = new QTemporaryDir;
    QVERIFY(records->isValid());
    setRecordsDirectoryForTests(records->path());
    prompts = new RecordingPrompts;
    form1 = new TForm1;
    form2 = new TForm2(form1);
    form1->Form2 = form2;
    form1->show();
}

void TestPortSettingsDialog::cleanup()
{
    delete form2;
    delete form1;
    delete prompts;
    setRecordsDirectoryForTests(QString());
    delete records;
}

void TestPortSettingsDialog::showDialog()
{
    QTest::mouseClick(form1->sBitBtn3, Qt::LeftButton);
    QVERIFY(form2->isVisible());
}

void TestPortSettingsDialog::typePort(const QString &text)
{
    form2->ComNum->selectAll();
    QTest::keyClicks(form2->ComNum, text);
}

void TestPortSettingsDialog::typeSpeed(const QString &text)
{
    form2->sEdit1->selectAll();
    QTest::keyClick(form2->sEdit1, Qt::Key_Backspace);
    QTest::keyClicks(form2->sEdit1, text);
}

void TestPortSettingsDialog::controlsShowTheirLetterExactCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("window") << QStringLiteral("Form2") << QStringLiteral("Настройки порта");
    QTest::newRow("sLabel1") << QStringLiteral("sLabel1") << QStringLiteral("Порт");
    QTest::newRow("sLabel3") << QStringLiteral("sLabel3") << QStringLiteral("COM");
    QTest::newRow("sLabel2") << QStringLiteral("sLabel2") << QStringLiteral("Скорость");
    QTest::newRow("sButton1") << QStringLiteral("sButton1") << QStringLiteral("OK");
    QTest::newRow("sButton2") << QStringLiteral("sButton2") << QStringLiteral("Отмена");
}

void TestPortSettingsDialog::controlsShowTheirLetterExactCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    showDialog();
    QWidget *w = name == form2->objectName() ? form2 : form2->findChild<QWidget *>(name);
    QVERIFY(w);
    QString shown;
    if (w == form2)
        shown = form2->windowTitle();
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        shown = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        shown = l->text();
    QCOMPARE(shown, caption);
    QVERIFY(w->isVisible());
}

void TestPortSettingsDialog::showingFillsThePortAndSpeedOfTheChannel_data()
{
    QTest::addColumn<bool>("setChannel");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QString>("speedText");
    QTest::newRow("after start without a settings file") << false << 10 << 1000000 << QStringLiteral("1000000");
    QTest::newRow("port 3 at 115200") << true << 3 << 115200 << QStringLiteral("115200");
    QTest::newRow("a number no port has") << true << -4 << 0 << QStringLiteral("0");
}

void TestPortSettingsDialog::showingFillsThePortAndSpeedOfTheChannel()
{
    QFETCH(bool, setChannel);
    QFETCH(int, port);
    QFETCH(int, speed);
    QFETCH(QString, speedText);
    if (setChannel) {
        form1->VaComm1->setPortNum(port);
        form1->VaComm1->setUserBaudrate(speed);
    }
    showDialog();
    QCOMPARE(form2->ComNum->value(), port);
    QCOMPARE(form2->sEdit1->text(), speedText);
    // Modeless: the main window goes on taking the operator's input.
    QVERIFY(!form2->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestPortSettingsDialog::showingTheOpenDialogAgainKeepsWhatTheOperatorTyped()
{
    showDialog();
    typePort(QStringLiteral("5"));
    typeSpeed(QStringLiteral("9600"));
    showDialog();
    QCOMPARE(form2->ComNum->value(), 5);
    QCOMPARE(form2->sEdit1->text(), QStringLiteral("9600"));
}

// The dialog leaves the watchdog alone: if it runs, it reopens the port with the new
// settings on its next round.
void TestPortSettingsDialog::okClosesThePortAppliesBothAndStoresThemForTheNextStart()
{
    BenchLine line(10);
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(3));
    form1->VaComm1->OpenPort();
    form1->Timer1->start();

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(form2->sButton1, Qt::LeftButton);

    QVERIFY(prompts->messages.isEmpty());
    QVERIFY(!form2->isVisible());
    QVERIFY(!form1->VaComm1->PortIsOpen());
    QCOMPARE(form1->VaComm1->PortNum(), 3);
    QCOMPARE(form1->VaComm1->UserBaudrate(), 115200);
    QVERIFY(form1->Timer1->isActive());

    TForm1 nextStart;
    nextStart.show();
    QCOMPARE(nextStart.VaComm1->PortNum(), 3);
    QCOMPARE(nextStart.VaComm1->UserBaudrate(), 115200);

    form1->Timer1Timer();
    QVERIFY(form1->VaComm1->PortIsOpen());
    QCOMPARE(form1->VaComm1->deviceName(), QDir(SerialChannel::deviceFolder()).filePath(QStringLiteral("COM3")));
}

void TestPortSettingsDialog::speedThatIsNotAWholeNumberKeepsTheDialogOpenAndWritesNothing_data()
{
    QTest::addColumn<QString>("speed");
    QTest::newRow("two digits and a letter") << QStringLiteral("96b");
    QTest::newRow("empty") << QString();
    QTest::newRow("a decimal point") << QStringLiteral("115200.0");
    QTest::newRow("an exponent") << QStringLiteral("1e6");
    QTest::newRow("beyond the integer range") << QStringLiteral("99999999999");
}

void TestPortSettingsDialog::speedThatIsNotAWholeNumberKeepsTheDialogOpenAndWritesNothing()
{
    QFETCH(QString, speed);
    BenchLine line(10);
    QVERIFY(line.isValid());
    form1->VaComm1->OpenPort();

    showDialog();
    typePort(QStringLiteral("4"));
    typeSpeed(speed);
    QTest::mouseClick(form2->sButton1, Qt::LeftButton);

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, ErrorReportCaption);
    QCOMPARE(prompts->messages[0].text, QStringLiteral("'%1' is not a valid integer value").arg(speed));
    QVERIFY(form2->isVisible());
    QVERIFY(!form1->VaComm1->PortIsOpen());
    QCOMPARE(form1->VaComm1->PortNum(), 4);
    QCOMPARE(form1->VaComm1->UserBaudrate(), 1000000);
    QVERIFY(!QFile::exists(SettingsFile::path()));

    // The operator mends the speed and presses "OK" again.
    typeSpeed(QStringLiteral("9600"));
    QTest::mouseClick(form2->sButton1, Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY(!form2->isVisible());
    QCOMPARE(SettingsFile::readPort().userBaudrate, 9600);
}

void TestPortSettingsDialog::settingsFileThatCannotBeWrittenKeepsTheDialogOpen()
{
    // A folder below a plain file cannot be created, not even by root.
    QFile blocker(QDir(records->path()).filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setRecordsDirectoryForTests(QDir(blocker.fileName()).filePath(QStringLiteral("records")));

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(form2->sButton1, Qt::LeftButton);

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, ErrorReportCaption);
    QCOMPARE(prompts->messages[0].text, QStringLiteral("Unable to write to %1").arg(SettingsFile::path()));
    QVERIFY(form2->isVisible());
    QCOMPARE(form1->VaComm1->PortNum(), 3);
    QCOMPARE(form1->VaComm1->UserBaudrate(), 115200);
}

void TestPortSettingsDialog::cancelChangesNothingAndTheNextShowingShowsTheChannelAgain()
{
    BenchLine line(10);
    QVERIFY(line.isValid());
    form1->VaComm1->OpenPort();

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(form2->sButton2, Qt::LeftButton);

    QVERIFY(!form2->isVisible());
    QVERIFY(form1->VaComm1->PortIsOpen());
    QCOMPARE(form1->VaComm1->PortNum(), 10);
    QCOMPARE(form1->VaComm1->UserBaudrate(), 1000000);
    QVERIFY(!QFile::exists(SettingsFile::path()));

    showDialog();
    QCOMPARE(form2->ComNum->value(), 10);
    QCOMPARE(form2->sEdit1->text(), QStringLiteral("1000000"));
}

QTEST_MAIN(TestPortSettingsDialog)
#include "tst_portsettingsdialog.moc"
