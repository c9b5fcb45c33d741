#pragma once

#include "commandparser.h"
#include "emulatoroptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

class BenchLine;

// Plays the measuring unit on `line`: signal packets at the chosen rate, resistance
// packets instead while a resistance measurement runs, the faults asked for, and a log
// of what the program sends.
class BenchEmulator : public QObject
{
    Q_OBJECT
public:
    BenchEmulator(const EmulatorOptions &options, BenchLine *line, QObject *parent = nullptr);

    // Builds the packets and opens the log; nothing is sent yet.
    bool prepare(QString *error);
    void start();

    qint64 packetsSent() const { return m_sent; }
    qint64 packetsDropped() const { return m_dropped; }
    // Seconds from the first packet offered to a reader to the last one written.
    double sendingSeconds() const;
    // Writes what was sent to the --report file, if one was asked for; false if it cannot.
    bool writeReport(QString *error) const;

signals:
    void finished(int exitCode);

private:
    void tick();
    void send(qint64 owed);
    qint64 durationPackets() const;  // what --duration makes due
    void received(const QByteArray &bytes);
    void readerChanged(bool present);
    void handle(const QList<BenchCommand> &commands);
    void closeLine();
    bool silentNow() const;
    QByteArray garbage();

    EmulatorOptions m_options;
    BenchLine *m_line;
    QByteArray m_signalPacket;
    QByteArray m_resistancePacket;
    CommandParser m_parser;
    QTimer m_tick;
    QTimer m_lineIdle;
    QElapsedTimer m_clock;
    // Paces by the clock, not by the timer: the packets due are rate x time since the
    // reader came, so a late tick sends what it owes and the rate holds on average.
    QElapsedTimer m_paceClock;
    qint64 m_offered = 0;       // packets due so far in this reader's session
    qint64 m_firstSentNs = -1;  // m_clock times of the first and the last packet written
    qint64 m_lastSentNs = -1;
    QFile m_log;
    QRandomGenerator m_random;
    qint64 m_sent = 0;
    qint64 m_dropped = 0;
    bool m_measuring = false;
    bool m_silent = false;
    bool m_countReached = false;
};

// One line on standard error, prefixed with the program's name.
void note(const QString &text);
