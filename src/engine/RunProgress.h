#pragma once

#include <QString>

// The counters and the time estimate of one conversion run. Plain bookkeeping so
// that the window and the command-line front end show the same figures.
class RunProgress {
public:
    // A new run of commandLineCount jobs over listed audio of totalListTime milliseconds
    // (skipped files included, so the estimate scales by all listed audio).
    void reset(qint32 commandLineCount, qint64 totalListTime);

    // The once-a-second tick: the elapsed time grows and the remaining time counts down.
    void tick();
    // One job finished, whatever the outcome; durationMs is its selected stream's length.
    void fileFinished(qint64 durationMs);
    void fileFailed() { ++m_totalFailedCount; }

    bool isComplete() const { return m_totalProgressCount >= m_totalCommandLineCount; }

    qint32 totalCommandLineCount() const { return m_totalCommandLineCount; }
    qint32 totalProgressCount() const { return m_totalProgressCount; }
    qint32 totalRemainingCount() const { return m_totalRemainingCount; }
    qint32 totalFailedCount() const { return m_totalFailedCount; }
    qint32 successCount() const { return m_totalProgressCount - m_totalFailedCount; }
    qint32 percent() const;
    qint64 passedTime() const { return m_passedTime; }
    qint64 remainingTime() const { return m_remainingTime; }

    // "Progress: 50% Done: 1 Success: 1 Error: 0 Remaining: 1"
    QString progressText() const;
    // "Time: 00:01:00 Remaing: 00:03:00"
    QString timeText() const;

private:
    qint32 m_totalCommandLineCount = 0;
    qint32 m_totalProgressCount = 0;
    qint32 m_totalRemainingCount = 0;
    qint32 m_totalFailedCount = 0;
    qint64 m_totalListTime = 0; // milliseconds
    qint64 m_passedTime = 0;    // seconds
    qint64 m_convertedTime = 0; // milliseconds
    qint64 m_totalTime = 0;     // seconds
    qint64 m_remainingTime = 0; // seconds
};
