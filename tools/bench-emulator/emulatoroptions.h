#pragma once

#include "benchpackets.h"

#include <QString>
#include <QStringList>

#include <bit>
#include <optional>

// Everything the command line decides.
struct EmulatorOptions {
    int port = 10;
    QString folder;
    bool force = false;
    double rate = 10;  // packets per second; 1724 fill a 1 Mbit/s line
    QString presetName;
    SignalValues values;
    InstrumentRatios ratios;
    // Bit pattern of the IEEE single streamed as ohms, kept as bits so that a signalling
    // not-a-number reaches the line unchanged. 5.92 ohms: line to line of the 10 kV winding.
    quint32 resistanceBits = std::bit_cast<quint32>(5.92f);
    int badCrcEvery = 0;
    int garbageEvery = 0;
    std::optional<quint32> seed;
    double silenceAfter = -1;  // seconds; < 0: never
    double silenceFor = -1;    // seconds; < 0: for good
    double closeAfter = -1;    // seconds; < 0: never
    QString logFile;
    QString reportFile;        // what was sent, written on the way out
    qint64 count = 0;          // 0: no limit
    double duration = 0;       // seconds of sending from the port's opening; 0: no limit
};

struct ParsedOptions {
    std::optional<EmulatorOptions> options;  // empty: stop with `exitCode`
    int exitCode = 0;
    QString output;                          // help, version or preset list (stdout)
    QString error;                           // usage error (stderr)
};

// `arguments` includes the program name. `defaultFolder` is where COMn goes without --dir.
ParsedOptions parseEmulatorOptions(const QStringList &arguments, const QString &defaultFolder);
