#pragma once

#include "model/CodecTable.h"

#include <array>

// The selections of one format's page of the codec panel, as positions in the
// lists that the codec table fills; -1 stands for a list without a selection.
struct CodecPagePositions {
    int method = 0;     // MP3, AAC and Ogg Vorbis: position in the encoding-type list
    int bitrate = 0;    // lossy formats: position in the bit-rate list
    int quality = 0;    // MP3, AAC, Ogg Vorbis: quality list; FLAC: compression-level list
    int sampleRate = 0; // position in the format's sample-rate list (not a SampleRate)
    int channel = 0;    // position in the channel list
    int bitDepth = 0;   // FLAC, ALAC, WAV; never stored with the settings

    bool operator==(const CodecPagePositions&) const = default;
};

// Everything the codec panel shows: the chosen format and every page.
struct CodecPanelPositions {
    int format = ordinal(OutputCodec::Mp3); // position in the format list, which is the OutputCodec ordinal
    std::array<CodecPagePositions, OutputCodecCount> pages{};
    bool oggManagedBitrate = false; // "Managed bitrate mode"
    bool opusVbr = false;           // "Do VBR encoding"

    CodecPagePositions& page(OutputCodec codec) { return pages[ordinal(codec)]; }
    const CodecPagePositions& page(OutputCodec codec) const { return pages[ordinal(codec)]; }

    bool operator==(const CodecPanelPositions&) const = default;
};

// The positions the panel shows right after it is filled: the table's defaults.
CodecPanelPositions defaultPanelPositions(const CodecTable& table);
