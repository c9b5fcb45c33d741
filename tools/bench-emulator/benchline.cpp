#include "benchline.h"

#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
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

BenchLine::BenchLine(QObject *parent)
    : QObject(parent)
{
}

BenchLine::~BenchLine()
{
    close();
}

bool BenchLine::isOpen() const
{
    return m_fd >= 0;
}

bool BenchLine::open(QString *error)
{
    auto terminal = std::make_unique<PseudoTerminal>(PseudoTerminal::Slave::Released);
    if (!terminal->isValid()) {
        *error = terminal->errorString();
        return false;
    }
    const int fd = terminal->masterFd();
    const QString name = terminal->slaveName();
    m_terminal = std::move(terminal);
    m_fd = fd;
    m_deviceName = name;
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &BenchLine::readAvailable);
    m_readerWatch = new QTimer(this);
    m_readerWatch->setInterval(20);
    connect(m_readerWatch, &QTimer::timeout, this, &BenchLine::checkReader);
    m_readerWatch->start();
    return true;
}

bool BenchLine::publish(const QString &linkPath, bool force, QString *error)
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

void BenchLine::unpublish()
{
    if (m_linkPath.isEmpty())
        return;
    // Leave alone a link that someone has pointed elsewhere since.
    if (QFile::symLinkTarget(m_linkPath) == m_deviceName)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void BenchLine::close()
{
    unpublish();
    if (m_fd < 0)
        return;
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_readerWatch;
    m_readerWatch = nullptr;
    m_terminal.reset();
    m_fd = -1;
    m_tail.clear();
    if (m_readerPresent) {
        m_readerPresent = false;
        emit readerChanged(false);
    }
}

void BenchLine::checkReader()
{
    if (m_fd < 0)
        return;
    setReaderPresent(slaveOpenElsewhere(m_fd));
    // The rest of a packet goes out as soon as there is room, not only with the next packet.
    if (m_readerPresent)
        flushPendingTail();
}

void BenchLine::setReaderPresent(bool present)
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

void BenchLine::readAvailable()
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
void BenchLine::discardUnread()
{
    ::tcflush(m_fd, TCOFLUSH);
    const int slave = ::open(QFile::encodeName(m_deviceName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return;  // a new reader holds it exclusively already
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}

bool BenchLine::flushPendingTail()
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

BenchLine::WriteResult BenchLine::write(const QByteArray &bytes)
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
