#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Questions about file names and files on disk. The functions keep no state
// and raise nothing.

// The extension of a path: from the last "." of the file name on, dot included;
// empty when the file name has no dot.
QString fileExtension(const QString& path);
// The path without the extension of its file name.
QString pathWithoutExtension(const QString& path);

// The path itself when nothing exists there, otherwise the first free
// "<path without extension>_<n><extension>" for n = 1, 2, ...
QString uniqueFileName(const QString& path);

// When the file or folder was created: its birth time where the file system
// records one, otherwise its last status change. Invalid when it does not exist.
QDateTime fileCreationTime(const QString& path);
// True when more than `days` whole days lie between the creation time and now.
bool isOlderThanDays(const QString& path, int days);
bool isOlderThanDays(const QString& path, int days, const QDateTime& now);

// Extension lists hold extensions without a dot ("flac"); the comparison ignores case.
bool isInAddOnlyList(const QString& path, const QStringList& list);
bool isNotInIgnoredList(const QString& path, const QStringList& list);
