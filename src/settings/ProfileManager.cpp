#include "settings/ProfileManager.h"

#include "base/FileNames.h"
#include "base/Log.h"
#include "base/TextFormat.h"
#include "settings/IniStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString ListFileName = QStringLiteral("profiles.dat");
const QString General = QStringLiteral("General");
const QString Bitrate = QStringLiteral("Bitrate");
const QString Quality = QStringLiteral("Quality");
const QString SampleRate = QStringLiteral("SampleRate");
const QString Channel = QStringLiteral("Channel");
const QString BitDepth = QStringLiteral("BitDepth");
const QString Index = QStringLiteral("Index");

QStringList readListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LogError(QStringLiteral("Unable to read the preset list %1: %2").arg(path, file.errorString()));
        return {};
    }
    QStringList entries;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty())
            entries.append(entry);
    }
    return entries;
}

// Entries may have been written on another system, so both separators count.
QString fileNamePart(const QString& entry) {
    const qsizetype separator = std::max(entry.lastIndexOf(u'/'), entry.lastIndexOf(u'\\'));
    return entry.mid(separator + 1);
}

// A stored enumeration value outside the enumeration reads as its default.
template <typename Enum>
Enum readEnum(const TIniStore& ini, const QString& section, const QString& key, int count) {
    const int value = ini.ReadInteger(section, key, 0);
    return Enum(value >= 0 && value < count ? value : 0);
}

} // namespace

TProfileManager::TProfileManager(const QString& profilesFolderPath, const QString& userProfilesFolderPath)
    : FProfilesFolderPath(profilesFolderPath), FUserProfilesFolderPath(userProfilesFolderPath),
      FProfilesListFilePath(QDir(profilesFolderPath).filePath(ListFileName)),
      FUserProfilesListFilePath(QDir(userProfilesFolderPath).filePath(ListFileName)) {
    if (QFileInfo::exists(FProfilesListFilePath))
        FProfilesList = readListFile(FProfilesListFilePath);
    // Once the user has a list, it alone decides what is listed.
    if (QFileInfo::exists(FUserProfilesListFilePath))
        FProfilesList = readListFile(FUserProfilesListFilePath);
}

void TProfileManager::ListProfiles() {
    LogInfo(QStringLiteral("Listing profiles..."));
    for (const QString& entry : std::as_const(FProfilesList)) {
        const QString name = fileNamePart(entry);
        if (name.isEmpty())
            continue;
        const std::pair<QString, bool> candidates[] = {{QDir(FProfilesFolderPath).filePath(name), false},
                                                       {QDir(FUserProfilesFolderPath).filePath(name), true}};
        for (const auto& [candidate, userProfile] : candidates) {
            LogInfo(QStringLiteral("Loading profile ") + candidate);
            if (!QFileInfo(candidate).isFile())
                continue;
            QString error;
            if (const auto profile = ReadProfileFromFile(candidate, userProfile, &error))
                AddProfile(*profile);
            else
                LogException(QStringLiteral("TProfileManager.ReadProfileFromFile"), candidate + u' ' + error);
            break;
        }
    }
}

QList<TProfile> TProfileManager::ProfilesOfCodec(TOutputCodec codec) const {
    QList<TProfile> profiles;
    for (const TProfile& profile : FProfiles) {
        if (profile.FCodecId == codec)
            profiles.append(profile);
    }
    return profiles;
}

void TProfileManager::AddProfile(const TProfile& profile) {
    FProfiles.append(profile);
}

