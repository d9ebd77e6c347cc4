#include "base/FileCleanup.h"

#include "base/FileNames.h"
#include "base/Log.h"

#include <QDir>
#include <QFile>

void removeOldFiles(const QString& folder, const QStringList& extensions, int days, const QDateTime& now,
                    const QString& logLocation) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& info : files) {
        if (!extensions.contains(fileExtension(info.fileName()), Qt::CaseInsensitive))
            continue;
        if (!isOlderThanDays(info.filePath(), days, now))
            continue;
        QFile file(info.filePath());
        if (!file.remove())
            logException(logLocation, file.errorString());
    }
}

void clearOldLogs(const QString& dataFolder) {
    clearOldLogs(dataFolder, QDateTime::currentDateTime());
}

void clearOldLogs(const QString& dataFolder, const QDateTime& now) {
    removeOldFiles(dataFolder, {QStringLiteral(".nxlog"), QStringLiteral(".log")}, 7, now,
                   QStringLiteral("ClearOldLogs"));
}
