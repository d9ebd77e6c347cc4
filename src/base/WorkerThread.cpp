#include "base/WorkerThread.h"

#include <QDeadlineTimer>
#include <QThread>

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() {
    wait();
}

void WorkerThread::start(const QString& threadName, std::function<void()> run, std::function<void()> ended) {
    wait();
    m_running.store(true, std::memory_order_release);
    m_thread.reset(QThread::create([this, run = std::move(run), ended = std::move(ended)] {
        run();
        m_running.store(false, std::memory_order_release);
        ended();
    }));
    m_thread->setObjectName(threadName);
    m_thread->start();
}

bool WorkerThread::wait(int msecs) {
    if (!m_thread)
        return true;
    return m_thread->wait(msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(msecs));
}
