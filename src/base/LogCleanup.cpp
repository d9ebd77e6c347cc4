#include "base/LogCleanup.h"

#include "base/FileNames.h"
#include "base/Log.h"

#include <QDir>
#include <QFile>

namespace {
constexpr int LogKeepDays = 7;
}

void clearOldLogs(const QString& dataFolder) {
    clearOldLogs(dataFolder, QDateTime::currentDateTime());
}

void clearOldLogs(const QString& dataFolder, const QDateTime& now) {
    const QDir folder(dataFolder);
    if (dataFolder.isEmpty() || !folder.exists())
        return;
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& info : files) {
        const QString extension = fileExtension(info.fileName()).toLower();
        if (extension != QLatin1String(".nxlog") && extension != QLatin1String(".log"))
            continue;
        if (!isOlderThanDays(info.filePath(), LogKeepDays, now))
            continue;
        QFile file(info.filePath());
        if (!file.remove())
            logException(QStringLiteral("ClearOldLogs"), file.errorString());
    }
}
