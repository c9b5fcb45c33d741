#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class PseudoTerminal;
class QSocketNotifier;
class QTimer;

// The bench's end of a pseudo-terminal, published as a symlink. Knows whether anyone has the
// other end open: a reader that is away loses what was sent meanwhile, as on a real line,
// instead of finding a backlog of old packets when it opens the port.
class BenchLine : public QObject
{
    Q_OBJECT
public:
    enum class WriteResult {
        Written,   // the whole packet is on its way (possibly finished later)
        Dropped,   // the reader is there but its queue is full
        NoReader,  // nobody has the port open
    };

    explicit BenchLine(QObject *parent = nullptr);
    ~BenchLine() override;

    bool open(QString *error);
    // Publishes the device as `linkPath`. A dangling link to a pseudo-terminal (left by a
    // killed emulator) is replaced; anything else there is replaced only with `force`.
    bool publish(const QString &linkPath, bool force, QString *error);
    // Removes the link (if it still points here) and closes the device: the reader sees a hang-up.
    void close();

    bool isOpen() const;
    QString deviceName() const { return m_deviceName; }
    QString linkPath() const { return m_linkPath; }
    bool readerPresent() const { return m_readerPresent; }

    WriteResult write(const QByteArray &bytes);

signals:
    void received(const QByteArray &bytes);
    void readerChanged(bool present);

private:
    void readAvailable();
    void checkReader();
    void setReaderPresent(bool present);
    void unpublish();
    void discardUnread();
    bool flushPendingTail();

    std::unique_ptr<PseudoTerminal> m_terminal;
    int m_fd = -1; // its master side while open
    QString m_deviceName;
    QString m_linkPath;
    QSocketNotifier *m_readNotifier = nullptr;
    QTimer *m_readerWatch = nullptr;
    bool m_readerPresent = false;
    QByteArray m_tail;  // the rest of a packet the queue could take only in part
};
