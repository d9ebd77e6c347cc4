#pragma once

#include "settings/Presets.h"

#include <QList>
#include <QStringList>
#include <optional>

// The presets of the program: the built-in ones in the program's profiles/
// folder and the user's in the data folder's Profiles/. Which files are
// presets, and their order, comes from a list file "profiles.dat": the
// built-in one until the user saves a first preset, the user's from then on.
class PresetManager {
public:
    PresetManager(const QString& profilesFolderPath, const QString& userProfilesFolderPath);

    // Reads every preset the list names into Profiles(), a built-in file hiding
    // a user file of the same name; entries found in neither folder are skipped.
    void listPresets();

    const QList<Preset>& presets() const { return m_presets; }
    // The presets of one output format, in list order.
    QList<Preset> presetsOfCodec(OutputCodec codec) const;
    const QStringList& profilesList() const { return m_profilesList; }
    QString userProfilesListFilePath() const { return m_userProfilesListFilePath; }

    void addPreset(const Preset& profile);

    // The preset in the file; missing keys take their defaults. No preset (and
    // the reason) when the file cannot be read or names no known format.
    static std::optional<Preset> readPresetFromFile(const QString& path, bool userProfile,
                                                    QString* errorText = nullptr);

    // Writes the preset with the title `name` to the path, or, when a file is
    // there, to the first free "<path without extension><n><extension>", n = 1,
    // 2, ...; then records that path in the list and saves the list as the user
    // list file. Returns the path written, or an empty text and the reason.
    QString writeProfileToFile(const Preset& profile, const QString& path, const QString& name,
                               QString* errorText = nullptr);

    // Saves a new user preset named `name` (file name made safe) and lists it.
    // Returns the preset as listed, or nothing, with the reason, when it could not be saved.
    std::optional<Preset> saveUserPreset(Preset profile, const QString& name, QString* errorText = nullptr);

    // The user folder's file for a preset name: unsafe characters become "_".
    QString userProfilePath(const QString& name) const;

private:
    QString m_profilesFolderPath;
    QString m_userProfilesFolderPath;
    QString m_profilesListFilePath;
    QString m_userProfilesListFilePath;
    QStringList m_profilesList;
    QList<Preset> m_presets;
};
