#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what, int code)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code)));
}

// The master reports a hang-up exactly while no process has the slave open.
bool slaveOpenElsewhere(int fd)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return !(p.revents & POLLHUP);
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(QStringLiteral("opening a pseudo-terminal"), errno);
        return false;
    }
    char name[128];
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        *error = systemError(QStringLiteral("preparing the pseudo-terminal"), errno);
        ::close(fd);
        return false;
    }
    // Raw both ways: no echo of what the program sends, no translation of packet bytes.
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    // Until the slave has been opened once the master shows no hang-up; open and close it so
    // that "nobody there" looks the same before the first reader as after the last.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        *error = systemError(QStringLiteral("opening the slave side"), errno);
        ::close(fd);
        return false;
    }
    ::close(slave);

    m_fd = fd;
    m_deviceName = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readAvailable);
    m_readerWatch = new QTimer(this);
    m_readerWatch->setInterval(20);
    connect(m_readerWatch, &QTimer::timeout, this, &PseudoTerminal::checkReader);
    m_readerWatch->start();
    return true;
}

bool PseudoTerminal::publish(const QString &linkPath, bool force, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.isSymLink() || existing.exists()) {
        // A killed emulator leaves a link to a pseudo-terminal that is gone; a link to an
        // unplugged adapter dangles as well but is the operator's and stays.
        const bool leftByEmulator = existing.isSymLink() && !existing.exists()
                && existing.symLinkTarget().startsWith(QLatin1String("/dev/pts/"));
        if (!leftByEmulator && !force) {
            *error = QStringLiteral("%1 already exists (%2); remove it, choose another --port, or give --force")
                         .arg(linkPath,
                              existing.isSymLink() ? QStringLiteral("a link to %1").arg(existing.symLinkTarget())
                                                   : QStringLiteral("not a link"));
            return false;
        }
        if (existing.isDir()) {
            *error = QStringLiteral("%1 is a folder").arg(linkPath);
            return false;
        }
    }
    // Make the link under a temporary name and rename it into place, so that a reader never
    // finds a half-made or missing link when an old one is replaced.
    const QByteArray target = QFile::encodeName(m_deviceName);
    const QByteArray finalName = QFile::encodeName(linkPath);
    const QByteArray tempName = finalName + ".bench-emulator-" + QByteArray::number(::getpid());
    ::unlink(tempName.constData());
    if (::symlink(target.constData(), tempName.constData()) != 0) {
        const int code = errno;
        *error = systemError(QStringLiteral("creating a link in %1").arg(QFileInfo(linkPath).absolutePath()), code);
        return false;
    }
    if (::rename(tempName.constData(), finalName.constData()) != 0) {
        *error = systemError(QStringLiteral("moving the link into place"), errno);
        ::unlink(tempName.constData());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::unpublish()
{
    if (m_linkPath.isEmpty())
        return;
    // Leave alone a link that someone has pointed elsewhere since.
    if (QFile::symLinkTarget(m_linkPath) == m_deviceName)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void PseudoTerminal::close()
{
    unpublish();
    if (m_fd < 0)
        return;
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_readerWatch;
    m_readerWatch = nullptr;
    ::close(m_fd);
    m_fd = -1;
    m_tail.clear();
    if (m_readerPresent) {
        m_readerPresent = false;
        emit readerChanged(false);
    }
}

void PseudoTerminal::checkReader()
{
    if (m_fd < 0)
        return;
    setReaderPresent(slaveOpenElsewhere(m_fd));
    // The rest of a packet goes out as soon as there is room, not only with the next packet.
    if (m_readerPresent)
        flushPendingTail();
}

void PseudoTerminal::setReaderPresent(bool present)
{
    if (present == m_readerPresent)
        return;
    m_readerPresent = present;
    // While nobody is there the hang-up would wake the read notifier without end.
    m_readNotifier->setEnabled(present);
    if (!present) {
        discardUnread();
        m_tail.clear();
    }
    emit readerChanged(present);
}

void PseudoTerminal::readAvailable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            emit received(QByteArray(buffer, int(n)));
            if (m_fd < 0)
                return;  // a receiver closed us
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // EIO: the last reader closed its end.
        setReaderPresent(false);
        return;
    }
}

// Whatever the last reader left unread would otherwise greet the next one as a backlog of
// old packets. Most of it sits in the slave's input queue, which only a flush through the
// slave itself reaches.
void PseudoTerminal::discardUnread()
{
    ::tcflush(m_fd, TCOFLUSH);
    const int slave = ::open(QFile::encodeName(m_deviceName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return;  // a new reader holds it exclusively already
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}

bool PseudoTerminal::flushPendingTail()
{
    while (!m_tail.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_tail.constData(), size_t(m_tail.size()));
        if (n > 0) {
            m_tail.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
    return true;
}

PseudoTerminal::WriteResult PseudoTerminal::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return WriteResult::NoReader;
    checkReader();
    if (!m_readerPresent)
        return WriteResult::NoReader;
    if (!flushPendingTail())
        return WriteResult::Dropped;
    ssize_t n;
    do {
        n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EIO)
            return WriteResult::Dropped;
        setReaderPresent(false);
        return WriteResult::NoReader;
    }
    // A packet is never cut short on the line: what did not fit goes first next time.
    if (n < bytes.size())
        m_tail = bytes.mid(int(n));
    return WriteResult::Written;
}
