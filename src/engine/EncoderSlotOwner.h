#pragma once

#include "engine/FFmpegProgressParser.h"
#include "model/RowState.h"

#include <QString>

struct Job;

// What an encoder slot needs from whoever owns the run: the main window or the
// command-line front end. Every call arrives on the main thread, from inside the
// slot's own handling: an owner that wants to release a slot from one of these
// calls uses deleteLater().
class EncoderSlotOwner {
public:
    virtual ~EncoderSlotOwner() = default;

    // The next job of the shared queue in list order, or false when the queue is
    // empty. The job stays owned by the owner and must outlive the slot's use of it.
    virtual bool nextJob(const Job*& job) = 0;
    // The slot has started ffmpeg for the job of the row.
    virtual void jobStarted(int row) = 0;
    virtual void jobProgress(int row, const FFmpegProgress& progress) = 0;
    // A text for the row: "Done", "Stopped by user", "Artwork write failed".
    virtual void jobMessage(int row, const QString& text) = 0;
    // The job failed; the owner counts it and shows "Error".
    virtual void jobFailed(int row, const QString& commandLine, const QString& consoleOutput,
                           int exitCode) = 0;
    // Called exactly once for every job the slot took, whatever its outcome.
    virtual void jobFinished(int row, JobOutcome outcome) = 0;
    // Where console dumps of finished jobs go.
    virtual QString backendOutputFolderPath() const = 0;
};
