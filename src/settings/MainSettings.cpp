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
    OutputCodec codec;
    QString section;
    QString method;
    QString bitrate;
    QString quality;
};

const QList<PageKeys>& pageKeys() {
    static const QList<PageKeys> keys = {
        {OutputCodec::Mp3, QStringLiteral("mp3"), QStringLiteral("m"), QStringLiteral("b"),
         QStringLiteral("q")},
        {OutputCodec::Aac, QStringLiteral("aac"), QStringLiteral("m"), QStringLiteral("b"),
         QStringLiteral("q")},
        {OutputCodec::Ogg, QStringLiteral("ogg"), QStringLiteral("m"), QStringLiteral("b"),
         QStringLiteral("q")},
        {OutputCodec::Opus, QStringLiteral("opus"), QString(), QStringLiteral("b"), QString()},
        {OutputCodec::Wma, QStringLiteral("wma"), QString(), QStringLiteral("b"), QString()},
        {OutputCodec::Flac, QStringLiteral("flac"), QString(), QString(), QStringLiteral("c")},
        {OutputCodec::Alac, QStringLiteral("alac"), QString(), QString(), QString()},
        {OutputCodec::Wav, QStringLiteral("wav"), QString(), QString(), QString()},
    };
    return keys;
}

const QString SampleRateKey = QStringLiteral("sr");
const QString ChannelKey = QStringLiteral("ch");
const QString OggManagedKey = QStringLiteral("ma");
const QString OpusVbrKey = QStringLiteral("vbr");

template <typename List>
int readPosition(const IniStore& ini, const QString& section, const QString& key, int defaultValue,
                 const List& list) {
    const int position = ini.readInteger(section, key, defaultValue);
    return position >= 0 && position < list.size() ? position : -1;
}

} // namespace

MainSettings defaultMainSettings(const CodecTable& table) {
    MainSettings settings;
    settings.lastOpenedDirectory = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    settings.panel = defaultPanelPositions(table);
    for (const PageKeys& keys : pageKeys()) {
        CodecPagePositions& page = settings.panel.page(keys.codec);
        page.method = 0;
        page.sampleRate = 0;
        page.channel = 0;
        if (!keys.bitrate.isEmpty())
            page.bitrate = 2;
    }
    settings.panel.page(OutputCodec::Mp3).quality = 2;
    settings.panel.page(OutputCodec::Aac).quality = 4;
    settings.panel.page(OutputCodec::Ogg).quality = 2;
    settings.panel.page(OutputCodec::Flac).quality = 12;
    return settings;
}

MainSettings loadMainSettings(const QString& path, const CodecTable& table) {
    const MainSettings defaults = defaultMainSettings(table);
    const IniStore ini(path);
    MainSettings settings = defaults;
    settings.lastOpenedDirectory =
        ini.readString(General, QStringLiteral("LastOpened"), defaults.lastOpenedDirectory);
    settings.lastExtIndex = ini.readInteger(General, QStringLiteral("LastExt"), defaults.lastExtIndex);
    settings.volume = std::clamp(ini.readInteger(General, QStringLiteral("Volume"), defaults.volume), 0, 128);
    const int format =
        ini.readInteger(QStringLiteral("general"), QStringLiteral("format"), defaults.panel.format);
    settings.panel.format = format >= 0 && format < OutputCodecCount ? format : int(OutputCodec::Mp3);

    for (const PageKeys& keys : pageKeys()) {
        const CodecCapabilities* codec = findCodec(table, keys.codec);
        if (!codec)
            continue;
        const CodecPagePositions& fallback = defaults.panel.page(keys.codec);
        CodecPagePositions& page = settings.panel.page(keys.codec);
        if (!keys.method.isEmpty())
            page.method =
                readPosition(ini, keys.section, keys.method, fallback.method, codec->supportedEncodingTypes);
        if (!keys.bitrate.isEmpty())
            page.bitrate =
                readPosition(ini, keys.section, keys.bitrate, fallback.bitrate, codec->supportedBitrates);
        if (!keys.quality.isEmpty())
            page.quality =
                readPosition(ini, keys.section, keys.quality, fallback.quality, codec->supportedQualities);
        if (keys.codec == OutputCodec::Ogg)
            settings.panel.oggManagedBitrate =
                ini.readBool(keys.section, OggManagedKey, defaults.panel.oggManagedBitrate);
        if (keys.codec == OutputCodec::Opus)
            settings.panel.opusVbr = ini.readBool(keys.section, OpusVbrKey, defaults.panel.opusVbr);
        page.sampleRate =
            readPosition(ini, keys.section, SampleRateKey, fallback.sampleRate, codec->supportedSampleRates);
        page.channel =
            readPosition(ini, keys.section, ChannelKey, fallback.channel, codec->supportedChannels);
    }

    const int post =
        ini.readInteger(QStringLiteral("Encode"), QStringLiteral("Post"), defaults.postEncodeAction);
    settings.postEncodeAction = post >= 0 && post <= 3 ? post : defaults.postEncodeAction;
    return settings;
}

bool saveMainSettings(const QString& path, const MainSettings& settings, QString* errorText) {
    IniStore ini(path);
    ini.writeString(General, QStringLiteral("LastOpened"), settings.lastOpenedDirectory);
    ini.writeInteger(General, QStringLiteral("LastExt"), settings.lastExtIndex);
    ini.writeInteger(General, QStringLiteral("Volume"), settings.volume);
    ini.writeInteger(QStringLiteral("general"), QStringLiteral("format"), settings.panel.format);
    for (const PageKeys& keys : pageKeys()) {
        const CodecPagePositions& page = settings.panel.page(keys.codec);
        if (!keys.method.isEmpty())
            ini.writeInteger(keys.section, keys.method, page.method);
        if (!keys.bitrate.isEmpty())
            ini.writeInteger(keys.section, keys.bitrate, page.bitrate);
        if (!keys.quality.isEmpty())
            ini.writeInteger(keys.section, keys.quality, page.quality);
        if (keys.codec == OutputCodec::Ogg)
            ini.writeBool(keys.section, OggManagedKey, settings.panel.oggManagedBitrate);
        if (keys.codec == OutputCodec::Opus)
            ini.writeBool(keys.section, OpusVbrKey, settings.panel.opusVbr);
        ini.writeInteger(keys.section, SampleRateKey, page.sampleRate);
        ini.writeInteger(keys.section, ChannelKey, page.channel);
    }
    ini.writeInteger(QStringLiteral("Encode"), QStringLiteral("Post"), settings.postEncodeAction);
    const bool saved = ini.save(errorText);
    if (!saved)
        logException(QStringLiteral("TMainForm.SaveMainSettings"), errorText ? *errorText : QString());
    return saved;
}
