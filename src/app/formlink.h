#pragma once

#include "linkreceiver.h"
#include "main.h"
#include "screenpacer.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// State of the bench link kept by the main window: the framer with its buffer, the
// packet counters and the interval clock, and what paces the screen.
struct TForm1::LinkState {
    LinkReceiver receiver;

    // What the packets decoded since the screen was last written would show.
    LinkUpdate pending;
    bool hasPending = false;
    ScreenPacer pacer;
    QTimer screenTimer; // writes `pending` when the pacer says so
    QTimer quietTimer;  // a waiting packet is taken when the line stays quiet this long
    QElapsedTimer clockSource;
    // Monotonic milliseconds; tests put a clock of their own here.
    std::function<qint64()> clock = [this] { return clockSource.elapsed(); };

    static constexpr int QuietLineMs = 50;
};
