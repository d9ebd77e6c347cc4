#include "system/ProgramStartup.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "system/StartupCleanup.h"

#include <QDateTime>
#include <QDir>

namespace ProgramStartup {

ProgramPaths resolvePaths() {
    ProgramPaths paths;
    paths.toolSubFolder = AppPaths::bundledToolSubFolder();
    paths.ffmpegPath = AppPaths::findTool(QStringLiteral("ffmpeg"));
    paths.ffprobePath = AppPaths::findTool(QStringLiteral("ffprobe"));
    paths.coverWriterPath = AppPaths::coverstampPath();
    paths.programFolder = AppPaths::programFolder();
    paths.profileFolderPath = QDir(paths.programFolder).filePath(QStringLiteral("profiles"));
    paths.userProfileFolderPath = AppPaths::userProfilesFolder();
    paths.dataFolder = AppPaths::dataFolder();
    paths.settingsFilePath = QDir(paths.dataFolder).filePath(QStringLiteral("settings.ini"));
    paths.advancedSettingsFilePath = QDir(paths.dataFolder).filePath(QStringLiteral("advanced.ini"));
    paths.backendOutputFolderPath = AppPaths::backendOutputFolder();
    paths.tempCoverArtFolderPath = AppPaths::tempCoverArtFolder();
    return paths;
}

bool prepare(ProgramPaths& paths, QString& fatalError) {
    paths = resolvePaths();
    QDir().mkpath(paths.backendOutputFolderPath);
    if (!QDir().mkpath(paths.dataFolder)) {
        fatalError = QStringLiteral("Unable to create appdata folder.");
        return false;
    }
    configureProgramLog(paths.dataFolder, QDateTime::currentDateTime());
    logInfo(QStringLiteral("FFmpeg folder: ") + paths.toolSubFolder);
    logInfo(QStringLiteral("Settings file path: ") + paths.settingsFilePath);
    logInfo(QStringLiteral("Program profiles path: ") + paths.profileFolderPath);
    logInfo(QStringLiteral("User profilesS path: ") + paths.userProfileFolderPath);
    logInfo(paths.ffmpegPath.isEmpty() ? QStringLiteral("ffmpeg was not found")
                                       : QStringLiteral("ffmpeg: ") + paths.ffmpegPath);
    logInfo(paths.ffprobePath.isEmpty() ? QStringLiteral("ffprobe was not found")
                                        : QStringLiteral("ffprobe: ") + paths.ffprobePath);
    if (paths.tempCoverArtFolderPath.isEmpty())
        logError(QStringLiteral("The private cover-art folder cannot be created."));

    StartupCleanup::clearOldBackendOutputs(paths.backendOutputFolderPath);
    // Pictures of other running instances share the folder; only leftovers go.
    StartupCleanup::clearTempCoverArtFiles(paths.tempCoverArtFolderPath,
                                           QDateTime::currentDateTime().addDays(-1));

    if (!QDir().mkpath(paths.userProfileFolderPath)) {
        logException(QStringLiteral("TMainForm.FormCreate"),
                     QStringLiteral("Cannot create ") + paths.userProfileFolderPath);
        fatalError = QStringLiteral("Unable to create appdata profiles folder.");
        return false;
    }
    return true;
}

} // namespace ProgramStartup
