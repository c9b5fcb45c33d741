#pragma once

#include "serialchannel.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The bench's end of a serial line: a pseudo-terminal whose slave the program opens as
// COM<n> through a link in a temporary device folder, while the test reads and writes
// the master.
class BenchLine {
public:
    explicit BenchLine(int portNum)
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
            return;
        char name[128];
        if (::ptsname_r(m_fd, name, sizeof name) != 0)
            return;
        termios t{};
        if (::tcgetattr(m_fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_fd, TCSANOW, &t);
        }
        m_slaveName = QByteArray(name);
        if (!m_folder.isValid() || !linkAs(portNum))
            return;
        SerialChannel::setDeviceFolder(m_folder.path());
        m_valid = true;
    }

    // Makes the same line answer to another port number too.
    bool linkAs(int portNum)
    {
        const QString link = QDir(m_folder.path()).filePath(QStringLiteral("COM%1").arg(portNum));
        return ::symlink(m_slaveName.constData(), QFile::encodeName(link).constData()) == 0;
    }

    ~BenchLine()
    {
        SerialChannel::setDeviceFolder(QString());
        if (m_fd >= 0)
            ::close(m_fd);
    }

    BenchLine(const BenchLine &) = delete;
    BenchLine &operator=(const BenchLine &) = delete;

    bool isValid() const { return m_valid; }

    // What the program has sent: waits up to `timeoutMs` for `count` bytes, then returns
    // what came, so a short answer shows in the comparison rather than as a hang.
    QByteArray read(int count, int timeoutMs = 5000)
    {
        QByteArray received;
        QDeadlineTimer deadline(timeoutMs);
        while (received.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
            if (ready <= 0 || !(p.revents & POLLIN))
                break;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            received.append(buffer, int(n));
        }
        return received;
    }

    // Everything sent so far, without waiting for more.
    QByteArray readWaiting() { return read(1 << 20, 0); }

    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

private:
    QTemporaryDir m_folder;
    QByteArray m_slaveName;
    int m_fd = -1;
    bool m_valid = false;
};
