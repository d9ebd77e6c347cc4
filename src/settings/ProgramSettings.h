#pragma once

#include <QString>
#include <QStringList>

// The options of the settings window, kept in settings.ini. The window shows
// and edits one such object; everything else reads the values from it, so it
// is the live store of these options.
struct TProgramSettings {
    enum TOverwriteOption { CreateNewFileName = 0, OverwriteExisting = 1, SkipEncoding = 2 };
    enum TPostEncodeAction { DoNothing = 0, OpenOutputFolder = 1, CloseProgram = 2, ShutdownPC = 3 };

    QString OutputFolder;
    bool CreateFolderStruct = true;
    bool CheckUpdatesOnStart = true;
    int OverwriteOption = CreateNewFileName;
    int ThreadCount = 1;
    int PostEncodeAction = DoNothing;
    bool DeleteUnfinished = true;
    bool CopyCoverArt = true;
    QString IgnoredTypes; // extensions without dots, separated by ";"
    QString AddOnlyTypes; // the same; empty adds every type
    bool SplitCue = true; // stored and restored only
    int PreferredLanguageIndex = 0;

    bool operator==(const TProgramSettings&) const = default;
};

// settings.ini in the data folder.
QString SettingsFilePath();

// The documents folder followed by "VelmoAudio/".
QString DefaultOutputFolder();

// The first of 1, 2, 4, 8, 12, 32 that is not below the count; 32 above that.
int GetThreadCountCeiling(int count);

// The upper bound of the thread count on this machine (GetThreadCountCeiling of
// its logical processors); the lower bound is 1.
int MachineThreadCountCeiling();
// One less than the ceiling, so one processor stays free, but at least 1.
int DefaultThreadCount(int ceiling);
// The count put into 1..ceiling.
int ClampThreadCount(int count, int ceiling);

// The values of a first start, also what "Reset" shows.
TProgramSettings DefaultProgramSettings(int threadCountCeiling);

// Reads the keys in the order the settings window reads them. A missing file
// or key, and a value that is not a number or outside its list, gives the
// default; the thread count is clamped into 1..ceiling.
TProgramSettings LoadProgramSettings(const QString& path, int threadCountCeiling);

// Writes every key (Update/Active and Path/CreateFolderStruct before
// General/OutputFolder) in one save that keeps the file's other keys, then
// creates the output folder with its parents when it is missing. A failure of
// either goes to the log; false when the file could not be written.
bool SaveProgramSettings(const QString& path, const TProgramSettings& settings, QString* errorText = nullptr);

// Creates the folder with every missing parent; a failure is logged as an
// error at the location and false comes back.
bool EnsureOutputFolder(const QString& folder, const QString& location);

// The split form of the extension lists.
QStringList FileTypeList(const QString& types);

// The language the file-adding code prefers: the code at the stored index,
// empty when the index is not in the list.
QString PreferredLanguage(const TProgramSettings& settings, const QStringList& languageCodes);
