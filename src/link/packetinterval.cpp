#include "packetinterval.h"

QString packetIntervalText(qint64 elapsedMs)
{
    if (elapsedMs < 0)
        elapsedMs = 0;
    return QStringLiteral("%1.%2").arg(elapsedMs / 1000).arg(elapsedMs % 1000, 3, 10, QLatin1Char('0'));
}

qint64 PacketIntervalClock::mark(qint64 nowMs)
{
    const qint64 elapsed = nowMs - LastPacketTime;
    LastPacketTime = nowMs;
    return elapsed;
}
