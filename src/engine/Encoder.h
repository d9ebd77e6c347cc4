#pragma once

#include "base/CPUUsage.h"
#include "engine/FFMpegProgressParser.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TConsoleRunner;
class TEncoderOwner;
struct TFFmpegCommandLine;

// One encoder slot: runs the jobs of a conversion run one after another with
// ffmpeg, reports each job's progress and outcome to its owner and takes the
// next job until the owner's queue is empty or the slot is stopped. Everything
// happens on the main thread in reaction to the runner's signals; nothing here
// blocks it.
//
// ffmpeg writes into a hidden temporary file beside the destination (same
// extension, so ffmpeg picks the same format) that becomes the destination only
// when the conversion and the cover art are done. A failed job therefore leaves
// nothing behind and never touches an existing destination.
class TEncoder : public QObject {
    Q_OBJECT
public:
    // Row states reported through IncreaseTotalProgress.
    enum : int { StateConverting = 1, StateDone = 2, StateFailed = 3, StateStopped = 4 };

    TEncoder(int ThreadIndex, TEncoderOwner& owner, QObject* parent = nullptr);
    ~TEncoder() override;

    // Set by the owner before Start.
    void SetFFmpegPath(const QString& path) { FFFMpegPath = path; }
    void SetDelUnfinished(bool on) { FDelUnfinished = on; } // "When stopped, delete unfinished files"
    void SetEmbeddArtwork(bool on) { FEmbeddArtwork = on; } // "Copy cover art from source"
    void SetCoverArtWriterPath(const QString& path) { FCoverArtWriterPath = path; }

    void Reset();
    // Takes the first job; without one the slot is idle at once.
    void Start();
    // Ends the current job as "Stopped by user"; the slot takes no further job.
    // The end arrives later, as for any other job.
    void Stop();

    int ThreadIndex() const { return FThreadIndex; }
    bool Running() const { return FRunning; }
    int Progress() const { return FProgress; }
    int CurrentFileListIndex() const { return FCurrentFileListIndex; }
    bool StoppedByUser() const { return FStoppedByUser; }
    const TFFMpegProgressInfo& FFMpegProgress() const { return FFFMpegProgress; }
    float CPUUsage() const { return FCPUUsage; }
    QString ConsoleOutput() const { return FConsoleOutput; } // the latest line ffmpeg wrote

signals:
    // The slot has become idle (queue empty, or stopped).
    void Finished(TEncoder* encoder);

private:
    void StartEncode();
    void ProcessRead(const QString& line);
    void ProcessTerminate(quint32 exitCode);
    void CoverArtTerminate(quint32 exitCode);
    void CompleteConvertedJob(quint32 coverArtExitCode);
    void FinishJob(int state);
    void TakeNextJob();
    void WriteBackendOutputToDisk();
    void DiscardTemporaryOutput();
    bool MoveTemporaryOutputToDestination();

    int FThreadIndex = 0;
    TEncoderOwner& FOwner;
    bool FRunning = false;
    int FProgress = -1;
    int FCurrentFileListIndex = -1;
    const TFFmpegCommandLine* FCurrentFFMpegCommandLine = nullptr;
    TConsoleRunner* FProcess = nullptr;
    TConsoleRunner* FCoverArtProcess = nullptr;
    TFFMpegProgressInfo FFFMpegProgress;
    bool FStoppedByUser = false;
    QString FConsoleOutput;
    QString FFFMpegPath;
    TCPUUsageCounter FCounter;
    float FCPUUsage = 0;
    bool FDelUnfinished = false;
    bool FEmbeddArtwork = false;
    QString FCoverArtWriterPath;
    QString FTemporaryOutputPath; // where ffmpeg writes the current job
    bool FCoverArtAborted = false;
};
