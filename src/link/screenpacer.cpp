#include "screenpacer.h"

qint64 ScreenPacer::changed(qint64 now)
{
    if (m_scheduled)
        return -1;
    const qint64 since = now - m_lastWrite;
    // A clock that went back is treated as a quiet spell rather than a long wait.
    if (!m_written || since >= m_interval || since < 0)
        return 0;
    m_scheduled = true;
    return m_interval - since;
}

void ScreenPacer::written(qint64 now)
{
    m_lastWrite = now;
    m_written = true;
    m_scheduled = false;
}
