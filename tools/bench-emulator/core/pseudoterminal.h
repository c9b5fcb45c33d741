#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reads and writes with a deadline on either end of a terminal line, for code that waits
// without an event loop. Both expect a descriptor opened with O_NONBLOCK.
namespace TerminalIo {

// All of `bytes`, waiting for room at most `timeoutMs`; false on an error or the time-out.
bool writeAll(int fd, const QByteArray &bytes, int timeoutMs);
// Appends to `buffer` until it holds `count` bytes, and no more: what is not asked for
// stays in the terminal's queue. False on the time-out or the end of the line.
bool readUpTo(int fd, QByteArray &buffer, qsizetype count, int timeoutMs);

} // namespace TerminalIo

// The bench's end of a pseudo-terminal: the master side, raw both ways, so that nothing
// written is echoed back or translated. The program opens the slave side as its serial
// port, through a COMn link to slaveName().
class PseudoTerminal {
public:
    enum class Slave {
        // Opened once and closed again: the master then shows a hang-up exactly while
        // nobody has the line open, before the first reader as after the last.
        Released,
        // Held open here, so that the line outlives the program's closing and reopening
        // of its port.
        Held,
    };

    explicit PseudoTerminal(Slave slave = Slave::Held);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    // Why the terminal could not be opened; empty when it is valid.
    QString errorString() const { return m_error; }
    int masterFd() const { return m_master; }
    QString slaveName() const { return m_slaveName; }

    // Makes `folder`/COM<portNum> lead to this terminal, replacing whatever was there;
    // one terminal may answer to several numbers.
    bool linkAs(const QString &folder, int portNum) const;

    // Sends to the program, waiting at most `timeoutMs` for room.
    bool write(const QByteArray &bytes, int timeoutMs = 5000) const;
    // As much of `bytes` as the line takes now, without waiting: a flood that must not
    // stall on a program that reads slowly.
    qsizetype writeSome(QByteArrayView bytes) const;
    // What the program sent: up to `count` bytes, waiting at most `timeoutMs` for them, so
    // a short answer shows in the comparison rather than as a hang.
    QByteArray read(int count, int timeoutMs = 5000) const;
    // Everything the program has sent so far, without waiting.
    QByteArray readAvailable() const { return read(1 << 16, 0); }

    // The bench goes away: the program's end sees a hang-up.
    void close();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
    QString m_error;
};
