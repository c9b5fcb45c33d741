#include "errorreport.h"
#include "pseudoterminal.h"
#include "settingsfile.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>

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
    void refusedSpeedKeepsTheDialogOpenAndWritesNothing_data();
    void refusedSpeedKeepsTheDialogOpenAndWritesNothing();
    void settingsFileThatCannotBeWrittenKeepsTheDialogOpen();
    void cancelChangesNothingAndTheNextShowingShowsTheChannelAgain();
    void returnsTheChosenSettingsAndTouchesNothing();

private:
    void showDialog();
    void typePort(const QString &text);
    void typeSpeed(const QString &text);

    std::unique_ptr<WindowFixture> f;
};

void TestPortSettingsDialog::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    f->createWindow();
    f->form->show();
}

void TestPortSettingsDialog::cleanup()
{
    f.reset();
}

void TestPortSettingsDialog::showDialog()
{
    QTest::mouseClick(f->form->control<QPushButton>("sBitBtn3"), Qt::LeftButton);
    QVERIFY(f->form2->isVisible());
}

void TestPortSettingsDialog::typePort(const QString &text)
{
    child<QSpinBox>(f->form2, "ComNum")->selectAll();
    QTest::keyClicks(child<QSpinBox>(f->form2, "ComNum"), text);
}

void TestPortSettingsDialog::typeSpeed(const QString &text)
{
    child<QLineEdit>(f->form2, "sEdit1")->selectAll();
    QTest::keyClick(child<QLineEdit>(f->form2, "sEdit1"), Qt::Key_Backspace);
    QTest::keyClicks(child<QLineEdit>(f->form2, "sEdit1"), text);
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
    QWidget *w = name == f->form2->objectName() ? f->form2 : f->form2->findChild<QWidget *>(name);
    QVERIFY(w);
    QString shown;
    if (w == f->form2)
        shown = f->form2->windowTitle();
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
        f->windows->link.usePort({port, speed});
    }
    showDialog();
    QCOMPARE(child<QSpinBox>(f->form2, "ComNum")->value(), port);
    QCOMPARE(child<QLineEdit>(f->form2, "sEdit1")->text(), speedText);
    // Modeless: the main window goes on taking the operator's input.
    QVERIFY(!f->form2->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestPortSettingsDialog::showingTheOpenDialogAgainKeepsWhatTheOperatorTyped()
{
    showDialog();
    typePort(QStringLiteral("5"));
    typeSpeed(QStringLiteral("9600"));
    showDialog();
    QCOMPARE(child<QSpinBox>(f->form2, "ComNum")->value(), 5);
    QCOMPARE(child<QLineEdit>(f->form2, "sEdit1")->text(), QStringLiteral("9600"));
}

// The dialog leaves the watchdog alone: if it runs, it reopens the port with the new
// settings on its next round.
void TestPortSettingsDialog::okClosesThePortAppliesBothAndStoresThemForTheNextStart()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(f->deviceFolder(), 10));
    QVERIFY(line.linkAs(f->deviceFolder(), 3));
    // As on the page "Омическое сопротивление": the port open and the watchdog on.
    f->form->control<PageControl>("PageControl1")->tabButton(TForm1::PageResistence)->click();
    QVERIFY(f->windows->link.isPortOpen());
    QVERIFY(f->windows->link.watchdog().isActive());

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(child<QPushButton>(f->form2, "sButton1"), Qt::LeftButton);

    QVERIFY(f->prompts.messages.isEmpty());
    QVERIFY(!f->form2->isVisible());
    QVERIFY(!f->windows->link.isPortOpen());
    QCOMPARE(f->windows->link.portSettings().portNum, 3);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 115200);
    QVERIFY(f->windows->link.watchdog().isActive());

    ProgramWindows nextStart;
    nextStart.form1.show();
    QCOMPARE(nextStart.link.portSettings().portNum, 3);
    QCOMPARE(nextStart.link.portSettings().userBaudrate, 115200);

    f->windows->link.Timer1Timer();
    QVERIFY(f->windows->link.isPortOpen());
    QCOMPARE(f->windows->link.deviceName(), QDir(f->deviceFolder()).filePath(QStringLiteral("COM3")));
}

