#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Deletes the files directly in the folder whose extension (dot included,
// compared without regard to case) is one of `extensions` and whose creation
// lies more than `days` whole days before now. Sub-folders and other files
// stay; a file that cannot be deleted is logged as an exception at
// logLocation and the rest go on. A missing folder is no error.
void removeOldFiles(const QString& folder, const QStringList& extensions, int days, const QDateTime& now,
                    const QString& logLocation);

// The log files (".nxlog", ".log") of the data folder, a week after their creation.
void clearOldLogs(const QString& dataFolder);
void clearOldLogs(const QString& dataFolder, const QDateTime& now);
