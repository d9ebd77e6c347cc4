#pragma once

#include "model/CodecPanelPositions.h"

#include <QString>
#include <optional>

// One preset: a named set of codec choices for one output format. Sample
// rate, channels and bit depth are kept as values; bit rate and quality as
// positions in the format's lists.
struct TProfile {
    TOutputCodec FCodecId = ocMP3;
    TEncodeType FEncodingType = etCBR;
    qint32 FBitrateIndex = 0;
    TChannelType FChannel = chOriginal;
    TSampleRate FSampleRate = srOriginal;
    qint32 FQualityIndex = 0; // FLAC: position in the compression-level list
    TBitDepth FBitDepth = bdOriginal;
    QString FTitle;
    bool FOggManagedBitrate = false;
    bool FOpusVbr = false;
    bool FUserProfile = false; // found in or saved to the user folder; not stored
    QString FCustomParams;     // stored and read, never applied

    bool operator==(const TProfile&) const = default;
};

// The panel with the preset's choices set on the page of its format, which
// also becomes the chosen format. A stored value that the format's list does
// not hold leaves that position as it was.
TCodecPanelPositions ApplyPreset(const TCodecTable& table, const TProfile& preset,
                                 TCodecPanelPositions panel);

// A user preset made from the page of the chosen format. A format the table
// does not know, or a list without a selection, gives no preset and the reason
// in errorText.
std::optional<TProfile> PresetFromPanel(const TCodecTable& table, const TCodecPanelPositions& panel,
                                        const QString& name, QString* errorText = nullptr);
