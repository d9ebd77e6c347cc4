#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class FileListModel;
class LogModel;
class ProbeWorker;

// What the adding code takes from the settings.
struct AddSettings {
    QString ignoredTypes;      // extensions never added, ";" separated, blanks kept
    QString addOnlyTypes;      // when not empty, folders give only these extensions
    QString preferredLanguage; // the preferred audio-stream language, e.g. "ger"
    // Dropped or given folders normally ignore the add-only list; velmo-convert
    // applies it there, since folders are its only way to add many files.
    bool addOnlyForGivenFolders = false;
};

// Adds files to the file list: every file is probed first (on the probe's
// worker) and listed only when it has an audio stream. Progress goes out through
// the progress-dialog signals; Abort ends an operation early and keeps what was
// added so far.
class FileAdder : public QObject {
    Q_OBJECT
public:
    enum class AddStatus { Added, Aborted, Failed };
    struct AddResult {
        AddStatus status = AddStatus::Failed;
        QString error;
    };

    static const QStringList AudioExtensions; // 29 entries, ".mpc" and ".aac" twice
    static const QStringList VideoExtensions; // 18 entries

    FileAdder(FileListModel& files, LogModel& log, const QString& tempCoverArtFolder,
              QObject* parent = nullptr);
    ~FileAdder() override;

    void setSettings(const AddSettings& settings) { m_settings = settings; }
    const AddSettings& settings() const { return m_settings; }

    // Probes one file and lists it.
    AddResult addMediaFile(const QString& path);
    // True when the extension (any case) is one of the audio or video extensions.
    static bool hasMediaExtension(const QString& path);

    // "Add Files": the chosen files, without the extension gate.
    void addFiles(const QStringList& files);
    // "Add Folder" (its own files) and "Add Folder with Sub-Folders".
    void addFolder(const QString& folder, bool withSubFolders);
    // Dropped files and folders, and the paths given on the command line. Ignored
    // while another add operation runs.
    void addPaths(const QStringList& paths);

    // The progress dialog's abort button.
    void abort() { m_progressStopped = true; }
    bool isBusy() const { return m_busy; }
    bool wasAborted() const { return m_progressStopped; }

    QString lastOpenedDirectory() const { return m_lastOpenedDirectory; }
    void setLastOpenedDirectory(const QString& folder) { m_lastOpenedDirectory = folder; }

    // Counts of the last operation.
    int addedCount() const { return m_addedCount; }
    int failedCount() const { return m_failedCount; }

signals:
    // An add operation runs: a front end shows a dialog with an abort button, or a status line.
    void busyStarted(const QString& stateText, bool abortable, const QString& message);
    void busyMessageChanged(const QString& message);
    void busyProgressChanged(int maximum, int value);
    void busyEnded();
    // A file could not be added; the error is in the window log as well.
    void fileFailed(const QString& path, const QString& error);
    // An add operation ended: the window saves its settings (when asked), shows the
    // summary and, when a file failed, the log window.
    void finished(int addedCount, int failedCount, bool saveSettings);

private:
    void beginOperation(const QString& stateText);
    void endOperation(bool saveSettings);
    void countResult(const AddResult& result, const QString& path);
    void addThroughGate(const QString& path);
    // The files below a folder, listed by a folder lister; empty when aborted.
    QStringList listFolder(const QString& folder, const QString& addOnlyTypes);
    bool waitForProbe();

    FileListModel& m_files;
    LogModel& m_log;
    std::unique_ptr<ProbeWorker> m_fileInfoReader;
    AddSettings m_settings;
    QString m_lastOpenedDirectory;
    bool m_progressStopped = false;
    bool m_busy = false;
    int m_addedCount = 0;
    int m_failedCount = 0;
    QElapsedTimer m_startTime;
};
