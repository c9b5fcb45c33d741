#pragma once

#include <QString>

// The time between two packets as the operator reads it: whole seconds, a full stop and
// the milliseconds as three digits ("2.005", "61.200"). A negative span shows as zero.
QString packetIntervalText(qint64 elapsedMs);

// Remembers when the last complete packet came (`LastPacketTime`) on a monotonic
// millisecond clock, so that setting the wall clock never shows a jump or a negative
// interval. The clock's zero is the moment the link was created, so the first packet
// shows the time since then rather than a meaningless span since some epoch.
class PacketIntervalClock {
public:
    // Milliseconds since the previous mark (or since zero), then marks `nowMs`.
    qint64 mark(qint64 nowMs);
    qint64 LastPacketTime = 0;
};
