#include "pseudoterminal.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

void waitFor(int fd, short events, qint64 ms)
{
    pollfd p{fd, events, 0};
    ::poll(&p, 1, int(qBound(qint64(0), ms, qint64(50))));
}

QString systemError(const char *what, int code)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(code)));
}

} // namespace

namespace TerminalIo {

bool writeAll(int fd, const QByteArray &bytes, int timeoutMs)
{
    qsizetype done = 0;
    const QDeadlineTimer deadline(timeoutMs);
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            if (deadline.hasExpired())
                return false;
            waitFor(fd, POLLOUT, deadline.remainingTime());
        }
    }
    return true;
}

bool readUpTo(int fd, QByteArray &buffer, qsizetype count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (buffer.size() < count) {
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, size_t(qMin<qsizetype>(sizeof chunk, count - buffer.size())));
        if (n > 0) {
            buffer.append(chunk, n);
            continue;
        }
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        if (deadline.hasExpired())
            return false;
        waitFor(fd, POLLIN, deadline.remainingTime());
    }
    return true;
}

} // namespace TerminalIo

PseudoTerminal::PseudoTerminal(Slave slave)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        m_error = systemError("opening a pseudo-terminal", errno);
        return;
    }
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = systemError("preparing the pseudo-terminal", errno);
        close();
        return;
    }
    termios t{};
    if (::tcgetattr(m_master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_master, TCSANOW, &t);
    }
    const int fd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = systemError("opening the slave side", errno);
        close();
        return;
    }
    m_slaveName = QString::fromLocal8Bit(name);
    if (slave == Slave::Held)
        m_slave = fd;
    else
        ::close(fd);
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

void PseudoTerminal::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

bool PseudoTerminal::linkAs(const QString &folder, int portNum) const
{
    const QString path = QDir(folder).filePath(QStringLiteral("COM%1").arg(portNum));
    QFile::remove(path);
    return QFile::link(m_slaveName, path);
}

qsizetype PseudoTerminal::writeSome(QByteArrayView bytes) const
{
    const ssize_t n = ::write(m_master, bytes.data(), size_t(bytes.size()));
    return n > 0 ? qsizetype(n) : 0;
}

bool PseudoTerminal::write(const QByteArray &bytes, int timeoutMs) const
{
    return m_master >= 0 && TerminalIo::writeAll(m_master, bytes, timeoutMs);
}

QByteArray PseudoTerminal::read(int count, int timeoutMs) const
{
    QByteArray bytes;
    if (m_master >= 0)
        TerminalIo::readUpTo(m_master, bytes, count, timeoutMs);
    return bytes;
}
