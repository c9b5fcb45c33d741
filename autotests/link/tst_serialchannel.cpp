#include "bencherror.h"
#include "blockingpause.h"
#include "pseudoterminal.h"
#include "recordslocation.h"
#include "serialchannel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int PortNumber = 73; // unlikely to collide with a real or emulated port

QString errorText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const BenchError &error) {
        return error.text();
    }
    return QStringLiteral("no error");
}

// Catches what an event handler throws, as the program's application object does.
class CatchingApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    QStringList caught;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const BenchError &error) {
            caught.append(error.text());
            return true;
        }
    }
};

QByteArray readAll(SerialChannel &channel, int count)
{
    QByteArray chunk(count, '\0');
    return chunk.left(channel.ReceiveBytes(reinterpret_cast<std::uint8_t *>(chunk.data()), count));
}

} // namespace

class TestSerialChannel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void portNumberNamesTheFolderEntryOrABuiltInPort();
    void anInstalledProgramFindsItsLinkInTheRecordsFolder();
    void openingAMissingDeviceSaysItIsNotFound_data();
    void openingAMissingDeviceSaysItIsNotFound();
    void openingSomethingThatIsNoTerminalGivesTheSystemError();
    void closedPortDropsSendsAndReadsNothing();
    void portNumberCannotChangeWhileOpen();
    void bytesFromTheFarEndArriveThroughRxChar();
    void bytesLeftUnreadRaiseAnotherEvent();
    void bytesArrivingDuringAHandlerRaiseAnotherEvent();
    void handlerErrorReachesTheReportAndDeliveryGoesOn();
    void drainEmptiesOurQueueAndTheSystemQueue();
    void sentBytesLeaveBeforeABlockingPause();
    void anyIntegerBaudrateIsAccepted();
    void farEndGoingAwayClosesThePortQuietly();

private:
    void linkPort(const QString &target);

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<PseudoTerminal> farEnd; // the bench's end of the line
    std::unique_ptr<SerialChannel> channel;
};

void TestSerialChannel::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    farEnd = std::make_unique<PseudoTerminal>();
    QVERIFY(farEnd->isValid());
    channel = std::make_unique<SerialChannel>(folder->path());
    channel->setPortNum(PortNumber);
}

void TestSerialChannel::cleanup()
{
    channel.reset();
    farEnd.reset();
    setRecordsDirectoryForTests({});
    folder.reset();
}

void TestSerialChannel::linkPort(const QString &target)
{
    QVERIFY(QFile::link(target, folder->filePath(QStringLiteral("COM%1").arg(PortNumber))));
}

void TestSerialChannel::portNumberNamesTheFolderEntryOrABuiltInPort()
{
    QCOMPARE(channel->deviceName(), QStringLiteral("/dev/ttyS72"));
    linkPort(farEnd->slaveName());
    QCOMPARE(channel->deviceName(), folder->filePath(QStringLiteral("COM73")));
}

// The program's folder (here the test's own) holds no COM73; the user's records folder does.
void TestSerialChannel::anInstalledProgramFindsItsLinkInTheRecordsFolder()
{
    channel = std::make_unique<SerialChannel>();
    channel->setPortNum(PortNumber);
    setRecordsDirectoryForTests(folder->path());
    QVERIFY(!QFileInfo::exists(QDir(channel->deviceFolder()).filePath(QStringLiteral("COM73"))));
    QCOMPARE(channel->deviceName(), QStringLiteral("/dev/ttyS72"));
    linkPort(farEnd->slaveName());
    QCOMPARE(channel->deviceName(), folder->filePath(QStringLiteral("COM73")));
}

void TestSerialChannel::openingAMissingDeviceSaysItIsNotFound_data()
{
    QTest::addColumn<bool>("danglingLink");
    QTest::newRow("no entry, no built-in port") << false;
    QTest::newRow("entry pointing nowhere") << true;
}

