#pragma once

#include "model/RunSettings.h"

#include <QString>
#include <QStringList>

// The options of the settings window, kept in settings.ini. The window shows
// and edits one such object; everything else reads the values from it, so it
// is the live store of these options.
struct ProgramSettings {

    QString outputFolder;
    bool createFolderStruct = true;
    bool checkUpdatesOnStart = true;
    int overwriteOption = ordinal(OverwriteOption::NewFileName); // stored as its number
    int threadCount = 1;
    int postEncodeAction = ordinal(PostEncodeAction::DoNothing); // the "When Done:" position
    bool deleteUnfinished = true;
    bool copyCoverArt = true;
    QString ignoredTypes; // extensions without dots, separated by ";"
    QString addOnlyTypes; // the same; empty adds every type
    bool splitCue = true; // stored and restored only
    int preferredLanguageIndex = 0;

    bool operator==(const ProgramSettings&) const = default;
};

// settings.ini in the data folder.
QString settingsFilePath();

// The documents folder followed by "VelmoAudio/".
QString defaultOutputFolder();

// The first of 1, 2, 4, 8, 12, 32 that is not below the count; 32 above that.
int threadCountCeiling(int count);

// The upper bound of the thread count on this machine (threadCountCeiling of
// its logical processors); the lower bound is 1.
int machineThreadCountCeiling();
// One less than the ceiling, so one processor stays free, but at least 1.
int defaultThreadCount(int ceiling);
// The count put into 1..ceiling.
int clampThreadCount(int count, int ceiling);

// The values of a first start, also what "Reset" shows.
ProgramSettings defaultProgramSettings(int threadCountCeiling);

// Reads the keys in the order the settings window reads them. A missing file
// or key, and a value that is not a number or outside its list, gives the
// default; the thread count is clamped into 1..ceiling.
ProgramSettings loadProgramSettings(const QString& path, int threadCountCeiling);

// Writes every key (Update/Active and Path/createFolderStruct before
// General/outputFolder) in one save that keeps the file's other keys, then
// creates the output folder with its parents when it is missing. A failure of
// either goes to the log; false when the file could not be written.
bool saveProgramSettings(const QString& path, const ProgramSettings& settings, QString* errorText = nullptr);

// Creates the folder with every missing parent; a failure is logged as an
// error at the location and false comes back.
bool ensureOutputFolder(const QString& folder, const QString& location);

// The split form of the extension lists.
QStringList fileTypeList(const QString& types);

// The language the file-adding code prefers: the code at the stored index,
// empty when the index is not in the list.
QString preferredLanguage(const ProgramSettings& settings, const QStringList& languageCodes);
