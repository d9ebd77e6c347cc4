#pragma once

#include <QDateTime>
#include <QString>

// Removes the log files (".nxlog", ".log", any case) directly in the data folder
// whose creation lies more than seven whole days back. Sub-folders and other
// files stay; a file that cannot be removed is logged and the rest go on.
void ClearOldLogs(const QString& dataFolder);
void ClearOldLogs(const QString& dataFolder, const QDateTime& now);