void TestSerialChannel::openingAMissingDeviceSaysItIsNotFound()
{
    QFETCH(bool, danglingLink);
    if (danglingLink)
        linkPort(folder->filePath(QStringLiteral("gone")));
    else
        channel->setPortNum(4000);
    const QString device = danglingLink ? folder->filePath(QStringLiteral("COM73"))
                                        : QStringLiteral("/dev/ttyS3999");
    QCOMPARE(errorText([&] { channel->OpenPort(); }),
             QStringLiteral("Specified device not found (%1).").arg(device));
    QVERIFY(!channel->PortIsOpen());
}

void TestSerialChannel::openingSomethingThatIsNoTerminalGivesTheSystemError()
{
    QFile plain(folder->filePath(QStringLiteral("COM73")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString text = errorText([&] { channel->OpenPort(); });
    QVERIFY2(text.startsWith(QStringLiteral("Can't open specified device %1 (Error ").arg(plain.fileName())),
             qPrintable(text));
    QVERIFY(!channel->PortIsOpen());
}

void TestSerialChannel::closedPortDropsSendsAndReadsNothing()
{
    std::uint8_t buffer[8] = {};
    const std::uint8_t block[3] = {1, 2, 3};
    QVERIFY(!channel->SendByte(0xAA));
    QCOMPARE(channel->SendBytes(block, 3), 0);
    QCOMPARE(channel->ReceiveBytes(buffer, 8), 0);
    QCOMPARE(channel->PendingInputCount(), 0);
    channel->drainInput();
    channel->ClosePort();
    QVERIFY(!channel->PortIsOpen());
}

void TestSerialChannel::portNumberCannotChangeWhileOpen()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QVERIFY(channel->PortIsOpen());
    const QString whileOpen = QStringLiteral("Can't perform this operation while port is open");
    QCOMPARE(errorText([&] { channel->setPortNum(5); }), whileOpen);
    QCOMPARE(errorText([&] { channel->OpenPort(); }), whileOpen);
    QCOMPARE(channel->PortNum(), PortNumber);
    channel->setUserBaudrate(115200);
    QCOMPARE(channel->UserBaudrate(), 115200);

    channel->ClosePort();
    QVERIFY(!channel->PortIsOpen());
    channel->setPortNum(5);
    QCOMPARE(channel->PortNum(), 5);
}

void TestSerialChannel::bytesFromTheFarEndArriveThroughRxChar()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QByteArray received;
    QList<int> counts;
    connect(channel.get(), &SerialChannel::rxChar, this, [&](int count) {
        counts.append(count);
        QByteArray chunk(count, '\0');
        const int n = channel->ReceiveBytes(reinterpret_cast<std::uint8_t *>(chunk.data()), count);
        received.append(chunk.left(n));
    });
    const QByteArray sent = QByteArray::fromHex("BB00AA55FF0102");
    QVERIFY(farEnd->write(sent));
    QTRY_COMPARE(received, sent);
    for (int count : counts)
        QVERIFY(count > 0);
}

void TestSerialChannel::bytesLeftUnreadRaiseAnotherEvent()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QList<int> counts;
    QByteArray consumed;
    connect(channel.get(), &SerialChannel::rxChar, this, [&](int count) {
        counts.append(count);
        std::uint8_t one;
        if (channel->ReceiveBytes(&one, 1) == 1)
            consumed.append(char(one));
    });
    QVERIFY(farEnd->write("abc"));
    QTRY_COMPARE(consumed, QByteArray("abc"));
    QCOMPARE(counts.last(), 1);
    QTest::qWait(100);
    QCOMPARE(counts.size(), 3);
}

// A handler that runs the event loop (a message box does) while more bytes come: the port
// does not signal inside its own signal, so the channel must notice them afterwards.
void TestSerialChannel::bytesArrivingDuringAHandlerRaiseAnotherEvent()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QByteArray received;
    int calls = 0;
    connect(channel.get(), &SerialChannel::rxChar, this, [&](int count) {
        ++calls;
        received += readAll(*channel, count);
        if (calls == 1) {
            QVERIFY(farEnd->write("cd"));
            QTest::qWait(100);
        }
    });
    QVERIFY(farEnd->write("ab"));
    QTRY_COMPARE(received, QByteArray("abcd"));
    QCOMPARE(calls, 2);
}

