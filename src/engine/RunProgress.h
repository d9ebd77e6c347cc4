#pragma once

#include <QString>

// The counters and the time estimate of one conversion run. Plain bookkeeping so
// that the window and the command-line front end show the same figures.
class TRunProgress {
public:
    // A new run of commandLineCount jobs over listed audio of totalListTime milliseconds
    // (skipped files included, so the estimate scales by all listed audio).
    void Reset(qint32 commandLineCount, qint64 totalListTime);

    // The once-a-second tick: the elapsed time grows and the remaining time counts down.
    void Tick();
    // One job finished, whatever the outcome; durationMs is its selected stream's length.
    void FileFinished(qint64 durationMs);
    void FileFailed() { ++FTotalFailedCount; }

    bool IsComplete() const { return FTotalProgressCount >= FTotalCommandLineCount; }

    qint32 TotalCommandLineCount() const { return FTotalCommandLineCount; }
    qint32 TotalProgressCount() const { return FTotalProgressCount; }
    qint32 TotalRemainingCount() const { return FTotalRemainingCount; }
    qint32 TotalFailedCount() const { return FTotalFailedCount; }
    qint32 SuccessCount() const { return FTotalProgressCount - FTotalFailedCount; }
    qint32 Percent() const;
    qint64 PassedTime() const { return FPassedTime; }
    qint64 RemainingTime() const { return FRemainingTime; }

    // "Progress: 50% Done: 1 Success: 1 Error: 0 Remaining: 1"
    QString ProgressText() const;
    // "Time: 00:01:00 Remaing: 00:03:00"
    QString TimeText() const;

private:
    qint32 FTotalCommandLineCount = 0;
    qint32 FTotalProgressCount = 0;
    qint32 FTotalRemainingCount = 0;
    qint32 FTotalFailedCount = 0;
    qint64 FTotalListTime = 0; // milliseconds
    qint64 FPassedTime = 0;    // seconds
    qint64 FConvertedTime = 0; // milliseconds
    qint64 FTotalTime = 0;     // seconds
    qint64 FRemainingTime = 0; // seconds
};
