#pragma once

#include "model/AdvancedSettings.h"
#include "model/Codecs.h"
#include "model/FFmpegCommandLine.h"
#include "model/MediaFile.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// Turns the media files of a run and its encoding profile into one ffmpeg job
// per file, on a worker thread of its own. Set the inputs between Reset and
// Start; each Start makes one pass. While it runs, Running, Progress and
// CurrentFile may be read from any thread; the job and skipped lists are read
// once Running is false (or after Finished / WaitForFinished).
class TFFmpegCommandLineGenerator : public QObject {
    Q_OBJECT

public:
    explicit TFFmpegCommandLineGenerator(QObject* parent = nullptr);
    ~TFFmpegCommandLineGenerator() override;

    // Empties the job list and sets the path inputs back to their defaults.
    // A pass still running is stopped and waited for first.
    void Reset();
    // Starts one pass; false (and nothing happens) while a pass is running.
    bool Start();
    // Asks the pass to end before its next file.
    void Stop();
    // Blocks until the pass has ended, for callers without an event loop;
    // false when the time ran out first. Returns at once when idle.
    bool WaitForFinished(int timeoutMs = -1);

    bool Running() const { return FRunning.load(std::memory_order_acquire); }
    int Progress() const { return FProgress.load(std::memory_order_relaxed); }
    QString CurrentFile() const;
    // Why the last pass ended before its last file; empty when it did not.
    QString ErrorText() const;

    const QList<TFFmpegCommandLine>& FFmpegCommandLines() const { return FFFmpegCommandLines; }
    const QList<qint32>& SkippedFileIndex() const { return FSkippedFileIndex; }

    // Inputs of the next pass.
    QString OutputFolder() const { return FOutputFolder; }
    void SetOutputFolder(const QString& folder) { FOutputFolder = folder; }
    bool SameAsSource() const { return FSameAsSource; }
    void SetSameAsSource(bool value) { FSameAsSource = value; }
    bool CreateFolderStruct() const { return FCreateFolderStruct; }
    void SetCreateFolderStruct(bool value) { FCreateFolderStruct = value; }
    // A shallow copy of the caller's list; the caller keeps its own.
    void SetMediaFiles(const QList<TMediaFile>& files) { FMediaFiles = files; }
    QString FFMpegPath() const { return FFFMpegPath; }
    void SetFFMpegPath(const QString& path) { FFFMpegPath = path; }
    int ThreadCount() const { return FThreadCount; }
    void SetThreadCount(int count) { FThreadCount = count; }
    QString OutputExt() const { return FOutputExt; }
    void SetOutputExt(const QString& extension) { FOutputExt = extension; }
    const TEncodingProfile& Profile() const { return FProfile; }
    void SetProfile(const TEncodingProfile& profile) { FProfile = profile; }
    // 0 a new name, 1 overwrite, 2 skip, for an output file that exists.
    int OverwriteOption() const { return FOverwriteOption; }
    void SetOverwriteOption(int option) { FOverwriteOption = option; }
    bool SkipLong() const { return FSkipLong; }
    void SetSkipLong(bool value) { FSkipLong = value; }
    const TAdvancedSettings& AdvancedSettings() const { return FAdvancedSettings; }
    void SetAdvancedSettings(const TAdvancedSettings& settings) { FAdvancedSettings = settings; }
    bool CopyCoverAart() const { return FCopyCoverAart; }
    void SetCopyCoverAart(bool value) { FCopyCoverAart = value; }

signals:
    // Emitted from the worker thread when a pass has ended; Running is false by then.
    void Finished();

private:
    void IdThreadRun();
    void MakeJobs();
    void SetCurrentFile(const QString& path);

    std::unique_ptr<QThread> FThread;
    QString FOutputFolder;
    bool FSameAsSource = false;
    bool FCreateFolderStruct = true;
    QList<TMediaFile> FMediaFiles;
    QList<TFFmpegCommandLine> FFFmpegCommandLines;
    std::atomic<bool> FRunning{false};
    std::atomic<bool> FStop{false};
    QString FFFMpegPath;
    int FThreadCount = 1;
    QString FOutputExt;
    TEncodingProfile FProfile;
    int FOverwriteOption = 0;
    QList<qint32> FSkippedFileIndex;
    bool FSkipLong = false;
    std::atomic<int> FProgress{0};
    mutable QMutex FLock; // guards FCurrentFile and FErrorText
    QString FCurrentFile;
    QString FErrorText;
    TAdvancedSettings FAdvancedSettings;
    bool FCopyCoverAart = false;
};
