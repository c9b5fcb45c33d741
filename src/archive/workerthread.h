#pragma once

#include <QObject>
#include <QThread>

// Deletes `worker` on its own thread, so its connections close there, and waits at most
// `msecs` for it. A server that does not answer may hold the thread longer: it then ends
// with the process.
inline void retire(QObject *worker, QThread *thread, int msecs)
{
    QMetaObject::invokeMethod(worker, [worker, thread] {
        delete worker;
        thread->quit();
    }, Qt::QueuedConnection);
    if (thread->wait(msecs))
        delete thread;
}
