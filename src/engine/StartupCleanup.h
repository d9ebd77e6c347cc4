#pragma once

#include <QDateTime>
#include <QString>

// Housekeeping at start-up and shut-down: console dumps older than a week, and the
// cover pictures that probing left in the private temporary folder.
namespace StartupCleanup {

// Deletes the ".txt" files (any case) of the folder's top level that are more than
// seven whole days old; other files stay. A file that cannot be deleted is logged.
void ClearOldBackendOutputs(const QString& backendOutputFolder);
void ClearOldBackendOutputs(const QString& backendOutputFolder, const QDateTime& now);

// Deletes every file of the folder's top level.
void ClearTempCoverArtFiles(const QString& tempCoverArtFolder);

} // namespace StartupCleanup