std::optional<TProfile> TProfileManager::ReadProfileFromFile(const QString& path, bool userProfile,
                                                             QString* errorText) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = probe.errorString();
        return std::nullopt;
    }
    probe.close();

    const TIniStore ini(path);
    const int codec = ini.ReadInteger(General, QStringLiteral("Codec"), 0);
    if (codec < 0 || codec >= OutputCodecCount) {
        if (errorText)
            *errorText = QStringLiteral("unknown output format %1").arg(codec);
        return std::nullopt;
    }
    TProfile profile;
    profile.FUserProfile = userProfile;
    profile.FTitle = ini.ReadString(General, QStringLiteral("Title"));
    profile.FCodecId = TOutputCodec(codec);
    profile.FEncodingType = readEnum<TEncodeType>(ini, General, QStringLiteral("EncodingType"), etNone + 1);
    profile.FCustomParams = ini.ReadString(General, QStringLiteral("CustomParams"));
    profile.FBitrateIndex = ini.ReadInteger(Bitrate, Index, 0);
    profile.FOggManagedBitrate = ini.ReadBool(Bitrate, QStringLiteral("OggManagedBitrate"), false);
    profile.FOpusVbr = ini.ReadBool(Bitrate, QStringLiteral("OpusVbr"), false);
    profile.FQualityIndex = ini.ReadInteger(Quality, Index, 0);
    profile.FSampleRate = readEnum<TSampleRate>(ini, SampleRate, Index, sr8000 + 1);
    profile.FChannel = readEnum<TChannelType>(ini, Channel, Index, ch4_1 + 1);
    profile.FBitDepth = readEnum<TBitDepth>(ini, BitDepth, Index, bd24 + 1);
    return profile;
}

QString TProfileManager::WriteProfileToFile(const TProfile& profile, const QString& path, const QString& name,
                                            QString* errorText) {
    auto fail = [&](const QString& reason) {
        if (errorText)
            *errorText = reason;
        return QString();
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Unable to create the folder %1").arg(folder));

    // Claim a free name first, so that no existing preset is ever replaced.
    const QString base = PathWithoutExtension(path);
    const QString extension = FileExtension(path);
    QString target = path;
    for (int n = 1;; ++n) {
        QFile claim(target);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!claim.exists())
            return fail(claim.errorString());
        target = base + QString::number(n) + extension;
    }

    TIniStore ini(target);
    ini.WriteString(General, QStringLiteral("Title"), name);
    ini.WriteInteger(General, QStringLiteral("Codec"), profile.FCodecId);
    ini.WriteInteger(General, QStringLiteral("EncodingType"), profile.FEncodingType);
    ini.WriteString(General, QStringLiteral("CustomParams"), profile.FCustomParams);
    ini.WriteInteger(Bitrate, Index, profile.FBitrateIndex);
    ini.WriteBool(Bitrate, QStringLiteral("OggManagedBitrate"), profile.FOggManagedBitrate);
    ini.WriteBool(Bitrate, QStringLiteral("OpusVbr"), profile.FOpusVbr);
    ini.WriteInteger(Quality, Index, profile.FQualityIndex);
    ini.WriteInteger(SampleRate, Index, profile.FSampleRate);
    ini.WriteInteger(Channel, Index, profile.FChannel);
    ini.WriteInteger(BitDepth, Index, profile.FBitDepth);
    QString error;
    if (!ini.Save(&error)) {
        QFile::remove(target);
        return fail(error);
    }

    QStringList list = FProfilesList;
    list.append(target);
    QSaveFile listFile(FUserProfilesListFilePath);
    const QByteArray text = (list.join(u'\n') + u'\n').toUtf8();
    if (!QDir().mkpath(QFileInfo(FUserProfilesListFilePath).absolutePath()) ||
        !listFile.open(QIODevice::WriteOnly) || listFile.write(text) != text.size() || !listFile.commit()) {
        // An unlisted preset would never show; take it away again.
        QFile::remove(target);
        return fail(QStringLiteral("Unable to save the preset list %1: %2")
                        .arg(FUserProfilesListFilePath, listFile.errorString()));
    }
    FProfilesList = list;
    return target;
}

QString TProfileManager::UserProfilePath(const QString& name) const {
    return QDir(FUserProfilesFolderPath).filePath(MakeValidFileName(name) + QStringLiteral(".prf"));
}

std::optional<TProfile> TProfileManager::SaveUserProfile(TProfile profile, const QString& name,
                                                         QString* errorText) {
    QString error;
    if (WriteProfileToFile(profile, UserProfilePath(name), name, &error).isEmpty()) {
        LogException(QStringLiteral("AddPresetBtnClick"), error);
        LogError(QStringLiteral("Error while saving the preset. ") + error);
        if (errorText)
            *errorText = error;
        return std::nullopt;
    }
    profile.FTitle = name;
    profile.FUserProfile = true;
    AddProfile(profile);
    return profile;
}
