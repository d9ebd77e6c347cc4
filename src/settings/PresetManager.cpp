#include "settings/PresetManager.h"

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
const QString BitrateSection = QStringLiteral("Bitrate");
const QString QualitySection = QStringLiteral("Quality");
const QString SampleRateSection = QStringLiteral("SampleRate");
const QString ChannelSection = QStringLiteral("Channel");
const QString BitDepthSection = QStringLiteral("BitDepth");
const QString Index = QStringLiteral("Index");

QStringList readListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError(QStringLiteral("Unable to read the preset list %1: %2").arg(path, file.errorString()));
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
Enum readEnum(const IniStore& ini, const QString& section, const QString& key, int count) {
    const int value = ini.readInteger(section, key, 0);
    return Enum(value >= 0 && value < count ? value : 0);
}

} // namespace

PresetManager::PresetManager(const QString& profilesFolderPath, const QString& userProfilesFolderPath)
    : m_profilesFolderPath(profilesFolderPath), m_userProfilesFolderPath(userProfilesFolderPath),
      m_profilesListFilePath(QDir(profilesFolderPath).filePath(ListFileName)),
      m_userProfilesListFilePath(QDir(userProfilesFolderPath).filePath(ListFileName)) {
    if (QFileInfo::exists(m_profilesListFilePath))
        m_profilesList = readListFile(m_profilesListFilePath);
    // Once the user has a list, it alone decides what is listed.
    if (QFileInfo::exists(m_userProfilesListFilePath))
        m_profilesList = readListFile(m_userProfilesListFilePath);
}

void PresetManager::listPresets() {
    logInfo(QStringLiteral("Listing profiles..."));
    for (const QString& entry : std::as_const(m_profilesList)) {
        const QString name = fileNamePart(entry);
        if (name.isEmpty())
            continue;
        const std::pair<QString, bool> candidates[] = {{QDir(m_profilesFolderPath).filePath(name), false},
                                                       {QDir(m_userProfilesFolderPath).filePath(name), true}};
        for (const auto& [candidate, userProfile] : candidates) {
            logInfo(QStringLiteral("Loading profile ") + candidate);
            if (!QFileInfo(candidate).isFile())
                continue;
            QString error;
            if (const auto profile = readPresetFromFile(candidate, userProfile, &error))
                addPreset(*profile);
            else
                logException(QStringLiteral("TProfileManager.ReadProfileFromFile"), candidate + u' ' + error);
            break;
        }
    }
}

QList<Preset> PresetManager::presetsOfCodec(OutputCodec codec) const {
    QList<Preset> profiles;
    for (const Preset& profile : m_presets) {
        if (profile.codecId == codec)
            profiles.append(profile);
    }
    return profiles;
}

void PresetManager::addPreset(const Preset& profile) {
    m_presets.append(profile);
}

std::optional<Preset> PresetManager::readPresetFromFile(const QString& path, bool userProfile,
                                                        QString* errorText) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = probe.errorString();
        return std::nullopt;
    }
    probe.close();

    const IniStore ini(path);
    const int codec = ini.readInteger(General, QStringLiteral("Codec"), 0);
    if (codec < 0 || codec >= OutputCodecCount) {
        if (errorText)
            *errorText = QStringLiteral("unknown output format %1").arg(codec);
        return std::nullopt;
    }
    Preset profile;
    profile.userPreset = userProfile;
    profile.title = ini.readString(General, QStringLiteral("Title"));
    profile.codecId = OutputCodec(codec);
    profile.encodingType =
        readEnum<EncodeType>(ini, General, QStringLiteral("EncodingType"), ordinal(EncodeType::None) + 1);
    profile.customParams = ini.readString(General, QStringLiteral("CustomParams"));
    profile.bitrateIndex = ini.readInteger(BitrateSection, Index, 0);
    profile.oggManagedBitrate = ini.readBool(BitrateSection, QStringLiteral("OggManagedBitrate"), false);
    profile.opusVbr = ini.readBool(BitrateSection, QStringLiteral("OpusVbr"), false);
    profile.qualityIndex = ini.readInteger(QualitySection, Index, 0);
    profile.sampleRate = readEnum<SampleRate>(ini, SampleRateSection, Index, ordinal(SampleRate::Hz8000) + 1);
    profile.channel =
        readEnum<ChannelType>(ini, ChannelSection, Index, ordinal(ChannelType::FourPointOne) + 1);
    profile.bitDepth = readEnum<BitDepth>(ini, BitDepthSection, Index, ordinal(BitDepth::Bits24) + 1);
    return profile;
}

QString PresetManager::writeProfileToFile(const Preset& profile, const QString& path, const QString& name,
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
    const QString base = pathWithoutExtension(path);
    const QString extension = fileExtension(path);
    QString target = path;
    for (int n = 1;; ++n) {
        QFile claim(target);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!claim.exists())
            return fail(claim.errorString());
        target = base + QString::number(n) + extension;
    }

    IniStore ini(target);
    ini.writeString(General, QStringLiteral("Title"), name);
    ini.writeInteger(General, QStringLiteral("Codec"), ordinal(profile.codecId));
    ini.writeInteger(General, QStringLiteral("EncodingType"), ordinal(profile.encodingType));
    ini.writeString(General, QStringLiteral("CustomParams"), profile.customParams);
    ini.writeInteger(BitrateSection, Index, profile.bitrateIndex);
    ini.writeBool(BitrateSection, QStringLiteral("OggManagedBitrate"), profile.oggManagedBitrate);
    ini.writeBool(BitrateSection, QStringLiteral("OpusVbr"), profile.opusVbr);
    ini.writeInteger(QualitySection, Index, profile.qualityIndex);
    ini.writeInteger(SampleRateSection, Index, ordinal(profile.sampleRate));
    ini.writeInteger(ChannelSection, Index, ordinal(profile.channel));
    ini.writeInteger(BitDepthSection, Index, ordinal(profile.bitDepth));
    QString error;
    if (!ini.save(&error)) {
        QFile::remove(target);
        return fail(error);
    }

    QStringList list = m_profilesList;
    list.append(target);
    QSaveFile listFile(m_userProfilesListFilePath);
    const QByteArray text = (list.join(u'\n') + u'\n').toUtf8();
    if (!QDir().mkpath(QFileInfo(m_userProfilesListFilePath).absolutePath()) ||
        !listFile.open(QIODevice::WriteOnly) || listFile.write(text) != text.size() || !listFile.commit()) {
        // An unlisted preset would never show; take it away again.
        QFile::remove(target);
        return fail(QStringLiteral("Unable to save the preset list %1: %2")
                        .arg(m_userProfilesListFilePath, listFile.errorString()));
    }
    m_profilesList = list;
    return target;
}

QString PresetManager::userProfilePath(const QString& name) const {
    return QDir(m_userProfilesFolderPath).filePath(makeValidFileName(name) + QStringLiteral(".prf"));
}

std::optional<Preset> PresetManager::saveUserPreset(Preset profile, const QString& name, QString* errorText) {
    QString error;
    if (writeProfileToFile(profile, userProfilePath(name), name, &error).isEmpty()) {
        logException(QStringLiteral("AddPresetBtnClick"), error);
        logError(QStringLiteral("Error while saving the preset. ") + error);
        if (errorText)
            *errorText = error;
        return std::nullopt;
    }
    profile.title = name;
    profile.userPreset = true;
    addPreset(profile);
    return profile;
}
