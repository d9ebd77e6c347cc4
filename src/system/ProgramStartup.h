#pragma once

#include <QString>

// The folders and tools of the program, resolved once at start-up.
struct ProgramPaths {
    QString toolSubFolder; // of a bundled ffmpeg, below the program folder
    QString ffmpegPath;    // empty when ffmpeg was found nowhere
    QString ffprobePath;
    QString coverWriterPath;
    QString programFolder;
    QString profileFolderPath;     // built-in presets
    QString userProfileFolderPath; // the user's presets
    QString dataFolder;            // settings, logs, dumps
    QString settingsFilePath;
    QString advancedSettingsFilePath;
    QString backendOutputFolderPath;
    QString tempCoverArtFolderPath;
};

// The start-up steps that every front end shares: resolve the paths and tools,
// create the data folders, start the log file, log where things are, and clear
// old console dumps and left-over cover pictures.
namespace ProgramStartup {

ProgramPaths resolvePaths();

// False with the message a front end shows as "Fatal Error" ("Unable to create
// appdata folder.", "Unable to create appdata profiles folder.").
bool prepare(ProgramPaths& paths, QString& fatalError);

} // namespace ProgramStartup
