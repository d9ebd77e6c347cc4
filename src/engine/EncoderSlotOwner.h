#pragma once

#include "engine/FFmpegProgressParser.h"

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
    virtual bool nextJob(const Job*& commandLine) = 0;
    // Row state icon: 1 converting, 2 done, 3 failed, 4 stopped or cover art failed.
    virtual void updateFileListItemState(int itemIndex, int stateIndex) = 0;
    virtual void updateListItemProgress(int itemIndex, const FFmpegProgress& ffmpegProgress) = 0;
    virtual void updateListItemProgressEx(int itemIndex, const QString& msg) = 0;
    // The row failed; the owner counts it and shows "Error".
    virtual void markAsError(int itemIndex, const QString& commandLine, const QString& errorData,
                             int ExitCode) = 0;
    // Called exactly once for every job the slot took, whatever its outcome.
    virtual void increaseTotalProgress(int itemIndex, int stateIndex) = 0;
    // Where console dumps of finished jobs go.
    virtual QString backendOutputFolderPath() const = 0;
};
