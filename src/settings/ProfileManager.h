#pragma once

#include "settings/Presets.h"

#include <QList>
#include <QStringList>
#include <optional>

// The presets of the program: the built-in ones in the program's profiles/
// folder and the user's in the data folder's Profiles/. Which files are
// presets, and their order, comes from a list file "profiles.dat": the
// built-in one until the user saves a first preset, the user's from then on.
class TProfileManager {
public:
    TProfileManager(const QString& profilesFolderPath, const QString& userProfilesFolderPath);

    // Reads every preset the list names into Profiles(), a built-in file hiding
    // a user file of the same name; entries found in neither folder are skipped.
    void ListProfiles();

    const QList<TProfile>& Profiles() const { return FProfiles; }
    // The presets of one output format, in list order.
    QList<TProfile> ProfilesOfCodec(TOutputCodec codec) const;
    const QStringList& ProfilesList() const { return FProfilesList; }
    QString UserProfilesListFilePath() const { return FUserProfilesListFilePath; }

    void AddProfile(const TProfile& profile);

    // The preset in the file; missing keys take their defaults. No preset (and
    // the reason) when the file cannot be read or names no known format.
    static std::optional<TProfile> ReadProfileFromFile(const QString& path, bool userProfile,
                                                       QString* errorText = nullptr);

    // Writes the preset with the title `name` to the path, or, when a file is
    // there, to the first free "<path without extension><n><extension>", n = 1,
    // 2, ...; then records that path in the list and saves the list as the user
    // list file. Returns the path written, or an empty text and the reason.
    QString WriteProfileToFile(const TProfile& profile, const QString& path, const QString& name,
                               QString* errorText = nullptr);

    // Saves a new user preset named `name` (file name made safe) and lists it.
    // Returns the preset as listed, or nothing, with the reason, when it could not be saved.
    std::optional<TProfile> SaveUserProfile(TProfile profile, const QString& name,
                                            QString* errorText = nullptr);

    // The user folder's file for a preset name: unsafe characters become "_".
    QString UserProfilePath(const QString& name) const;

private:
    QString FProfilesFolderPath;
    QString FUserProfilesFolderPath;
    QString FProfilesListFilePath;
    QString FUserProfilesListFilePath;
    QStringList FProfilesList;
    QList<TProfile> FProfiles;
};
