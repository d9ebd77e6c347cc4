#include "media/FolderLister.h"

#include "base/FileNames.h"
#include "base/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <sys/stat.h>

namespace {

// Split at ";" only: blanks belong to the entries, and an empty text is an empty list.
QStringList splitTypeList(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(u';');
}

} // namespace

FolderLister::FolderLister(QObject* parent) : QObject(parent) {}

FolderLister::~FolderLister() {
    waitForFinished();
}

void FolderLister::start() {
    waitForFinished();
    m_files.clear();
    m_visitedFolders.clear();
    m_outcome = Outcome::Complete;
    m_worker.start(
        QStringLiteral("FileListThread"), [this] { execute(); }, [this] { emit finished(); });
}

QString FolderLister::statusText() const {
    QMutexLocker lock(&m_statusLock);
    return m_statusText;
}

void FolderLister::execute() {
    try {
        m_ignoredFileTypes = splitTypeList(m_ignoredTypesText);
        m_addOnlyFileTypes = splitTypeList(m_addOnlyTypesText);
        if (QFileInfo(m_folder).isDir())
            walkFolder(QDir(m_folder).absolutePath());
        else
            m_outcome = Outcome::FolderMissing;
    } catch (const std::exception& error) {
        logException(QStringLiteral("TFileListThread.Execute"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        logException(QStringLiteral("TFileListThread.Execute"));
    }
}

bool FolderLister::accepts(const QString& filePath) const {
    if (m_addOnlyFileTypes.isEmpty())
        return isNotInIgnoredList(filePath, m_ignoredFileTypes);
    return isInAddOnlyList(filePath, m_addOnlyFileTypes);
}

void FolderLister::walkFolder(const QString& folder) {
    {
        QMutexLocker lock(&m_statusLock);
        m_statusText = folder;
    }
    if (m_stop.load()) {
        m_outcome = Outcome::Stopped;
        return;
    }
    // The same folder can be reached again through a symbolic link; walking it
    // twice would list its files twice, and a link to an ancestor would never end.
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return;
    const QPair<quint64, quint64> identity{status.st_dev, status.st_ino};
    if (m_visitedFolders.contains(identity))
        return;
    m_visitedFolders.insert(identity);

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
        if (m_stop.load())
            break;
        if (accepts(file))
            m_files.append(file);
    }
    for (const QString& subFolder : std::as_const(folders)) {
        if (m_stop.load())
            break;
        walkFolder(subFolder);
    }
    m_outcome = m_stop.load() ? Outcome::Stopped : Outcome::Complete;
}
