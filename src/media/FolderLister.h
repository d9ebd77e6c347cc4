#pragma once

#include "base/WorkerThread.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>

// Turns a folder into the flat list of the files below it, on a worker thread.
// A folder's own files come before those of its sub-folders; each sub-folder is
// walked completely before the next, in the order the file system lists them.
// A folder reached twice (through a symbolic link to an ancestor or a second
// link to the same folder) is walked only the first time.
class FolderLister : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Complete, Stopped, FolderMissing };

    explicit FolderLister(QObject* parent = nullptr);
    // Waits for a walk still going; call setStop(true) first to make that quick.
    ~FolderLister() override;

    QString folder() const { return m_folder; }
    void setFolder(const QString& folder) { m_folder = folder; }
    // Extensions without a dot, separated by ";".
    QString ignoredTypesText() const { return m_ignoredTypesText; }
    void setIgnoredTypesText(const QString& types) { m_ignoredTypesText = types; }
    // When not empty, only these extensions are taken and the ignored ones are not consulted.
    QString addOnlyTypesText() const { return m_addOnlyTypesText; }
    void setAddOnlyTypesText(const QString& types) { m_addOnlyTypesText = types; }

    bool stop() const { return m_stop.load(); }
    void setStop(bool stop) { m_stop.store(stop); }

    // Sets running() and starts the walk; returns at once.
    void start();
    bool running() const { return m_worker.running(); }
    // Blocks until the walk has ended; false when msecs passed first.
    bool waitForFinished(int msecs = -1) { return m_worker.wait(msecs); }

    // Read these once running() is false.
    const QStringList& files() const { return m_files; }
    Outcome outcome() const { return m_outcome; }
    QString exitMessage() const { return m_exitMessage; }
    // The folder being walked at the moment; may be read while the walk goes on.
    QString statusText() const;

signals:
    // Emitted on the worker thread after running() has turned false.
    void finished();

private:
    void execute();
    void walkFolder(const QString& folder);
    bool accepts(const QString& filePath) const;

    QString m_folder;
    QString m_ignoredTypesText;
    QString m_addOnlyTypesText;
    QStringList m_ignoredFileTypes;
    QStringList m_addOnlyFileTypes;
    QStringList m_files;
    QSet<QPair<quint64, quint64>> m_visitedFolders; // device and inode
    Outcome m_outcome = Outcome::Complete;
    QString m_exitMessage;
    mutable QMutex m_statusLock;
    QString m_statusText;
    std::atomic<bool> m_stop{false};
    WorkerThread m_worker; // last: its thread uses the members above
};
