#pragma once

// A pseudo-terminal standing in for the bench: the program opens its slave side through
// a COMn link in the channel's device folder, the test writes packets into the master
// side and reads from it what the program sent.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class PseudoTerminal {
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_master < 0)
            return;
        char name[128];
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
            || ::ptsname_r(m_master, name, sizeof name) != 0) {
            closeAll();
            return;
        }
        m_slaveName = QString::fromLocal8Bit(name);
        // Held open by the test so that the line outlives the program's close and reopen,
        // and raw from the start so that nothing written is echoed back or translated.
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (m_slave < 0 || ::tcgetattr(m_slave, &t) != 0) {
            closeAll();
            return;
        }
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
    ~PseudoTerminal() { closeAll(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }

    // Makes `folder`/COM<portNum> lead to this terminal, replacing whatever was there;
    // one terminal may answer to several numbers.
    bool linkAs(const QString &folder, int portNum) const
    {
        const QString path = QDir(folder).filePath(QStringLiteral("COM%1").arg(portNum));
        QFile::remove(path);
        return QFile::link(m_slaveName, path);
    }

    bool write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        const QDeadlineTimer deadline(5000);
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                if (deadline.hasExpired())
                    return false;
                pollFor(POLLOUT, 50);
            }
        }
        return true;
    }

    // As many of `bytes` as the line takes now, without waiting: for a test that must keep
    // its own event loop (and so the program's reading) running while it floods the line.
    qsizetype writeSome(QByteArrayView bytes) const
    {
        const ssize_t n = ::write(m_master, bytes.data(), size_t(bytes.size()));
        return n > 0 ? qsizetype(n) : 0;
    }

    // What the program sent: up to `count` bytes, waiting at most `timeoutMs` for them, so
    // a short answer shows in the comparison rather than as a hang.
    QByteArray read(int count, int timeoutMs = 5000) const
    {
        QByteArray bytes;
        const QDeadlineTimer deadline(timeoutMs);
        while (bytes.size() < count) {
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - bytes.size())));
            if (n > 0) {
                bytes.append(buffer, n);
                continue;
            }
            if (deadline.hasExpired())
                break;
            pollFor(POLLIN, int(qMin<qint64>(50, deadline.remainingTime())));
        }
        return bytes;
    }

    // Everything the program has sent so far, without waiting.
    QByteArray readAvailable() const { return read(1 << 16, 0); }

private:
    void pollFor(short events, int ms) const
    {
        pollfd p{m_master, events, 0};
        ::poll(&p, 1, qMax(0, ms));
    }

    void closeAll()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};
