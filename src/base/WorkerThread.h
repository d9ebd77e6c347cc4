#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// One run at a time of a function on a thread of its own, with the running
// flag the owner's callers poll. The flag turns true before the thread starts,
// so a caller that asks at once never sees a stale false, and turns false with
// release ordering only after the function has returned, so everything the run
// wrote is visible to a caller that reads false. The owner keeps its own
// finished signal and emits it from `ended`, which runs on the worker thread
// right after the flag has turned false.
class WorkerThread {
public:
    WorkerThread();
    // Waits for a run still going.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Waits for the previous run's thread to return, then starts `run` on a new
    // thread with the given name. Returns at once.
    void start(const QString& threadName, std::function<void()> run, std::function<void()> ended);
    bool running() const { return m_running.load(std::memory_order_acquire); }
    // Blocks until the current run's thread has returned; false when msecs passed first.
    bool wait(int msecs = -1);

private:
    std::atomic<bool> m_running{false};
    std::unique_ptr<QThread> m_thread;
};
