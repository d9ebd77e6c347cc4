#pragma once

#include "base/CpuUsage.h"
#include "engine/FFmpegProgressParser.h"
#include "model/RowState.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ConsoleRunner;
class EncoderSlotOwner;
struct Job;

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
class EncoderSlot : public QObject {
    Q_OBJECT
public:
    EncoderSlot(int slotIndex, EncoderSlotOwner& owner, QObject* parent = nullptr);
    ~EncoderSlot() override;

    // Set by the owner before Start.
    void setFFmpegPath(const QString& path) { m_ffmpegPath = path; }
    void setDeleteUnfinished(bool on) { m_deleteUnfinished = on; } // "When stopped, delete unfinished files"
    void setEmbedCoverArt(bool on) { m_embedCoverArt = on; }       // "Copy cover art from source"
    void setCoverArtWriterPath(const QString& path) { m_coverArtWriterPath = path; }

    void reset();
    // Takes the first job; without one the slot is idle at once.
    void start();
    // Ends the current job as "Stopped by user"; the slot takes no further job.
    // The end arrives later, as for any other job.
    void stop();

    int slotIndex() const { return m_slotIndex; }
    bool running() const { return m_running; }
    int progress() const { return m_progress; }
    int currentFileListIndex() const { return m_currentFileListIndex; }
    bool stoppedByUser() const { return m_stoppedByUser; }
    const FFmpegProgress& ffmpegProgress() const { return m_ffmpegProgress; }
    float cpuUsage() const { return m_cpuUsage; }
    QString consoleOutput() const { return m_consoleOutput; } // the latest line ffmpeg wrote

signals:
    // The slot has become idle (queue empty, or stopped).
    void finished(EncoderSlot* encoder);

private:
    void startEncode();
    void processRead(const QString& line);
    void processTerminate(quint32 exitCode);
    void coverArtTerminate(quint32 exitCode);
    void completeConvertedJob(quint32 coverArtExitCode);
    void finishJob(JobOutcome outcome);
    void takeNextJob();
    void writeBackendOutputToDisk();
    void discardTemporaryOutput();
    bool moveTemporaryOutputToDestination();

    int m_slotIndex = 0;
    EncoderSlotOwner& m_owner;
    bool m_running = false;
    int m_progress = -1;
    int m_currentFileListIndex = -1;
    const Job* m_currentJob = nullptr;
    ConsoleRunner* m_process = nullptr;
    ConsoleRunner* m_coverArtProcess = nullptr;
    FFmpegProgress m_ffmpegProgress;
    bool m_stoppedByUser = false;
    QString m_consoleOutput;
    QString m_ffmpegPath;
    CpuUsageCounter m_counter;
    float m_cpuUsage = 0;
    bool m_deleteUnfinished = false;
    bool m_embedCoverArt = false;
    QString m_coverArtWriterPath;
    QString m_temporaryOutputPath; // where ffmpeg writes the current job
    bool m_coverArtAborted = false;
};
