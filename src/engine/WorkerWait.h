#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Waits on the main thread for a worker (probe, folder lister, command-line
// generator) while the event loop keeps running, so the window paints and its
// abort button works. The worker's Finished signal ends the wait at once; the
// abort flag and the worker's running flag are looked at every pollMs.
// Returns false when the wait ended because of the abort flag.
template <typename Worker> bool waitForWorker(Worker& worker, const bool& aborted, int pollMs) {
    if (!worker.running())
        return true;
    QEventLoop loop;
    QObject::connect(&worker, &Worker::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!worker.running() || aborted)
            loop.quit();
    });
    poll.start();
    while (worker.running() && !aborted)
        loop.exec();
    return !aborted;
}
