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

TCodecPanelPositions ApplyPreset(const TCodecTable& table, const TProfile& preset,
                                 TCodecPanelPositions panel) {
    const TCodec* codec = FindCodec(table, preset.FCodecId);
    if (!codec)
        return panel;
    panel.Format = preset.FCodecId;
    TCodecPagePositions& page = panel.Page(preset.FCodecId);
    setPositionOf(codec->FSupportedChannels, preset.FChannel, page.Channel);
    setPositionOf(codec->FSupportedSampleRates, preset.FSampleRate, page.SampleRate);

    switch (preset.FCodecId) {
    case ocMP3:
    case ocAAC:
    case ocOGG:
        // The method lists start at etCBR without gaps, so the value is the position.
        setPosition(preset.FEncodingType, codec->FSupportedEncodingTypes.size(), page.Method);
        setPosition(preset.FBitrateIndex, codec->FSupportedBitrates.size(), page.Bitrate);
        setPosition(preset.FQualityIndex, codec->FSupportedQualities.size(), page.Quality);
        if (preset.FCodecId == ocOGG)
            panel.OggManagedBitrate = preset.FOggManagedBitrate;
        break;
    case ocOPUS:
        setPosition(preset.FBitrateIndex, codec->FSupportedBitrates.size(), page.Bitrate);
        panel.OpusVbr = preset.FOpusVbr;
        break;
    case ocWMA:
        setPosition(preset.FBitrateIndex, codec->FSupportedBitrates.size(), page.Bitrate);
        break;
    case ocFLAC:
        setPosition(preset.FQualityIndex, codec->FSupportedQualities.size(), page.Quality);
        setPositionOf(codec->FSupportedBitDepths, preset.FBitDepth, page.BitDepth);
        break;
    case ocALAC:
    case ocWAV:
        setPositionOf(codec->FSupportedBitDepths, preset.FBitDepth, page.BitDepth);
        break;
    }
    return panel;
}

std::optional<TProfile> PresetFromPanel(const TCodecTable& table, const TCodecPanelPositions& panel,
                                        const QString& name, QString* errorText) {
    auto fail = [&](const QString& reason) -> std::optional<TProfile> {
        if (errorText)
            *errorText = reason;
        return std::nullopt;
    };
    const TCodec* codec = panel.Format >= 0 && panel.Format < OutputCodecCount
                              ? FindCodec(table, TOutputCodec(panel.Format))
                              : nullptr;
    if (!codec)
        return fail(QStringLiteral("Unable to decidec the selected codec type."));
    const TCodecPagePositions& page = panel.Page(codec->FCodecId);
    auto noSelection = [&](const QString& list) {
        return fail(QStringLiteral("No %1 is selected.").arg(list));
    };

    TProfile preset;
    preset.FUserProfile = true;
    preset.FTitle = name;
    preset.FCodecId = codec->FCodecId;
    if (!holds(codec->FSupportedChannels, page.Channel))
        return noSelection(QStringLiteral("channel layout"));
    preset.FChannel = codec->FSupportedChannels[page.Channel];
    if (!holds(codec->FSupportedSampleRates, page.SampleRate))
        return noSelection(QStringLiteral("sample rate"));
    preset.FSampleRate = codec->FSupportedSampleRates[page.SampleRate];

    const bool lossy = !codec->FSupportedBitrates.isEmpty();
    if (lossy) {
        if (!holds(codec->FSupportedBitrates, page.Bitrate))
            return noSelection(QStringLiteral("bit rate"));
        preset.FBitrateIndex = page.Bitrate;
    }
    switch (codec->FCodecId) {
    case ocMP3:
    case ocAAC:
    case ocOGG:
        if (!holds(codec->FSupportedEncodingTypes, page.Method))
            return noSelection(QStringLiteral("encoding method"));
        if (!holds(codec->FSupportedQualities, page.Quality))
            return noSelection(QStringLiteral("quality"));
        preset.FEncodingType = codec->FSupportedEncodingTypes[page.Method];
        preset.FQualityIndex = page.Quality;
        if (codec->FCodecId == ocOGG)
            preset.FOggManagedBitrate = panel.OggManagedBitrate;
        break;
    case ocOPUS:
        preset.FEncodingType = panel.OpusVbr ? etQuality : etCBR;
        preset.FOpusVbr = panel.OpusVbr;
        break;
    case ocWMA:
        preset.FEncodingType = etCBR;
        break;
    case ocFLAC:
        if (!holds(codec->FSupportedQualities, page.Quality))
            return noSelection(QStringLiteral("compression level"));
        preset.FEncodingType = etCompression;
        preset.FQualityIndex = page.Quality;
        break;
    case ocALAC:
    case ocWAV:
        preset.FEncodingType = etNone;
        break;
    }
    if (!codec->FSupportedBitDepths.isEmpty()) {
        if (!holds(codec->FSupportedBitDepths, page.BitDepth))
            return noSelection(QStringLiteral("bit depth"));
        preset.FBitDepth = codec->FSupportedBitDepths[page.BitDepth];
    }
    return preset;
}
