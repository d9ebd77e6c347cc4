#pragma once

#include "base/WorkerThread.h"
#include "model/AdvancedSettings.h"
#include "model/Codecs.h"
#include "model/Job.h"
#include "model/MediaFile.h"
#include "model/RunSettings.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

// Turns the media files of a run and its encoding profile into one ffmpeg job
// per file, on a worker thread of its own. Set the inputs between Reset and
// Start; each Start makes one pass. While it runs, Running, Progress and
// currentFile may be read from any thread; the job and skipped lists are read
// once Running is false (or after Finished / waitForFinished).
class JobGenerator : public QObject {
    Q_OBJECT

public:
    explicit JobGenerator(QObject* parent = nullptr);
    ~JobGenerator() override;

    // Empties the job list and sets the path inputs back to their defaults.
    // A pass still running is stopped and waited for first.
    void reset();
    // Starts one pass; false (and nothing happens) while a pass is running.
    bool start();
    // Asks the pass to end before its next file.
    void stop();
    // Blocks until the pass has ended, for callers without an event loop;
    // false when the time ran out first. Returns at once when idle.
    bool waitForFinished(int timeoutMs = -1);

    bool running() const { return m_worker.running(); }
    int progress() const { return m_progress.load(std::memory_order_relaxed); }
    QString currentFile() const;
    // Why the last pass ended before its last file; empty when it did not.
    QString errorText() const;

    const QList<Job>& jobs() const { return m_jobs; }
    const QList<qint32>& skippedRows() const { return m_skippedRows; }

    // Inputs of the next pass.
    QString outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const QString& folder) { m_outputFolder = folder; }
    bool sameAsSource() const { return m_sameAsSource; }
    void setSameAsSource(bool value) { m_sameAsSource = value; }
    bool createFolderStruct() const { return m_createFolderStruct; }
    void setCreateFolderStruct(bool value) { m_createFolderStruct = value; }
    // A shallow copy of the caller's list; the caller keeps its own.
    void setMediaFiles(const QList<MediaFile>& files) { m_mediaFiles = files; }
    QString ffmpegPath() const { return m_ffmpegPath; }
    void setFFmpegPath(const QString& path) { m_ffmpegPath = path; }
    QString outputExt() const { return m_outputExt; }
    void setOutputExt(const QString& extension) { m_outputExt = extension; }
    const EncodingProfile& profile() const { return m_profile; }
    void setProfile(const EncodingProfile& profile) { m_profile = profile; }
    // 0 a new name, 1 overwrite, 2 skip, for an output file that exists.
    OverwriteOption overwriteOption() const { return m_overwriteOption; }
    void setOverwriteOption(OverwriteOption option) { m_overwriteOption = option; }
    bool skipLong() const { return m_skipLong; }
    void setSkipLong(bool value) { m_skipLong = value; }
    const AdvancedSettings& advancedSettings() const { return m_advancedSettings; }
    void setAdvancedSettings(const AdvancedSettings& settings) { m_advancedSettings = settings; }
    bool copyCoverArt() const { return m_copyCoverArt; }
    void setCopyCoverArt(bool value) { m_copyCoverArt = value; }

signals:
    // Emitted from the worker thread when a pass has ended; Running is false by then.
    void finished();

private:
    void run();
    void makeJobs();
    void setCurrentFile(const QString& path);

    QString m_outputFolder;
    bool m_sameAsSource = false;
    bool m_createFolderStruct = true;
    QList<MediaFile> m_mediaFiles;
    QList<Job> m_jobs;
    std::atomic<bool> m_stop{false};
    QString m_ffmpegPath;
    QString m_outputExt;
    EncodingProfile m_profile;
    OverwriteOption m_overwriteOption = OverwriteOption::NewFileName;
    QList<qint32> m_skippedRows;
    bool m_skipLong = false;
    std::atomic<int> m_progress{0};
    mutable QMutex m_lock; // guards m_currentFile and m_errorText
    QString m_currentFile;
    QString m_errorText;
    AdvancedSettings m_advancedSettings;
    bool m_copyCoverArt = false;
    WorkerThread m_worker; // last: its thread reads the members above until it returns
};
