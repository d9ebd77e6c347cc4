#pragma once

#include <QString>

// Where the program finds its own files and keeps the user's.
namespace AppPaths {

// $XDG_CONFIG_HOME/VelmoAudio (default ~/.config/VelmoAudio): settings.ini,
// advanced.ini, Profiles/, BackendOutput/ and the logs. Not created here.
QString dataFolder();
QString backendOutputFolder();
QString userProfilesFolder();

// The folder of the running executable: coverstamp, langcodes.dat, profiles/, img/.
QString programFolder();
QString coverstampPath();

// The folder for temporary cover pictures, private to this user (mode 0700).
// Created on demand; an existing folder that another user owns, or that is a
// symbolic link, is refused and an empty text comes back.
QString tempCoverArtFolder();

// Where a bundled ffmpeg and ffprobe sit, relative to the program folder ("ffmpeg/").
QString bundledToolSubFolder();
// <name> in the bundled tool folder when it is there and executable, otherwise
// <name> as found on PATH; empty when neither exists.
QString findTool(const QString& name);

} // namespace AppPaths
