#pragma once

#include <QObject>
#include <QThread>

#include <algorithm>
#include <mutex>
#include <vector>

// Threads let go while still busy (a server that does not answer, a file another program
// holds): kept here until they have ended, then deleted by a later retire(); one still
// busy at the end ends with the process.
struct AbandonedThreads {
    std::mutex mutex;
    std::vector<QThread *> threads;

    // Never destroyed: a thread still busy at the end is still known then.
    static AbandonedThreads &instance()
    {
        static AbandonedThreads *kept = new AbandonedThreads;
        return *kept;
    }
};

// Deletes `worker` on its own thread, so its connections close there, and waits at most
// `msecs` for it.
inline void retire(QObject *worker, QThread *thread, int msecs)
{
    QMetaObject::invokeMethod(worker, [worker, thread] {
        delete worker;
        thread->quit();
    }, Qt::QueuedConnection);
    AbandonedThreads &abandoned = AbandonedThreads::instance();
    {
        std::lock_guard lock(abandoned.mutex);
        std::erase_if(abandoned.threads, [](QThread *old) {
            if (!old->isFinished())
                return false;
            old->wait();
            delete old;
            return true;
        });
    }
    if (thread->wait(msecs)) {
        delete thread;
        return;
    }
    std::lock_guard lock(abandoned.mutex);
    abandoned.threads.push_back(thread);
}
