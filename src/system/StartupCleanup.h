#pragma once

#include <QDateTime>
#include <QString>

// Housekeeping at start-up and shut-down: console dumps older than a week, and the
// cover pictures that probing left in the private temporary folder.
namespace StartupCleanup {

// Deletes the ".txt" files (any case) of the folder's top level that are more than
// seven whole days old; other files stay. A file that cannot be deleted is logged.
void clearOldBackendOutputs(const QString& backendOutputFolder);
void clearOldBackendOutputs(const QString& backendOutputFolder, const QDateTime& now);

// Deletes every file of the folder's top level, or, with a valid modifiedBefore,
// those last written before it. The folder is shared by every running instance
// of the program (the window and any number of velmo-convert runs), so start-up
// passes a time well in the past and leaves the pictures of running instances alone.
void clearTempCoverArtFiles(const QString& tempCoverArtFolder, const QDateTime& modifiedBefore = QDateTime());

} // namespace StartupCleanup
