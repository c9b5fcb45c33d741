#pragma once

#include <QtGlobal>

// Paces the writing of the live readouts: every packet is decoded, but the screen is
// written at most once per interval, with the latest values. A change after a quiet
// spell is written at once; one that comes sooner waits for the rest of the interval,
// so nothing shown is older than one interval. Times are monotonic milliseconds from
// any clock, so the pacing is tested without waiting.
class ScreenPacer {
public:
    static constexpr qint64 DefaultIntervalMs = 33; // about 30 writes a second

    explicit ScreenPacer(qint64 intervalMs = DefaultIntervalMs) : m_interval(intervalMs) {}

    // A change has come at `now`. Returns 0 when it is to be written now, the delay in ms
    // after which the pending changes are to be written, or -1 when a write is already
    // scheduled (the change joins it).
    qint64 changed(qint64 now);
    // The screen was written at `now`.
    void written(qint64 now);
    // Nothing waits any more (what was pending has been dropped).
    void cancel() { m_scheduled = false; }

    bool scheduled() const { return m_scheduled; }
    qint64 interval() const { return m_interval; }

private:
    qint64 m_interval;
    qint64 m_lastWrite = 0;
    bool m_written = false;
    bool m_scheduled = false;
};
