#include "system/ProgramStartup.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "system/StartupCleanup.h"

#include <QDateTime>
#include <QDir>
#include <QSysInfo>

namespace ProgramStartup {

TProgramPaths ResolvePaths() {
    TProgramPaths paths;
    paths.ToolSubFolder =
        QSysInfo::WordSize == 64 ? QStringLiteral("ffmpeg/64/") : QStringLiteral("ffmpeg/32/");
    paths.FFmpegPath = AppPaths::FindTool(QStringLiteral("ffmpeg"));
    paths.FFprobePath = AppPaths::FindTool(QStringLiteral("ffprobe"));
    paths.CoverWriterPath = AppPaths::CoverstampPath();
    paths.ProgramFolder = AppPaths::ProgramFolder();
    paths.ProfileFolderPath = QDir(paths.ProgramFolder).filePath(QStringLiteral("profiles"));
    paths.UserProfileFolderPath = AppPaths::UserProfilesFolder();
    paths.DataFolder = AppPaths::DataFolder();
    paths.SettingsFilePath = QDir(paths.DataFolder).filePath(QStringLiteral("settings.ini"));
    paths.AdvancedSettingsFilePath = QDir(paths.DataFolder).filePath(QStringLiteral("advanced.ini"));
    paths.BackendOutputFolderPath = AppPaths::BackendOutputFolder();
    paths.TempCoverArtFolderPath = AppPaths::TempCoverArtFolder();
    return paths;
}

bool Prepare(TProgramPaths& paths, QString& fatalError) {
    paths = ResolvePaths();
    QDir().mkpath(paths.BackendOutputFolderPath);
    if (!QDir().mkpath(paths.DataFolder)) {
        fatalError = QStringLiteral("Unable to create appdata folder.");
        return false;
    }
    ConfigureProgramLog(paths.DataFolder, QDateTime::currentDateTime());
    LogInfo(QStringLiteral("FFmpeg folder: ") + paths.ToolSubFolder);
    LogInfo(QStringLiteral("Settings file path: ") + paths.SettingsFilePath);
    LogInfo(QStringLiteral("Program profiles path: ") + paths.ProfileFolderPath);
    LogInfo(QStringLiteral("User profilesS path: ") + paths.UserProfileFolderPath);
    LogInfo(paths.FFmpegPath.isEmpty() ? QStringLiteral("ffmpeg was not found")
                                       : QStringLiteral("ffmpeg: ") + paths.FFmpegPath);
    LogInfo(paths.FFprobePath.isEmpty() ? QStringLiteral("ffprobe was not found")
                                        : QStringLiteral("ffprobe: ") + paths.FFprobePath);
    if (paths.TempCoverArtFolderPath.isEmpty())
        LogError(QStringLiteral("The private cover-art folder cannot be created."));

    StartupCleanup::ClearOldBackendOutputs(paths.BackendOutputFolderPath);
    // Pictures of other running instances share the folder; only leftovers go.
    StartupCleanup::ClearTempCoverArtFiles(paths.TempCoverArtFolderPath,
                                           QDateTime::currentDateTime().addDays(-1));

    if (!QDir().mkpath(paths.UserProfileFolderPath)) {
        LogException(QStringLiteral("TMainForm.FormCreate"),
                     QStringLiteral("Cannot create ") + paths.UserProfileFolderPath);
        fatalError = QStringLiteral("Unable to create appdata profiles folder.");
        return false;
    }
    return true;
}

} // namespace ProgramStartup
