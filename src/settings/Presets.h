#pragma once

#include "model/CodecPanelPositions.h"

#include <QString>
#include <optional>

// One preset: a named set of codec choices for one output format. Sample
// rate, channels and bit depth are kept as values; bit rate and quality as
// positions in the format's lists.
struct Preset {
    OutputCodec codecId = OutputCodec::Mp3;
    EncodeType encodingType = EncodeType::Cbr;
    qint32 bitrateIndex = 0;
    ChannelType channel = ChannelType::Original;
    SampleRate sampleRate = SampleRate::Original;
    qint32 qualityIndex = 0; // FLAC: position in the compression-level list
    BitDepth bitDepth = BitDepth::Original;
    QString title;
    bool oggManagedBitrate = false;
    bool opusVbr = false;
    bool userPreset = false; // found in or saved to the user folder; not stored
    QString customParams;    // stored and read, never applied

    bool operator==(const Preset&) const = default;
};

// The panel with the preset's choices set on the page of its format, which
// also becomes the chosen format. A stored value that the format's list does
// not hold leaves that position as it was.
CodecPanelPositions applyPreset(const CodecTable& table, const Preset& preset, CodecPanelPositions panel);

// A user preset made from the page of the chosen format. A format the table
// does not know, or a list without a selection, gives no preset and the reason
// in errorText.
std::optional<Preset> presetFromPanel(const CodecTable& table, const CodecPanelPositions& panel,
                                      const QString& name, QString* errorText = nullptr);
