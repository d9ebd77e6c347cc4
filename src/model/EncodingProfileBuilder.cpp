#include "model/EncodingProfileBuilder.h"

namespace {

template <typename List> bool isValidPosition(const List& list, int position) {
    return position >= 0 && position < list.size();
}

// The position itself when it lies in the list, otherwise the fallback.
template <typename List> int positionOr(const List& list, int position, int fallback) {
    return isValidPosition(list, position) ? position : fallback;
}

void applyCommonRule(const CodecCapabilities& codec, const CodecPagePositions& page,
                     EncodingProfile& profile) {
    profile.codecId = codec.codecId;

    const int sampleRate = positionOr(codec.supportedSampleRates, page.sampleRate, 0);
    profile.sampleRate = displayText(codec.supportedSampleRates.value(sampleRate, SampleRate::Original));
    profile.changeSampleRate = sampleRate != 0;

    const int channel = positionOr(codec.supportedChannels, page.channel, 0);
    profile.channel = codec.supportedChannels.value(channel, ChannelType::Original);
    profile.changeChannel = profile.channel != ChannelType::Original;

    profile.changeBitDepth = false;
    if (!codec.supportedBitDepths.isEmpty()) {
        const int bitDepth = positionOr(codec.supportedBitDepths, page.bitDepth, 0);
        profile.bitDepth = codec.supportedBitDepths.value(bitDepth, BitDepth::Original);
        profile.changeBitDepth = profile.bitDepth != BitDepth::Original;
    }
}

QString bitrateText(const CodecCapabilities& codec, const CodecPagePositions& page,
                    const std::optional<QString>& typedBitrate) {
    if (typedBitrate)
        return *typedBitrate;
    return codec.supportedBitrates.value(
        positionOr(codec.supportedBitrates, page.bitrate, codec.defaultBitrateIndex));
}

EncodeType methodOf(const CodecCapabilities& codec, const CodecPagePositions& page) {
    return codec.supportedEncodingTypes.value(
        positionOr(codec.supportedEncodingTypes, page.method, codec.defaultEncodingTypeIndex),
        EncodeType::Cbr);
}

int qualityPosition(const CodecCapabilities& codec, const CodecPagePositions& page) {
    return positionOr(codec.supportedQualities, page.quality, codec.defaultQualityIndex);
}

} // namespace

QString aacQualityText(int qualityPosition) {
    // Integer arithmetic keeps "1" and "2" free of a fraction and the separator a ".".
    const int tenths = qualityPosition + 1;
    if (tenths % 10 == 0)
        return QString::number(tenths / 10);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

EncodingProfile createEncodingProfile(const CodecTable& table, const CodecPanelPositions& panel,
                                      const std::optional<QString>& typedBitrate) {
    const bool knownFormat = panel.format >= 0 && panel.format < OutputCodecCount;
    const auto format = knownFormat ? OutputCodec(panel.format) : OutputCodec::Mp3;
    EncodingProfile profile;
    const CodecCapabilities* codec = findCodec(table, format);
    if (!codec) {
        profile.codecId = format;
        return profile;
    }
    const CodecPagePositions& page = panel.page(format);

    switch (format) {
    case OutputCodec::Mp3:
    case OutputCodec::Aac:
    case OutputCodec::Ogg:
        profile.encodeType = methodOf(*codec, page);
        if (profile.encodeType == EncodeType::Cbr) {
            profile.bitrate = bitrateText(*codec, page, typedBitrate);
        } else {
            const int quality = qualityPosition(*codec, page);
            if (format == OutputCodec::Mp3)
                profile.quality = QString::number(quality);
            else if (format == OutputCodec::Aac)
                profile.quality = aacQualityText(quality);
            else
                profile.quality = QString::number(quality + 1);
        }
        if (format == OutputCodec::Ogg)
            profile.oggManagedBitrateMode = panel.oggManagedBitrate;
        break;
    case OutputCodec::Opus:
        // Opus VBR still encodes around the chosen bit rate.
        profile.encodeType = panel.opusVbr ? EncodeType::Quality : EncodeType::Cbr;
        profile.bitrate = bitrateText(*codec, page, typedBitrate);
        break;
    case OutputCodec::Wma:
        profile.encodeType = EncodeType::Cbr;
        profile.bitrate = bitrateText(*codec, page, typedBitrate);
        break;
    case OutputCodec::Flac:
        profile.encodeType = EncodeType::Compression;
        profile.compression = QString::number(qualityPosition(*codec, page));
        break;
    case OutputCodec::Alac:
    case OutputCodec::Wav:
        profile.encodeType = EncodeType::None;
        break;
    }
    applyCommonRule(*codec, page, profile);
    return profile;
}
