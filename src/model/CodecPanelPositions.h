#pragma once

#include "model/CodecTable.h"

#include <array>

// The selections of one format's page of the codec panel, as positions in the
// lists that the codec table fills; -1 stands for a list without a selection.
struct TCodecPagePositions {
    int Method = 0;     // MP3, AAC and Ogg Vorbis: position in the encoding-type list
    int Bitrate = 0;    // lossy formats: position in the bit-rate list
    int Quality = 0;    // MP3, AAC, Ogg Vorbis: quality list; FLAC: compression-level list
    int SampleRate = 0; // position in the format's sample-rate list (not a TSampleRate)
    int Channel = 0;    // position in the channel list
    int BitDepth = 0;   // FLAC, ALAC, WAV; never stored with the settings

    bool operator==(const TCodecPagePositions&) const = default;
};

// Everything the codec panel shows: the chosen format and every page.
struct TCodecPanelPositions {
    int Format = ocMP3; // position in the format list, which is the TOutputCodec ordinal
    std::array<TCodecPagePositions, OutputCodecCount> Pages{};
    bool OggManagedBitrate = false; // "Managed bitrate mode"
    bool OpusVbr = false;           // "Do VBR encoding"

    TCodecPagePositions& Page(TOutputCodec codec) { return Pages[codec]; }
    const TCodecPagePositions& Page(TOutputCodec codec) const { return Pages[codec]; }

    bool operator==(const TCodecPanelPositions&) const = default;
};

// The positions the panel shows right after it is filled: the table's defaults.
TCodecPanelPositions DefaultPanelPositions(const TCodecTable& table);
