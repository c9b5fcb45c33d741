#include "serialchannel.h"

#include "bencherror.h"
#include "blockingpause.h"
#include "recordslocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
#include <exception>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace {

BenchError whileOpenError()
{
    return BenchError(QStringLiteral("Can't perform this operation while port is open"));
}

BenchError notFoundError(const QString &device)
{
    return BenchError(QStringLiteral("Specified device not found (%1).").arg(device));
}

BenchError cantOpenError(const QString &device, int code, const QString &text)
{
    return BenchError(QStringLiteral("Can't open specified device %1").arg(device)
                      + QStringLiteral(" (Error %1, %2)").arg(code).arg(text));
}

// RAII flag: set while a handler of rxChar runs, also when it throws.
class Flag {
public:
    explicit Flag(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Flag() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

SerialChannel::SerialChannel(QString deviceFolder, QObject *parent)
    : QObject(parent), m_deviceFolder(std::move(deviceFolder))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialChannel::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialChannel::onError);
}

SerialChannel::~SerialChannel()
{
    if (m_port.isOpen())
        m_port.close();
}

QString SerialChannel::deviceFolder() const
{
    return m_deviceFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_deviceFolder;
}

QString SerialChannel::deviceName() const
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(m_portNum);
#else
    QStringList folders{deviceFolder()};
    if (m_deviceFolder.isEmpty() && QDir(recordsDirectory()) != QDir(folders.first()))
        folders.append(recordsDirectory());
    for (const QString &folder : folders) {
        const QString local = QDir(folder).filePath(QStringLiteral("COM%1").arg(m_portNum));
        // A dangling link still names our device: the emulator or adapter is just absent,
        // and falling back to a built-in port would talk to the wrong line.
        const QFileInfo info(local);
        if (info.exists() || info.isSymLink())
            return local;
    }
    return QStringLiteral("/dev/ttyS%1").arg(m_portNum - 1);
#endif
}

void SerialChannel::OpenPort()
{
    if (m_port.isOpen())
        throw whileOpenError();

    m_openRefused = false;
    const QString device = deviceName();
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(device))
        throw notFoundError(device);
#endif
    m_port.setPortName(device);
    m_port.setBaudRate(m_baudrate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(InputQueueSize);

    errno = 0;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const int systemError = errno;
        const QSerialPort::SerialPortError error = m_port.error();
        const QString text = m_port.errorString();
        m_port.clearError();
        if (error == QSerialPort::DeviceNotFoundError)
            throw notFoundError(device);
        m_openRefused = error == QSerialPort::PermissionError;
        throw cantOpenError(device, systemError != 0 ? systemError : int(error), text);
    }
    ++m_openings;
    m_lossPending = false;
    // Terminals without modem lines (pseudo-terminals) refuse these; that is harmless.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
    m_lastSystemError = 0;
    emit inputRestarted();
}

void SerialChannel::ClosePort()
{
    if (!m_port.isOpen())
        return;
    m_port.close();
    m_port.clearError();
    // The bench's receiver needs the line to rest before the port is opened again.
    blockingPause(std::chrono::milliseconds(ClosePauseMs));
}

bool SerialChannel::PortIsOpen() const
{
    return m_port.isOpen();
}

bool SerialChannel::SendByte(std::uint8_t byte)
{
    return SendBytes(&byte, 1) == 1;
}

int SerialChannel::SendBytes(const std::uint8_t *data, int length)
{
    if (!m_port.isOpen() || length <= 0)
        return 0;
    QElapsedTimer waited;
    waited.start();
    while (m_port.bytesToWrite() + length > OutputQueueSize) {
        const qint64 left = WriteTimeoutMs - waited.elapsed();
        if (left <= 0 || !m_port.waitForBytesWritten(int(left)))
            throw BenchError(QStringLiteral("Output buffer is full. Please check comm status."));
    }
    const qint64 queued = m_port.write(reinterpret_cast<const char *>(data), length);
    if (queued < 0)
        throw BenchError(QStringLiteral("Output buffer is full. Please check comm status."));
    // Qt writes from the event loop; without this a blocking pause right after a
    // command would hold the command back until the pause is over.
    m_port.flush();
    return int(queued);
}

