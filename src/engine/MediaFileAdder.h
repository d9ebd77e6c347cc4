#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class TConversionEngine;
class TFileInfoThread;

// What the adding code takes from the settings.
struct TAddSettings {
    QString IgnoredTypes;      // extensions never added, ";" separated, blanks kept
    QString AddOnlyTypes;      // when not empty, folders give only these extensions
    QString PreferredLanguage; // the preferred audio-stream language, e.g. "ger"
    // Dropped or given folders normally ignore the add-only list; velmo-convert
    // applies it there, since folders are its only way to add many files.
    bool AddOnlyForGivenFolders = false;
};

// Adds files to the engine's list: every file is probed first (on the probe's
// worker) and listed only when it has an audio stream. Progress goes out through
// the progress-dialog signals; Abort ends an operation early and keeps what was
// added so far.
class TMediaFileAdder : public QObject {
    Q_OBJECT
public:
    enum class TAddStatus { Added, Aborted, Failed };
    struct TAddResult {
        TAddStatus Status = TAddStatus::Failed;
        QString Error;
    };

    static const QStringList AudioExtensions; // 29 entries, ".mpc" and ".aac" twice
    static const QStringList VideoExtensions; // 18 entries

    TMediaFileAdder(TConversionEngine& engine, const QString& tempCoverArtFolder, QObject* parent = nullptr);
    ~TMediaFileAdder() override;

    void SetSettings(const TAddSettings& settings) { FSettings = settings; }
    const TAddSettings& Settings() const { return FSettings; }

    // Probes one file and lists it.
    TAddResult AddMediaFile(const QString& path);
    // True when the extension (any case) is one of the audio or video extensions.
    static bool HasMediaExtension(const QString& path);

    // "Add Files": the chosen files, without the extension gate.
    void AddFiles(const QStringList& files);
    // "Add Folder" (its own files) and "Add Folder with Sub-Folders".
    void AddFolder(const QString& folder, bool withSubFolders);
    // Dropped files and folders, and the paths given on the command line. Ignored
    // while another add operation runs.
    void AddPaths(const QStringList& paths);

    // The progress dialog's abort button.
    void Abort() { FProgressStopped = true; }
    bool IsBusy() const { return FBusy; }
    bool WasAborted() const { return FProgressStopped; }

    QString LastOpenedDirectory() const { return FLastOpenedDirectory; }
    void SetLastOpenedDirectory(const QString& folder) { FLastOpenedDirectory = folder; }

    // Counts of the last operation.
    int AddedCount() const { return FAddedCount; }
    int FailedCount() const { return FFailedCount; }

signals:
    void ProgressDialogShown(const QString& stateText, bool abortEnabled, const QString& message);
    void ProgressDialogMessageChanged(const QString& message);
    void ProgressDialogBarChanged(int maximum, int position);
    void ProgressDialogHidden();
    // A file could not be added; the error is in the window log as well.
    void FileFailed(const QString& path, const QString& error);
    // An add operation ended: the window saves its settings (when asked), shows the
    // summary and, when a file failed, the log window.
    void Finished(int addedCount, int failedCount, bool saveSettings);

private:
    void BeginOperation(const QString& stateText);
    void EndOperation(bool saveSettings);
    void Count(const TAddResult& result, const QString& path);
    void AddThroughGate(const QString& path);
    // The files below a folder, listed by a folder lister; empty when aborted.
    QStringList ListFolder(const QString& folder, const QString& addOnlyTypes);
    bool WaitForProbe();

    TConversionEngine& FEngine;
    std::unique_ptr<TFileInfoThread> FFileInfoReader;
    TAddSettings FSettings;
    QString FLastOpenedDirectory;
    bool FProgressStopped = false;
    bool FBusy = false;
    int FAddedCount = 0;
    int FFailedCount = 0;
    QElapsedTimer FStartTime;
};
