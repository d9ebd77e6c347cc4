#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Small text and file functions shared across the program. They keep no state
// and raise nothing.

// The current local time as "yyyy_MM_dd_hh_mm_ss" (console dump and log names).
QString GetTimeStampText();

// "hh:mm:ss" with hours uncapped ("100:00:00"); "00:00:00" for 0 or less.
QString FormatDuration(qint64 seconds);

// "%d Byte" up to 1024, otherwise two decimals (the user's separator) with
// "KB", "MB", "GB", "TB", "PB" or "EB", each step 1024 times the previous.
QString FormatByteSize(qint64 bytes);

// The extension of a path: from the last "." of the file name on, dot included;
// empty when the file name has no dot.
QString FileExtension(const QString& path);
// The path without the extension of its file name.
QString PathWithoutExtension(const QString& path);

// The path itself when nothing exists there, otherwise the first free
// "<path without extension>_<n><extension>" for n = 1, 2, ...
QString GetUniqueFileName(const QString& path);

// A number written with the user's decimal separator, or with "." in its place
// when that fails; 0 when neither reads.
double ParseFloatText(const QString& text);

// The text with each of " * / : < > ? \ | replaced by "_".
QString MakeValidFileName(const QString& text);

// When the file or folder was created: its birth time where the file system
// records one, otherwise its last status change. Invalid when it does not exist.
QDateTime FileCreationTime(const QString& path);
// True when more than `days` whole days lie between the creation time and now.
bool IsOlderThanDays(const QString& path, int days);
bool IsOlderThanDays(const QString& path, int days, const QDateTime& now);

// True when an entry equals the text exactly, case included.
bool IsTextInList(const QStringList& list, const QString& text);
// Extension lists hold extensions without a dot ("flac"); the comparison ignores case.
bool IsInAddOnlyList(const QString& path, const QStringList& list);
bool IsNotInIgnoredList(const QString& path, const QStringList& list);

// The first of 1, 2, 4, 8, 12, 32 that is not below the count; 32 above that.
int GetThreadCountCeiling(int count);

// The build number compiled into the program (fourth version component) when a
// file exists at the path; empty otherwise.
QString GetFileVersionBuild(const QString& path);

// Where a converted file goes.
class TOutputFilePathHelper {
public:
    // <base>/<format name>/[<source folder without its leading "/">/]<name><ext>,
    // where base is the output folder, or the source's folder when sameAsSource.
    // Nothing on disk is checked or created.
    static QString GenerateOutputFilePath(const QString& sourceFilePath, const QString& outputFolderPath,
                                          bool sameAsSource, bool createFolderTree, const QString& outputExt,
                                          const QString& formatName);
};
