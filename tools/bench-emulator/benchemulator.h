#pragma once

#include "commandparser.h"
#include "emulatoroptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

class PseudoTerminal;

// Plays the measuring unit on `line`: signal packets at the chosen rate, resistance
// packets instead while a resistance measurement runs, the faults asked for, and a log
// of what the program sends.
class BenchEmulator : public QObject
{
    Q_OBJECT
public:
    BenchEmulator(const EmulatorOptions &options, PseudoTerminal *line, QObject *parent = nullptr);

    // Builds the packets and opens the log; nothing is sent yet.
    bool prepare(QString *error);
    void start();

    qint64 packetsSent() const { return m_sent; }
    qint64 packetsDropped() const { return m_dropped; }

signals:
    void finished(int exitCode);

private:
    void tick();
    void received(const QByteArray &bytes);
    void readerChanged(bool present);
    void handle(const QList<BenchCommand> &commands);
    void closeLine();
    bool silentNow() const;
    QByteArray garbage();

    EmulatorOptions m_options;
    PseudoTerminal *m_line;
    QByteArray m_signalPacket;
    QByteArray m_resistancePacket;
    CommandParser m_parser;
    QTimer m_tick;
    QTimer m_lineIdle;
    QElapsedTimer m_clock;
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
