#pragma once

#include "engine/FFMpegProgressParser.h"

#include <QString>

struct TFFmpegCommandLine;

// What an encoder slot needs from whoever owns the run: the main window or the
// command-line front end. Every call arrives on the main thread, from inside the
// slot's own handling: an owner that wants to release a slot from one of these
// calls uses deleteLater().
class TEncoderOwner {
public:
    virtual ~TEncoderOwner() = default;

    // The next job of the shared queue in list order, or false when the queue is
    // empty. The job stays owned by the owner and must outlive the slot's use of it.
    virtual bool GetNextCommandline(const TFFmpegCommandLine*& CommandLine) = 0;
    // Row state icon: 1 converting, 2 done, 3 failed, 4 stopped or cover art failed.
    virtual void UpdateFileListItemState(int ItemIndex, int StateIndex) = 0;
    virtual void UpdateListItemProgress(int ItemIndex, const TFFMpegProgressInfo& FFMpegProgress) = 0;
    virtual void UpdateListItemProgressEx(int ItemIndex, const QString& Msg) = 0;
    // The row failed; the owner counts it and shows "Error".
    virtual void MarkAsError(int ItemIndex, const QString& CommandLine, const QString& ErrorData,
                             int ExitCode) = 0;
    // Called exactly once for every job the slot took, whatever its outcome.
    virtual void IncreaseTotalProgress(int ItemIndex, int StateIndex) = 0;
    // Where console dumps of finished jobs go.
    virtual QString BackendOutputFolderPath() const = 0;
};
