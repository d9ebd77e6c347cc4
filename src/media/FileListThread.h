#pragma once

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

// Turns a folder into the flat list of the files below it, on a worker thread.
// A folder's own files come before those of its sub-folders; each sub-folder is
// walked completely before the next, in the order the file system lists them.
// A folder reached twice (through a symbolic link to an ancestor or a second
// link to the same folder) is walked only the first time.
class TFileListThread : public QObject {
    Q_OBJECT

public:
    enum ExitCodes { ecComplete = 0, ecStopped = 1, ecFolderMissing = 2 };

    explicit TFileListThread(QObject* parent = nullptr);
    // Waits for a walk still going; set Stop first to make that quick.
    ~TFileListThread() override;

    QString Folder() const { return FFolder; }
    void SetFolder(const QString& folder) { FFolder = folder; }
    // Extensions without a dot, separated by ";".
    QString IgnoredFileTypesStr() const { return FIgnoredFileTypesStr; }
    void SetIgnoredFileTypesStr(const QString& types) { FIgnoredFileTypesStr = types; }
    // When not empty, only these extensions are taken and the ignored ones are not consulted.
    QString AddOnglyFileTypesStr() const { return FAddOnlyFileTypesStr; }
    void SetAddOnglyFileTypesStr(const QString& types) { FAddOnlyFileTypesStr = types; }

    bool Stop() const { return FStop.load(); }
    void SetStop(bool stop) { FStop.store(stop); }

    // Sets Running and starts the walk; returns at once.
    void Start();
    bool Running() const { return FRunning.load(std::memory_order_acquire); }
    // Blocks until the walk has ended; false when msecs passed first.
    bool WaitForFinished(int msecs = -1);

    // Read these once Running() is false.
    const QStringList& Files() const { return FFiles; }
    int ExitCode() const { return FExitCode; }
    QString ExitMsg() const { return FExitMsg; }
    // The folder being walked at the moment; may be read while the walk goes on.
    QString StatusText() const;

signals:
    // Emitted on the worker thread after Running() has turned false.
    void Finished();

private:
    void Execute();
    void WalkFolder(const QString& folder);
    bool Accepts(const QString& filePath) const;

    QString FFolder;
    QString FIgnoredFileTypesStr;
    QString FAddOnlyFileTypesStr;
    QStringList FIgnoredFileTypes;
    QStringList FAddOnlyFileTypes;
    QStringList FFiles;
    QSet<QPair<quint64, quint64>> FVisitedFolders; // device and inode
    int FExitCode = ecComplete;
    QString FExitMsg;
    mutable QMutex FStatusLock;
    QString FStatusText;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FRunning{false};
    std::unique_ptr<QThread> FThread;
};
