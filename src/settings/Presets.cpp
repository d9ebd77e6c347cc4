#include "settings/Presets.h"

namespace {

template <typename List> bool holds(const List& list, int position) {
    return position >= 0 && position < list.size();
}

template <typename Enum> void setPositionOf(const QList<Enum>& list, Enum value, int& position) {
    const int found = int(list.indexOf(value));
    if (found >= 0)
        position = found;
}

void setPosition(int stored, qsizetype listSize, int& position) {
    if (stored >= 0 && stored < listSize)
        position = stored;
}

} // namespace

CodecPanelPositions applyPreset(const CodecTable& table, const Preset& preset, CodecPanelPositions panel) {
    const CodecCapabilities* codec = findCodec(table, preset.codecId);
    if (!codec)
        return panel;
    panel.format = ordinal(preset.codecId);
    CodecPagePositions& page = panel.page(preset.codecId);
    setPositionOf(codec->supportedChannels, preset.channel, page.channel);
    setPositionOf(codec->supportedSampleRates, preset.sampleRate, page.sampleRate);

    switch (preset.codecId) {
    case OutputCodec::Mp3:
    case OutputCodec::Aac:
    case OutputCodec::Ogg:
        // The method lists start at EncodeType::Cbr without gaps, so the value is the position.
        setPosition(ordinal(preset.encodingType), codec->supportedEncodingTypes.size(), page.method);
        setPosition(preset.bitrateIndex, codec->supportedBitrates.size(), page.bitrate);
        setPosition(preset.qualityIndex, codec->supportedQualities.size(), page.quality);
        if (preset.codecId == OutputCodec::Ogg)
            panel.oggManagedBitrate = preset.oggManagedBitrate;
        break;
    case OutputCodec::Opus:
        setPosition(preset.bitrateIndex, codec->supportedBitrates.size(), page.bitrate);
        panel.opusVbr = preset.opusVbr;
        break;
    case OutputCodec::Wma:
        setPosition(preset.bitrateIndex, codec->supportedBitrates.size(), page.bitrate);
        break;
    case OutputCodec::Flac:
        setPosition(preset.qualityIndex, codec->supportedQualities.size(), page.quality);
        setPositionOf(codec->supportedBitDepths, preset.bitDepth, page.bitDepth);
        break;
    case OutputCodec::Alac:
    case OutputCodec::Wav:
        setPositionOf(codec->supportedBitDepths, preset.bitDepth, page.bitDepth);
        break;
    }
    return panel;
}

std::optional<Preset> presetFromPanel(const CodecTable& table, const CodecPanelPositions& panel,
                                      const QString& name, QString* errorText) {
    auto fail = [&](const QString& reason) -> std::optional<Preset> {
        if (errorText)
            *errorText = reason;
        return std::nullopt;
    };
    const CodecCapabilities* codec = panel.format >= 0 && panel.format < OutputCodecCount
                                         ? findCodec(table, OutputCodec(panel.format))
                                         : nullptr;
    if (!codec)
        return fail(QStringLiteral("Unable to decidec the selected codec type."));
    const CodecPagePositions& page = panel.page(codec->codecId);
    auto noSelection = [&](const QString& list) {
        return fail(QStringLiteral("No %1 is selected.").arg(list));
    };

    Preset preset;
    preset.userPreset = true;
    preset.title = name;
    preset.codecId = codec->codecId;
    if (!holds(codec->supportedChannels, page.channel))
        return noSelection(QStringLiteral("channel layout"));
    preset.channel = codec->supportedChannels[page.channel];
    if (!holds(codec->supportedSampleRates, page.sampleRate))
        return noSelection(QStringLiteral("sample rate"));
    preset.sampleRate = codec->supportedSampleRates[page.sampleRate];

    const bool lossy = !codec->supportedBitrates.isEmpty();
    if (lossy) {
        if (!holds(codec->supportedBitrates, page.bitrate))
            return noSelection(QStringLiteral("bit rate"));
        preset.bitrateIndex = page.bitrate;
    }
    switch (codec->codecId) {
    case OutputCodec::Mp3:
    case OutputCodec::Aac:
    case OutputCodec::Ogg:
        if (!holds(codec->supportedEncodingTypes, page.method))
            return noSelection(QStringLiteral("encoding method"));
        if (!holds(codec->supportedQualities, page.quality))
            return noSelection(QStringLiteral("quality"));
        preset.encodingType = codec->supportedEncodingTypes[page.method];
        preset.qualityIndex = page.quality;
        if (codec->codecId == OutputCodec::Ogg)
            preset.oggManagedBitrate = panel.oggManagedBitrate;
        break;
    case OutputCodec::Opus:
        preset.encodingType = panel.opusVbr ? EncodeType::Quality : EncodeType::Cbr;
        preset.opusVbr = panel.opusVbr;
        break;
    case OutputCodec::Wma:
        preset.encodingType = EncodeType::Cbr;
        break;
    case OutputCodec::Flac:
        if (!holds(codec->supportedQualities, page.quality))
            return noSelection(QStringLiteral("compression level"));
        preset.encodingType = EncodeType::Compression;
        preset.qualityIndex = page.quality;
        break;
    case OutputCodec::Alac:
    case OutputCodec::Wav:
        preset.encodingType = EncodeType::None;
        break;
    }
    if (!codec->supportedBitDepths.isEmpty()) {
        if (!holds(codec->supportedBitDepths, page.bitDepth))
            return noSelection(QStringLiteral("bit depth"));
        preset.bitDepth = codec->supportedBitDepths[page.bitDepth];
    }
    return preset;
}
