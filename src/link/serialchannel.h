#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>

// The serial line to the bench: port number -> device, fixed line settings (8N1, no
// handshake, DTR and RTS inactive), a bounded input queue, and received data reported
// on the thread that owns the channel (the UI thread) through rxChar().
//
// Failures are thrown as BenchError with the texts the rest of the program expects.
// On a closed port sends are dropped and reads and counts give 0, silently.
class SerialChannel : public QObject {
    Q_OBJECT
public:
    static constexpr int InputQueueSize = 4096;
    static constexpr int OutputQueueSize = 2048;
    static constexpr int WriteTimeoutMs = 1000;
    static constexpr int ClosePauseMs = 300;
    static constexpr int DefaultPortNum = 10;
    static constexpr int DefaultBaudrate = 1000000;

    // `deviceFolder`: where COMn entries are looked for; empty means the program's own
    // folder and then the records folder (see deviceName()).
    explicit SerialChannel(QString deviceFolder = {}, QObject *parent = nullptr);
    ~SerialChannel() override;

    // Throws "Can't perform this operation while port is open", "Specified device not
    // found (...)." or "Can't open specified device ... (Error n, text)".
    void OpenPort();
    // Closes an open port and then blocks 300 ms; returns at once on a closed port.
    void ClosePort();
    bool PortIsOpen() const;
    // Whether the last OpenPort found the device but was refused it: no permission, or
    // another program holds it. The window tells this apart from a missing cable.
    bool openWasRefused() const { return m_openRefused; }

    // Queues the bytes and starts sending them before returning, so a pause that follows
    // really comes after them on the line. Throws "Output buffer is full. Please check
    // comm status." when the output queue cannot take the block within 1000 ms.
    bool SendByte(std::uint8_t byte);
    int SendBytes(const std::uint8_t *data, int length);

    // Reads up to `count` waiting bytes without waiting; throws "Read error (n), text".
    int ReceiveBytes(std::uint8_t *buffer, int count);
    int PendingInputCount() const;
    // Throws away every received byte, in our queue and in the operating system's.
    void drainInput();

    int PortNum() const { return m_portNum; }
    // Throws "Can't perform this operation while port is open" while open.
    void setPortNum(int portNum);
    int UserBaudrate() const { return m_baudrate; }
    // Applied at once to an open port.
    void setUserBaudrate(int baudrate);

    // The device the current port number names: on Windows \\.\COMn; elsewhere the
    // entry COMn of the device folder when there is one (a link to /dev/ttyUSB0 or to
    // the emulator's terminal), else of the records folder when that is another one (an
    // installed program's folder is closed to its users), else /dev/ttyS<n-1>.
    QString deviceName() const;

    // The folder COMn entries are looked for first.
    QString deviceFolder() const;

signals:
    // Received bytes wait; `count` (> 0) is how many. Not raised again while a handler
    // of it runs; bytes left unread or arriving meanwhile raise it again afterwards.
    void rxChar(int count);
    // The device went away under an open port (an unplugged adapter): the port has been
    // closed quietly; the next OpenPort tries again.
    void portLost();
    // The bytes received from now on do not continue those received before: the port
    // has just been opened, or its input drained.
    void inputRestarted();

private:
    void onReadyRead();
    void queueDelivery();
    void deliver();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    const QString m_deviceFolder;
    int m_portNum = DefaultPortNum;
    int m_baudrate = DefaultBaudrate;
    bool m_deliveryPending = false;
    bool m_delivering = false;
    bool m_arrivedWhileDelivering = false;
    qint64 m_readWhileDelivering = 0;
    bool m_lossPending = false;
    bool m_openRefused = false;
    int m_lastSystemError = 0; // errno of the last failure the port reported
    int m_openings = 0;
};

// A bench command: its first byte, a one-second pause in which the bench gets ready
// (blocking, not spinning), the input that arrived meanwhile thrown away, then the rest.
void sendPausedCommand(SerialChannel &channel, std::uint8_t lead, const std::uint8_t *tail,
                       int tailLength);
