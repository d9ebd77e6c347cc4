#include "system/StartupCleanup.h"

#include "base/FileCleanup.h"
#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace StartupCleanup {

namespace {

void removeFile(const QFileInfo& file, const QString& location) {
    QFile handle(file.absoluteFilePath());
    if (!handle.remove())
        logException(location, handle.errorString());
}

} // namespace

void clearOldBackendOutputs(const QString& backendOutputFolder) {
    clearOldBackendOutputs(backendOutputFolder, QDateTime::currentDateTime());
}

void clearOldBackendOutputs(const QString& backendOutputFolder, const QDateTime& now) {
    removeOldFiles(backendOutputFolder, {QStringLiteral(".txt")}, 7, now,
                   QStringLiteral("ClearOldBackendOutputs"));
}

void clearTempCoverArtFiles(const QString& tempCoverArtFolder, const QDateTime& modifiedBefore) {
    const QDir folder(tempCoverArtFolder);
    if (tempCoverArtFolder.isEmpty() || !folder.exists())
        return;
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        if (modifiedBefore.isValid() && file.lastModified() >= modifiedBefore)
            continue;
        removeFile(file, QStringLiteral("ClearTempCoverArtFiles"));
    }
}

} // namespace StartupCleanup
