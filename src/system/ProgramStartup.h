#pragma once

#include <QString>

// The folders and tools of the program, resolved once at start-up.
struct TProgramPaths {
    QString ToolSubFolder; // "ffmpeg/64/" or "ffmpeg/32/" below the program folder
    QString FFmpegPath;    // empty when ffmpeg was found nowhere
    QString FFprobePath;
    QString CoverWriterPath;
    QString ProgramFolder;
    QString ProfileFolderPath;     // built-in presets
    QString UserProfileFolderPath; // the user's presets
    QString DataFolder;            // settings, logs, dumps
    QString SettingsFilePath;
    QString AdvancedSettingsFilePath;
    QString BackendOutputFolderPath;
    QString TempCoverArtFolderPath;
};

// The start-up steps that every front end shares: resolve the paths and tools,
// create the data folders, start the log file, log where things are, and clear
// old console dumps and left-over cover pictures.
namespace ProgramStartup {

TProgramPaths ResolvePaths();

// False with the message a front end shows as "Fatal Error" ("Unable to create
// appdata folder.", "Unable to create appdata profiles folder.").
bool Prepare(TProgramPaths& paths, QString& fatalError);

} // namespace ProgramStartup