// An error thrown by a handler reaches the application's report from the event loop, and
// the port goes on signalling: unwound through the port's own code, it would fall silent.
void TestSerialChannel::handlerErrorReachesTheReportAndDeliveryGoesOn()
{
    auto *app = static_cast<CatchingApplication *>(QCoreApplication::instance());
    app->caught.clear();
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QByteArray received;
    connect(channel.get(), &SerialChannel::rxChar, this, [&](int count) {
        received += readAll(*channel, count);
        if (received == "ab")
            throw BenchError(QStringLiteral("Read error (5), Input/output error"));
    });
    QVERIFY(farEnd->write("ab"));
    QTRY_COMPARE(app->caught, QStringList{QStringLiteral("Read error (5), Input/output error")});
    QVERIFY(farEnd->write("cd"));
    QTRY_COMPARE(received, QByteArray("abcd"));
    QCOMPARE(app->caught.size(), 1);
}

void TestSerialChannel::drainEmptiesOurQueueAndTheSystemQueue()
{
    linkPort(farEnd->slaveName());
    QSignalSpy restarts(channel.get(), &SerialChannel::inputRestarted);
    channel->OpenPort();
    QCOMPARE(restarts.size(), 1); // an opening starts somewhere in the stream
    QSignalSpy events(channel.get(), &SerialChannel::rxChar);
    QVERIFY(farEnd->write(QByteArray(10, 'q')));
    QTRY_COMPARE(channel->PendingInputCount(), 10);

    // These arrive while the thread is blocked: they wait in the system's queue.
    QVERIFY(farEnd->write(QByteArray(20, 's')));
    blockingPause(std::chrono::milliseconds(50));
    channel->drainInput();
    QCOMPARE(channel->PendingInputCount(), 0);
    QCOMPARE(restarts.size(), 2); // so does what follows a drain: the framer must know

    events.clear();
    QTest::qWait(200);
    QCOMPARE(channel->PendingInputCount(), 0);
    QVERIFY(events.isEmpty());

    QVERIFY(farEnd->write("x"));
    QTRY_COMPARE(channel->PendingInputCount(), 1);
}

void TestSerialChannel::sentBytesLeaveBeforeABlockingPause()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QVERIFY(channel->SendByte(0xAA));
    // No event loop runs from here on, as in the command senders' pause.
    QCOMPARE(farEnd->read(1), QByteArray::fromHex("AA"));
    const std::uint8_t args[2] = {2, 52};
    QCOMPARE(channel->SendBytes(args, 2), 2);
    QCOMPARE(farEnd->read(2), QByteArray::fromHex("0234"));
}

void TestSerialChannel::anyIntegerBaudrateIsAccepted()
{
    linkPort(farEnd->slaveName());
    channel->setUserBaudrate(12345);
    channel->OpenPort();
    QVERIFY(channel->PortIsOpen());
    channel->setUserBaudrate(1000000);
    QVERIFY(channel->SendByte(0x55));
    QCOMPARE(farEnd->read(1), QByteArray::fromHex("55"));
}

void TestSerialChannel::farEndGoingAwayClosesThePortQuietly()
{
    linkPort(farEnd->slaveName());
    channel->OpenPort();
    QSignalSpy lost(channel.get(), &SerialChannel::portLost);
    farEnd->close();
    QTRY_VERIFY(!channel->PortIsOpen());
    QCOMPARE(lost.size(), 1);
    std::uint8_t buffer[4];
    QCOMPARE(channel->ReceiveBytes(buffer, 4), 0);
}

int main(int argc, char **argv)
{
    CatchingApplication app(argc, argv);
    TestSerialChannel test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_serialchannel.moc"
