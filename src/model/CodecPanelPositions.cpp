#include "model/CodecPanelPositions.h"

TCodecPanelPositions DefaultPanelPositions(const TCodecTable& table) {
    TCodecPanelPositions panel;
    for (const TCodec& codec : table) {
        TCodecPagePositions& page = panel.Page(codec.FCodecId);
        page.Method = codec.FDefaultEncodingTypeIndex;
        page.Bitrate = codec.FDefaultBitrateIndex;
        page.Quality = codec.FDefaultQualityIndex;
        page.SampleRate = codec.FDefaultSampleRateIndex;
        page.Channel = codec.FDefaultChannelIndex;
        page.BitDepth = codec.FDefaltBitDepthIndex;
    }
    return panel;
}
