#include "settings/ProgramSettings.h"

#include "base/AppPaths.h"
#include "base/FileNames.h"
#include "base/Log.h"
#include "settings/IniStore.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

int threadCountCeiling(int count) {
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
int readChoice(const IniStore& ini, const QString& section, const QString& key, int defaultValue, int last) {
    const int value = ini.readInteger(section, key, defaultValue);
    return value >= 0 && value <= last ? value : defaultValue;
}

} // namespace

QString settingsFilePath() {
    return QDir(AppPaths::dataFolder()).filePath(QStringLiteral("settings.ini"));
}

QString defaultOutputFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
               .filePath(QStringLiteral("VelmoAudio")) +
           u'/';
}

int machineThreadCountCeiling() {
    return threadCountCeiling(QThread::idealThreadCount());
}

int defaultThreadCount(int ceiling) {
    return ceiling <= 1 ? 1 : ceiling - 1;
}

int clampThreadCount(int count, int ceiling) {
    // Also with a ceiling of 1: a stored 0 would start no conversion at all and
    // a large number would run that many at once on a single processor.
    return std::clamp(count, 1, std::max(1, ceiling));
}

ProgramSettings defaultProgramSettings(int threadCountCeiling) {
    ProgramSettings settings;
    settings.outputFolder = defaultOutputFolder();
    settings.threadCount = defaultThreadCount(threadCountCeiling);
    return settings;
}

ProgramSettings loadProgramSettings(const QString& path, int threadCountCeiling) {
    const ProgramSettings defaults = defaultProgramSettings(threadCountCeiling);
    const IniStore ini(path);
    ProgramSettings settings;
    settings.outputFolder = ini.readString(General, QStringLiteral("OutputFolder"), defaults.outputFolder);
    settings.createFolderStruct =
        ini.readBool(Path, QStringLiteral("CreateFolderStruct"), defaults.createFolderStruct);
    settings.checkUpdatesOnStart =
        ini.readBool(Update, QStringLiteral("Active"), defaults.checkUpdatesOnStart);
    settings.overwriteOption = readChoice(ini, Encode, QStringLiteral("Overwrite"), defaults.overwriteOption,
                                          ordinal(OverwriteOption::Skip));
    settings.threadCount = clampThreadCount(
        ini.readInteger(Encode, QStringLiteral("CPU"), defaults.threadCount), threadCountCeiling);
    settings.postEncodeAction = readChoice(ini, Encode, QStringLiteral("Post"), defaults.postEncodeAction,
                                           ordinal(PostEncodeAction::ShutdownPc));
    settings.deleteUnfinished =
        ini.readBool(Encode, QStringLiteral("DelUnfinished"), defaults.deleteUnfinished);
    settings.copyCoverArt = ini.readBool(Encode, QStringLiteral("CoverArt"), defaults.copyCoverArt);
    settings.ignoredTypes = ini.readString(FileAdd, QStringLiteral("IgnoredTypes"), defaults.ignoredTypes);
    settings.addOnlyTypes = ini.readString(FileAdd, QStringLiteral("AddOnly"), defaults.addOnlyTypes);
    settings.splitCue = ini.readBool(FileAdd, QStringLiteral("SplitCUE"), defaults.splitCue);
    settings.preferredLanguageIndex =
        ini.readInteger(FileAdd, QStringLiteral("PrefLang"), defaults.preferredLanguageIndex);
    return settings;
}

bool saveProgramSettings(const QString& path, const ProgramSettings& settings, QString* errorText) {
    IniStore ini(path);
    ini.writeBool(Update, QStringLiteral("Active"), settings.checkUpdatesOnStart);
    ini.writeBool(Path, QStringLiteral("CreateFolderStruct"), settings.createFolderStruct);
    ini.writeString(General, QStringLiteral("OutputFolder"), settings.outputFolder);
    ini.writeInteger(Encode, QStringLiteral("Overwrite"), settings.overwriteOption);
    ini.writeInteger(Encode, QStringLiteral("CPU"), settings.threadCount);
    ini.writeInteger(Encode, QStringLiteral("Post"), settings.postEncodeAction);
    ini.writeBool(Encode, QStringLiteral("DelUnfinished"), settings.deleteUnfinished);
    ini.writeBool(Encode, QStringLiteral("CoverArt"), settings.copyCoverArt);
    ini.writeString(FileAdd, QStringLiteral("IgnoredTypes"), settings.ignoredTypes);
    ini.writeString(FileAdd, QStringLiteral("AddOnly"), settings.addOnlyTypes);
    ini.writeBool(FileAdd, QStringLiteral("SplitCUE"), settings.splitCue);
    ini.writeInteger(FileAdd, QStringLiteral("PrefLang"), settings.preferredLanguageIndex);
    const bool saved = ini.save(errorText);
    if (!saved)
        logException(QStringLiteral("TSettingsForm.SaveSettings"), errorText ? *errorText : QString());
    ensureOutputFolder(settings.outputFolder, QStringLiteral("TSettingsForm.SaveSettings"));
    return saved;
}

bool ensureOutputFolder(const QString& folder, const QString& location) {
    if (folder.isEmpty() || QDir().mkpath(folder))
        return true;
    logException(location, QStringLiteral("Unable to create the output folder %1").arg(folder));
    logError(QStringLiteral("Unable to create the output folder %1").arg(folder));
    return false;
}

QStringList fileTypeList(const QString& types) {
    QStringList list;
    const QStringList parts = types.split(u';', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const QString type = part.trimmed();
        if (!type.isEmpty())
            list.append(type);
    }
    return list;
}

QString preferredLanguage(const ProgramSettings& settings, const QStringList& languageCodes) {
    return languageCodes.value(settings.preferredLanguageIndex);
}
