#include "media/FileListThread.h"

#include "base/FileNames.h"
#include "base/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <exception>
#include <sys/stat.h>

namespace {

// Split at ";" only: blanks belong to the entries, and an empty text is an empty list.
QStringList SplitTypeList(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(u';');
}

} // namespace

TFileListThread::TFileListThread(QObject* parent) : QObject(parent) {}

TFileListThread::~TFileListThread() {
    WaitForFinished();
}

void TFileListThread::Start() {
    WaitForFinished();
    FThread.reset();
    FFiles.clear();
    FVisitedFolders.clear();
    FExitCode = ecComplete;
    FRunning.store(true, std::memory_order_release);
    FThread.reset(QThread::create([this] { Execute(); }));
    FThread->setObjectName(QStringLiteral("FileListThread"));
    FThread->start();
}

bool TFileListThread::WaitForFinished(int msecs) {
    if (!FThread)
        return true;
    const QDeadlineTimer deadline =
        msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(msecs);
    return FThread->wait(deadline);
}

QString TFileListThread::StatusText() const {
    QMutexLocker lock(&FStatusLock);
    return FStatusText;
}

void TFileListThread::Execute() {
    try {
        FIgnoredFileTypes = SplitTypeList(FIgnoredFileTypesStr);
        FAddOnlyFileTypes = SplitTypeList(FAddOnlyFileTypesStr);
        if (QFileInfo(FFolder).isDir())
            WalkFolder(QDir(FFolder).absolutePath());
        else
            FExitCode = ecFolderMissing;
    } catch (const std::exception& error) {
        LogException(QStringLiteral("TFileListThread.Execute"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        LogException(QStringLiteral("TFileListThread.Execute"));
    }
    FRunning.store(false, std::memory_order_release);
    emit Finished();
}

bool TFileListThread::Accepts(const QString& filePath) const {
    if (FAddOnlyFileTypes.isEmpty())
        return IsNotInIgnoredList(filePath, FIgnoredFileTypes);
    return IsInAddOnlyList(filePath, FAddOnlyFileTypes);
}

void TFileListThread::WalkFolder(const QString& folder) {
    {
        QMutexLocker lock(&FStatusLock);
        FStatusText = folder;
    }
    if (FStop.load()) {
        FExitCode = ecStopped;
        return;
    }
    // The same folder can be reached again through a symbolic link; walking it
    // twice would list its files twice, and a link to an ancestor would never end.
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return;
    const QPair<quint64, quint64> identity{status.st_dev, status.st_ino};
    if (FVisitedFolders.contains(identity))
        return;
    FVisitedFolders.insert(identity);

    QStringList files;
    QStringList folders;
    QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (entries.fileInfo().isDir())
            folders.append(path);
        else
            files.append(path);
    }

    for (const QString& file : std::as_const(files)) {
        if (FStop.load())
            break;
        if (Accepts(file))
            FFiles.append(file);
    }
    for (const QString& subFolder : std::as_const(folders)) {
        if (FStop.load())
            break;
        WalkFolder(subFolder);
    }
    FExitCode = FStop.load() ? ecStopped : ecComplete;
}
