#include "model/CodecPanelPositions.h"

CodecPanelPositions defaultPanelPositions(const CodecTable& table) {
    CodecPanelPositions panel;
    for (const CodecCapabilities& codec : table) {
        CodecPagePositions& page = panel.page(codec.codecId);
        page.method = codec.defaultEncodingTypeIndex;
        page.bitrate = codec.defaultBitrateIndex;
        page.quality = codec.defaultQualityIndex;
        page.sampleRate = codec.defaultSampleRateIndex;
        page.channel = codec.defaultChannelIndex;
        page.bitDepth = codec.defaultBitDepthIndex;
    }
    return panel;
}
