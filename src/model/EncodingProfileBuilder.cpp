#include "model/EncodingProfileBuilder.h"

namespace {

template <typename List> bool isValidPosition(const List& list, int position) {
    return position >= 0 && position < list.size();
}

// The position itself when it lies in the list, otherwise the fallback.
template <typename List> int positionOr(const List& list, int position, int fallback) {
    return isValidPosition(list, position) ? position : fallback;
}

void applyCommonRule(const TCodec& codec, const TCodecPagePositions& page, TEncodingProfile& profile) {
    profile.FCodecId = codec.FCodecId;

    const int sampleRate = positionOr(codec.FSupportedSampleRates, page.SampleRate, 0);
    profile.FSampleRate = EnumDisplayText(codec.FSupportedSampleRates.value(sampleRate, srOriginal));
    profile.FChangeSampleRate = sampleRate != 0;

    const int channel = positionOr(codec.FSupportedChannels, page.Channel, 0);
    profile.FChannel = codec.FSupportedChannels.value(channel, chOriginal);
    profile.FChangeChannel = profile.FChannel != chOriginal;

    profile.FChangeBitDepth = false;
    if (!codec.FSupportedBitDepths.isEmpty()) {
        const int bitDepth = positionOr(codec.FSupportedBitDepths, page.BitDepth, 0);
        profile.FBitDepth = codec.FSupportedBitDepths.value(bitDepth, bdOriginal);
        profile.FChangeBitDepth = profile.FBitDepth != bdOriginal;
    }
}

QString bitrateText(const TCodec& codec, const TCodecPagePositions& page,
                    const std::optional<QString>& typedBitrate) {
    if (typedBitrate)
        return *typedBitrate;
    return codec.FSupportedBitrates.value(
        positionOr(codec.FSupportedBitrates, page.Bitrate, codec.FDefaultBitrateIndex));
}

TEncodeType methodOf(const TCodec& codec, const TCodecPagePositions& page) {
    return codec.FSupportedEncodingTypes.value(
        positionOr(codec.FSupportedEncodingTypes, page.Method, codec.FDefaultEncodingTypeIndex), etCBR);
}

int qualityPosition(const TCodec& codec, const TCodecPagePositions& page) {
    return positionOr(codec.FSupportedQualities, page.Quality, codec.FDefaultQualityIndex);
}

} // namespace

QString AacQualityText(int qualityPosition) {
    // Integer arithmetic keeps "1" and "2" free of a fraction and the separator a ".".
    const int tenths = qualityPosition + 1;
    if (tenths % 10 == 0)
        return QString::number(tenths / 10);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

TEncodingProfile CreateEncodingProfile(const TCodecTable& table, const TCodecPanelPositions& panel,
                                       const std::optional<QString>& typedBitrate) {
    const bool knownFormat = panel.Format >= 0 && panel.Format < OutputCodecCount;
    const auto format = knownFormat ? TOutputCodec(panel.Format) : ocMP3;
    TEncodingProfile profile;
    const TCodec* codec = FindCodec(table, format);
    if (!codec) {
        profile.FCodecId = format;
        return profile;
    }
    const TCodecPagePositions& page = panel.Page(format);

    switch (format) {
    case ocMP3:
    case ocAAC:
    case ocOGG:
        profile.FEncodeType = methodOf(*codec, page);
        if (profile.FEncodeType == etCBR) {
            profile.FBitrate = bitrateText(*codec, page, typedBitrate);
        } else {
            const int quality = qualityPosition(*codec, page);
            if (format == ocMP3)
                profile.FQuality = QString::number(quality);
            else if (format == ocAAC)
                profile.FQuality = AacQualityText(quality);
            else
                profile.FQuality = QString::number(quality + 1);
        }
        if (format == ocOGG)
            profile.FOggManagedBitrateMode = panel.OggManagedBitrate;
        break;
    case ocOPUS:
        // Opus VBR still encodes around the chosen bit rate.
        profile.FEncodeType = panel.OpusVbr ? etQuality : etCBR;
        profile.FBitrate = bitrateText(*codec, page, typedBitrate);
        break;
    case ocWMA:
        profile.FEncodeType = etCBR;
        profile.FBitrate = bitrateText(*codec, page, typedBitrate);
        break;
    case ocFLAC:
        profile.FEncodeType = etCompression;
        profile.FCompression = QString::number(qualityPosition(*codec, page));
        break;
    case ocALAC:
    case ocWAV:
        profile.FEncodeType = etNone;
        break;
    }
    applyCommonRule(*codec, page, profile);
    return profile;
}
