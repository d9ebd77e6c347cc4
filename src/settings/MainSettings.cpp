#include "settings/MainSettings.h"

#include "base/Log.h"
#include "settings/IniStore.h"

#include <QStandardPaths>

#include <algorithm>

namespace {

const QString General = QStringLiteral("General");

// The section and keys of each format's page; an empty key is a list the page
// does not have.
struct PageKeys {
    TOutputCodec Codec;
    QString Section;
    QString Method;
    QString Bitrate;
    QString Quality;
};

const QList<PageKeys>& pageKeys() {
    static const QList<PageKeys> keys = {
        {ocMP3, QStringLiteral("mp3"), QStringLiteral("m"), QStringLiteral("b"), QStringLiteral("q")},
        {ocAAC, QStringLiteral("aac"), QStringLiteral("m"), QStringLiteral("b"), QStringLiteral("q")},
        {ocOGG, QStringLiteral("ogg"), QStringLiteral("m"), QStringLiteral("b"), QStringLiteral("q")},
        {ocOPUS, QStringLiteral("opus"), QString(), QStringLiteral("b"), QString()},
        {ocWMA, QStringLiteral("wma"), QString(), QStringLiteral("b"), QString()},
        {ocFLAC, QStringLiteral("flac"), QString(), QString(), QStringLiteral("c")},
        {ocALAC, QStringLiteral("alac"), QString(), QString(), QString()},
        {ocWAV, QStringLiteral("wav"), QString(), QString(), QString()},
    };
    return keys;
}

const QString SampleRateKey = QStringLiteral("sr");
const QString ChannelKey = QStringLiteral("ch");
const QString OggManagedKey = QStringLiteral("ma");
const QString OpusVbrKey = QStringLiteral("vbr");

template <typename List>
int readPosition(const TIniStore& ini, const QString& section, const QString& key, int defaultValue,
                 const List& list) {
    const int position = ini.ReadInteger(section, key, defaultValue);
    return position >= 0 && position < list.size() ? position : -1;
}

} // namespace

TMainSettings DefaultMainSettings(const TCodecTable& table) {
    TMainSettings settings;
    settings.LastOpenedDirectory = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    settings.Panel = DefaultPanelPositions(table);
    for (const PageKeys& keys : pageKeys()) {
        TCodecPagePositions& page = settings.Panel.Page(keys.Codec);
        page.Method = 0;
        page.SampleRate = 0;
        page.Channel = 0;
        if (!keys.Bitrate.isEmpty())
            page.Bitrate = 2;
    }
    settings.Panel.Page(ocMP3).Quality = 2;
    settings.Panel.Page(ocAAC).Quality = 4;
    settings.Panel.Page(ocOGG).Quality = 2;
    settings.Panel.Page(ocFLAC).Quality = 12;
    return settings;
}

TMainSettings LoadMainSettings(const QString& path, const TCodecTable& table) {
    const TMainSettings defaults = DefaultMainSettings(table);
    const TIniStore ini(path);
    TMainSettings settings = defaults;
    settings.LastOpenedDirectory =
        ini.ReadString(General, QStringLiteral("LastOpened"), defaults.LastOpenedDirectory);
    settings.LastExtIndex = ini.ReadInteger(General, QStringLiteral("LastExt"), defaults.LastExtIndex);
    settings.Volume = std::clamp(ini.ReadInteger(General, QStringLiteral("Volume"), defaults.Volume), 0, 128);
    settings.CheckUpdateOnStart =
        ini.ReadBool(QStringLiteral("Update"), QStringLiteral("Active"), defaults.CheckUpdateOnStart);
    const int format =
        ini.ReadInteger(QStringLiteral("general"), QStringLiteral("format"), defaults.Panel.Format);
    settings.Panel.Format = format >= 0 && format < OutputCodecCount ? format : int(ocMP3);

    for (const PageKeys& keys : pageKeys()) {
        const TCodec* codec = FindCodec(table, keys.Codec);
        if (!codec)
            continue;
        const TCodecPagePositions& fallback = defaults.Panel.Page(keys.Codec);
        TCodecPagePositions& page = settings.Panel.Page(keys.Codec);
        if (!keys.Method.isEmpty())
            page.Method =
                readPosition(ini, keys.Section, keys.Method, fallback.Method, codec->FSupportedEncodingTypes);
        if (!keys.Bitrate.isEmpty())
            page.Bitrate =
                readPosition(ini, keys.Section, keys.Bitrate, fallback.Bitrate, codec->FSupportedBitrates);
        if (!keys.Quality.isEmpty())
            page.Quality =
                readPosition(ini, keys.Section, keys.Quality, fallback.Quality, codec->FSupportedQualities);
        if (keys.Codec == ocOGG)
            settings.Panel.OggManagedBitrate =
                ini.ReadBool(keys.Section, OggManagedKey, defaults.Panel.OggManagedBitrate);
        if (keys.Codec == ocOPUS)
            settings.Panel.OpusVbr = ini.ReadBool(keys.Section, OpusVbrKey, defaults.Panel.OpusVbr);
        page.SampleRate =
            readPosition(ini, keys.Section, SampleRateKey, fallback.SampleRate, codec->FSupportedSampleRates);
        page.Channel =
            readPosition(ini, keys.Section, ChannelKey, fallback.Channel, codec->FSupportedChannels);
    }

    const int post =
        ini.ReadInteger(QStringLiteral("Encode"), QStringLiteral("Post"), defaults.PostEncodeAction);
    settings.PostEncodeAction = post >= 0 && post <= 3 ? post : defaults.PostEncodeAction;
    return settings;
}

bool SaveMainSettings(const QString& path, const TMainSettings& settings, QString* errorText) {
    TIniStore ini(path);
    ini.WriteString(General, QStringLiteral("LastOpened"), settings.LastOpenedDirectory);
    ini.WriteInteger(General, QStringLiteral("LastExt"), settings.LastExtIndex);
    ini.WriteInteger(General, QStringLiteral("Volume"), settings.Volume);
    ini.WriteInteger(QStringLiteral("general"), QStringLiteral("format"), settings.Panel.Format);
    for (const PageKeys& keys : pageKeys()) {
        const TCodecPagePositions& page = settings.Panel.Page(keys.Codec);
        if (!keys.Method.isEmpty())
            ini.WriteInteger(keys.Section, keys.Method, page.Method);
        if (!keys.Bitrate.isEmpty())
            ini.WriteInteger(keys.Section, keys.Bitrate, page.Bitrate);
        if (!keys.Quality.isEmpty())
            ini.WriteInteger(keys.Section, keys.Quality, page.Quality);
        if (keys.Codec == ocOGG)
            ini.WriteBool(keys.Section, OggManagedKey, settings.Panel.OggManagedBitrate);
        if (keys.Codec == ocOPUS)
            ini.WriteBool(keys.Section, OpusVbrKey, settings.Panel.OpusVbr);
        ini.WriteInteger(keys.Section, SampleRateKey, page.SampleRate);
        ini.WriteInteger(keys.Section, ChannelKey, page.Channel);
    }
    ini.WriteInteger(QStringLiteral("Encode"), QStringLiteral("Post"), settings.PostEncodeAction);
    const bool saved = ini.Save(errorText);
    if (!saved)
        LogException(QStringLiteral("TMainForm.SaveMainSettings"), errorText ? *errorText : QString());
    return saved;
}