int SerialChannel::ReceiveBytes(std::uint8_t *buffer, int count)
{
    if (!m_port.isOpen() || count <= 0)
        return 0;
    errno = 0;
    const qint64 read = m_port.read(reinterpret_cast<char *>(buffer), count);
    if (read > 0 && m_delivering)
        m_readWhileDelivering += read;
    if (read < 0) {
        // The system's number, as the text has always carried; Qt's own enumeration
        // means nothing to whoever reads the report.
        const int code = errno != 0 ? errno : m_lastSystemError != 0 ? m_lastSystemError : EIO;
        throw BenchError(QStringLiteral("Read error (%1), %2").arg(code).arg(m_port.errorString()));
    }
    return int(read);
}

int SerialChannel::PendingInputCount() const
{
    return m_port.isOpen() ? int(m_port.bytesAvailable()) : 0;
}

void SerialChannel::drainInput()
{
    if (!m_port.isOpen())
        return;
    m_port.skip(m_port.bytesAvailable());
#ifdef Q_OS_UNIX
    ::tcflush(int(m_port.handle()), TCIFLUSH);
#else
    m_port.clear(QSerialPort::Input);
#endif
    emit inputRestarted();
}

void SerialChannel::setPortNum(int portNum)
{
    if (m_port.isOpen())
        throw whileOpenError();
    m_portNum = portNum;
}

void SerialChannel::setUserBaudrate(int baudrate)
{
    m_baudrate = baudrate;
    if (m_port.isOpen()) {
        m_port.setBaudRate(baudrate);
        m_port.clearError();
    }
}

void SerialChannel::onReadyRead()
{
    if (m_delivering) {
        m_arrivedWhileDelivering = true;
        return;
    }
    // Delivered here, inside the port's own signal: one turn of the event loop for each
    // chunk the line brings, where a queued call would take two. An error the handler
    // throws must not unwind through the port's internals (the port would stop signalling),
    // so it is thrown again from a queued call, where the application's report takes it.
    try {
        deliver();
    } catch (...) {
        QMetaObject::invokeMethod(this, [error = std::current_exception()] { std::rethrow_exception(error); },
                                  Qt::QueuedConnection);
    }
}

void SerialChannel::queueDelivery()
{
    if (m_deliveryPending)
        return;
    m_deliveryPending = true;
    QMetaObject::invokeMethod(this, &SerialChannel::deliver, Qt::QueuedConnection);
}

void SerialChannel::deliver()
{
    m_deliveryPending = false;
    if (!m_port.isOpen() || m_delivering)
        return;
    const qint64 waiting = m_port.bytesAvailable();
    if (waiting <= 0)
        return;
    m_arrivedWhileDelivering = false;
    m_readWhileDelivering = 0;
    {
        Flag delivering(m_delivering);
        emit rxChar(int(waiting));
    }
    // Bytes the handler left, or that came while it ran, get an event of their own. A
    // handler that read nothing is not called again until new bytes come, which keeps a
    // failing handler from spinning. The port does not signal again while its signal is
    // running, so bytes that came meanwhile show only in the count.
    const qint64 left = m_port.isOpen() ? m_port.bytesAvailable() : 0;
    const bool arrived = m_arrivedWhileDelivering || left > waiting - m_readWhileDelivering;
    if (left > 0 && (m_readWhileDelivering > 0 || arrived))
        queueDelivery();
}

void SerialChannel::onError(QSerialPort::SerialPortError error)
{
    // Qt reports the failure right after the system call that failed.
    if (error != QSerialPort::NoError && errno != 0)
        m_lastSystemError = errno;
    // A read that fails means the line is gone (an unplugged adapter, a hung-up
    // terminal); left open, the port would report the same failure on every turn of
    // the event loop.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // Closed from a queued call: the port is still inside its own code here. One call
    // per opening, so that a late one never closes the port after it was reopened.
    if (m_lossPending)
        return;
    m_lossPending = true;
    const int opening = m_openings;
    QMetaObject::invokeMethod(this, [this, opening] {
        m_lossPending = false;
        if (!m_port.isOpen() || opening != m_openings)
            return;
        m_port.close();
        m_port.clearError();
        emit portLost();
    }, Qt::QueuedConnection);
}

void sendPausedCommand(SerialChannel &channel, std::uint8_t lead, const std::uint8_t *tail,
                       int tailLength)
{
    channel.SendByte(lead);
    blockingPause(std::chrono::milliseconds(1000));
    channel.drainInput();
    channel.SendBytes(tail, tailLength);
}