// The dialog only shows what it is given and returns what the operator chose: no port is
// touched and no file written until the link takes them.
void TestPortSettingsDialog::returnsTheChosenSettingsAndTouchesNothing()
{
    TForm2 dialog;
    dialog.showSettings({7, 19200});
    dialog.show();
    QCOMPARE(child<QSpinBox>(&dialog, "ComNum")->value(), 7);
    QCOMPARE(child<QLineEdit>(&dialog, "sEdit1")->text(), QStringLiteral("19200"));

    QList<PortSettings> chosen;
    connect(&dialog, &TForm2::settingsChosen, this, [&](const PortSettings &s) { chosen.append(s); });
    child<QSpinBox>(&dialog, "ComNum")->selectAll();
    QTest::keyClicks(child<QSpinBox>(&dialog, "ComNum"), QStringLiteral("4"));
    child<QLineEdit>(&dialog, "sEdit1")->selectAll();
    QTest::keyClicks(child<QLineEdit>(&dialog, "sEdit1"), QStringLiteral("57600"));
    QTest::mouseClick(child<QPushButton>(&dialog, "sButton1"), Qt::LeftButton);
    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0].portNum, 4);
    QCOMPARE(chosen[0].userBaudrate, 57600);
    QVERIFY(!QFile::exists(SettingsFile::path()));
    QCOMPARE(f->windows->link.portSettings().portNum, 10);
}

void TestPortSettingsDialog::refusedSpeedKeepsTheDialogOpenAndWritesNothing_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("message");
    const QString notWhole = QStringLiteral("'%1' is not a valid integer value");
    const QString notPositive = QStringLiteral("Скорость '%1' недопустима: она должна быть больше нуля.");
    QTest::newRow("two digits and a letter") << QStringLiteral("96b") << notWhole;
    QTest::newRow("empty") << QString() << notWhole;
    QTest::newRow("a decimal point") << QStringLiteral("115200.0") << notWhole;
    QTest::newRow("an exponent") << QStringLiteral("1e6") << notWhole;
    QTest::newRow("beyond the integer range") << QStringLiteral("99999999999") << notWhole;
    QTest::newRow("zero") << QStringLiteral("0") << notPositive;
    QTest::newRow("negative") << QStringLiteral("-9600") << notPositive;
}

void TestPortSettingsDialog::refusedSpeedKeepsTheDialogOpenAndWritesNothing()
{
    QFETCH(QString, speed);
    QFETCH(QString, message);
    PseudoTerminal line;
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(f->deviceFolder(), 10));
    f->windows->link.openPort();

    showDialog();
    typePort(QStringLiteral("4"));
    typeSpeed(speed);
    QTest::mouseClick(child<QPushButton>(f->form2, "sButton1"), Qt::LeftButton);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, ErrorReportCaption);
    QCOMPARE(f->prompts.messages[0].text, message.arg(speed));
    QVERIFY(f->form2->isVisible());
    // Refused as a whole: the port stays open on the settings it had.
    QVERIFY(f->windows->link.isPortOpen());
    QCOMPARE(f->windows->link.portSettings().portNum, 10);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 1000000);
    QVERIFY(!QFile::exists(SettingsFile::path()));

    // The operator mends the speed and presses "OK" again.
    typeSpeed(QStringLiteral("9600"));
    QTest::mouseClick(child<QPushButton>(f->form2, "sButton1"), Qt::LeftButton);
    QCOMPARE(f->prompts.messages.size(), 1);
    QVERIFY(!f->form2->isVisible());
    QVERIFY(!f->windows->link.isPortOpen());
    QCOMPARE(f->windows->link.portSettings().portNum, 4);
    QCOMPARE(SettingsFile::readPort().portNum, 4);
    QCOMPARE(SettingsFile::readPort().userBaudrate, 9600);
}

void TestPortSettingsDialog::settingsFileThatCannotBeWrittenKeepsTheDialogOpen()
{
    // A folder below a plain file cannot be created, not even by root.
    QFile blocker(f->filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setRecordsDirectoryForTests(QDir(blocker.fileName()).filePath(QStringLiteral("records")));

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(child<QPushButton>(f->form2, "sButton1"), Qt::LeftButton);

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, ErrorReportCaption);
    QCOMPARE(f->prompts.messages[0].text, QStringLiteral("Unable to write to %1").arg(SettingsFile::path()));
    QVERIFY(f->form2->isVisible());
    QCOMPARE(f->windows->link.portSettings().portNum, 3);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 115200);
}

void TestPortSettingsDialog::cancelChangesNothingAndTheNextShowingShowsTheChannelAgain()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    QVERIFY(line.linkAs(f->deviceFolder(), 10));
    f->windows->link.openPort();

    showDialog();
    typePort(QStringLiteral("3"));
    typeSpeed(QStringLiteral("115200"));
    QTest::mouseClick(child<QPushButton>(f->form2, "sButton2"), Qt::LeftButton);

    QVERIFY(!f->form2->isVisible());
    QVERIFY(f->windows->link.isPortOpen());
    QCOMPARE(f->windows->link.portSettings().portNum, 10);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 1000000);
    QVERIFY(!QFile::exists(SettingsFile::path()));

    showDialog();
    QCOMPARE(child<QSpinBox>(f->form2, "ComNum")->value(), 10);
    QCOMPARE(child<QLineEdit>(f->form2, "sEdit1")->text(), QStringLiteral("1000000"));
}

QTEST_MAIN(TestPortSettingsDialog)
#include "tst_portsettingsdialog.moc"
