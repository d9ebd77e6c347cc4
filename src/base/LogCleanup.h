#pragma once

#include <QDateTime>
#include <QString>

// Removes the log files (".nxlog", ".log", any case) directly in the data folder
// whose creation lies more than seven whole days back. Sub-folders and other
// files stay; a file that cannot be removed is logged and the rest go on.
void clearOldLogs(const QString& dataFolder);
void clearOldLogs(const QString& dataFolder, const QDateTime& now);
