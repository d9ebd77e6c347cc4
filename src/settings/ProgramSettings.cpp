#include "settings/ProgramSettings.h"

#include "base/AppPaths.h"
#include "base/FileNames.h"
#include "base/Log.h"
#include "settings/IniStore.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

int GetThreadCountCeiling(int count) {
    for (const int ceiling : {1, 2, 4, 8, 12, 32}) {
        if (ceiling >= count)
            return ceiling;
    }
    return 32;
}

namespace {

const QString General = QStringLiteral("General");
const QString Path = QStringLiteral("Path");
const QString Update = QStringLiteral("Update");
const QString Encode = QStringLiteral("Encode");
const QString FileAdd = QStringLiteral("FileAdd");

// A stored choice outside its list falls back to the default, so the run never
// meets an overwrite or post-encode value it has no rule for.
int readChoice(const TIniStore& ini, const QString& section, const QString& key, int defaultValue, int last) {
    const int value = ini.ReadInteger(section, key, defaultValue);
    return value >= 0 && value <= last ? value : defaultValue;
}

} // namespace

QString SettingsFilePath() {
    return QDir(AppPaths::DataFolder()).filePath(QStringLiteral("settings.ini"));
}

QString DefaultOutputFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
               .filePath(QStringLiteral("VelmoAudio")) +
           u'/';
}

int MachineThreadCountCeiling() {
    return GetThreadCountCeiling(QThread::idealThreadCount());
}

int DefaultThreadCount(int ceiling) {
    return ceiling <= 1 ? 1 : ceiling - 1;
}

int ClampThreadCount(int count, int ceiling) {
    // Also with a ceiling of 1: a stored 0 would start no conversion at all and
    // a large number would run that many at once on a single processor.
    return std::clamp(count, 1, std::max(1, ceiling));
}

TProgramSettings DefaultProgramSettings(int threadCountCeiling) {
    TProgramSettings settings;
    settings.OutputFolder = DefaultOutputFolder();
    settings.ThreadCount = DefaultThreadCount(threadCountCeiling);
    return settings;
}

TProgramSettings LoadProgramSettings(const QString& path, int threadCountCeiling) {
    const TProgramSettings defaults = DefaultProgramSettings(threadCountCeiling);
    const TIniStore ini(path);
    TProgramSettings settings;
    settings.OutputFolder = ini.ReadString(General, QStringLiteral("OutputFolder"), defaults.OutputFolder);
    settings.CreateFolderStruct =
        ini.ReadBool(Path, QStringLiteral("CreateFolderStruct"), defaults.CreateFolderStruct);
    settings.CheckUpdatesOnStart =
        ini.ReadBool(Update, QStringLiteral("Active"), defaults.CheckUpdatesOnStart);
    settings.OverwriteOption = readChoice(ini, Encode, QStringLiteral("Overwrite"), defaults.OverwriteOption,
                                          TProgramSettings::SkipEncoding);
    settings.ThreadCount = ClampThreadCount(
        ini.ReadInteger(Encode, QStringLiteral("CPU"), defaults.ThreadCount), threadCountCeiling);
    settings.PostEncodeAction = readChoice(ini, Encode, QStringLiteral("Post"), defaults.PostEncodeAction,
                                           TProgramSettings::ShutdownPC);
    settings.DeleteUnfinished =
        ini.ReadBool(Encode, QStringLiteral("DelUnfinished"), defaults.DeleteUnfinished);
    settings.CopyCoverArt = ini.ReadBool(Encode, QStringLiteral("CoverArt"), defaults.CopyCoverArt);
    settings.IgnoredTypes = ini.ReadString(FileAdd, QStringLiteral("IgnoredTypes"), defaults.IgnoredTypes);
    settings.AddOnlyTypes = ini.ReadString(FileAdd, QStringLiteral("AddOnly"), defaults.AddOnlyTypes);
    settings.SplitCue = ini.ReadBool(FileAdd, QStringLiteral("SplitCUE"), defaults.SplitCue);
    settings.PreferredLanguageIndex =
        ini.ReadInteger(FileAdd, QStringLiteral("PrefLang"), defaults.PreferredLanguageIndex);
    return settings;
}

bool SaveProgramSettings(const QString& path, const TProgramSettings& settings, QString* errorText) {
    TIniStore ini(path);
    ini.WriteBool(Update, QStringLiteral("Active"), settings.CheckUpdatesOnStart);
    ini.WriteBool(Path, QStringLiteral("CreateFolderStruct"), settings.CreateFolderStruct);
    ini.WriteString(General, QStringLiteral("OutputFolder"), settings.OutputFolder);
    ini.WriteInteger(Encode, QStringLiteral("Overwrite"), settings.OverwriteOption);
    ini.WriteInteger(Encode, QStringLiteral("CPU"), settings.ThreadCount);
    ini.WriteInteger(Encode, QStringLiteral("Post"), settings.PostEncodeAction);
    ini.WriteBool(Encode, QStringLiteral("DelUnfinished"), settings.DeleteUnfinished);
    ini.WriteBool(Encode, QStringLiteral("CoverArt"), settings.CopyCoverArt);
    ini.WriteString(FileAdd, QStringLiteral("IgnoredTypes"), settings.IgnoredTypes);
    ini.WriteString(FileAdd, QStringLiteral("AddOnly"), settings.AddOnlyTypes);
    ini.WriteBool(FileAdd, QStringLiteral("SplitCUE"), settings.SplitCue);
    ini.WriteInteger(FileAdd, QStringLiteral("PrefLang"), settings.PreferredLanguageIndex);
    const bool saved = ini.Save(errorText);
    if (!saved)
        LogException(QStringLiteral("TSettingsForm.SaveSettings"), errorText ? *errorText : QString());
    EnsureOutputFolder(settings.OutputFolder, QStringLiteral("TSettingsForm.SaveSettings"));
    return saved;
}

bool EnsureOutputFolder(const QString& folder, const QString& location) {
    if (folder.isEmpty() || QDir().mkpath(folder))
        return true;
    LogException(location, QStringLiteral("Unable to create the output folder %1").arg(folder));
    LogError(QStringLiteral("Unable to create the output folder %1").arg(folder));
    return false;
}

QStringList FileTypeList(const QString& types) {
    QStringList list;
    const QStringList parts = types.split(u';', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const QString type = part.trimmed();
        if (!type.isEmpty())
            list.append(type);
    }
    return list;
}

QString PreferredLanguage(const TProgramSettings& settings, const QStringList& languageCodes) {
    return languageCodes.value(settings.PreferredLanguageIndex);
}
