#include "model/CodecTable.h"

namespace {

QStringList lossyBitrates() {
    return {QStringLiteral("320"), QStringLiteral("256"), QStringLiteral("192"), QStringLiteral("160"),
            QStringLiteral("128"), QStringLiteral("112"), QStringLiteral("96"),  QStringLiteral("80"),
            QStringLiteral("64"),  QStringLiteral("48"),  QStringLiteral("32")};
}

// The decimal texts first..last.
QStringList numberTexts(int first, int last) {
    QStringList texts;
    for (int n = first; n <= last; ++n)
        texts.append(QString::number(n));
    return texts;
}

// MP3 has no 96000, 11025 or 8000; the other lossy codecs have no 96000.
const QList<SampleRate> mp3SampleRates = {SampleRate::Original, SampleRate::Hz48000, SampleRate::Hz44100,
                                          SampleRate::Hz32000,  SampleRate::Hz22050, SampleRate::Hz16000};
const QList<SampleRate> lossySampleRates = {SampleRate::Original, SampleRate::Hz48000, SampleRate::Hz44100,
                                            SampleRate::Hz32000,  SampleRate::Hz22050, SampleRate::Hz16000,
                                            SampleRate::Hz11025,  SampleRate::Hz8000};
const QList<SampleRate> allSampleRates = {SampleRate::Original, SampleRate::Hz96000, SampleRate::Hz48000,
                                          SampleRate::Hz44100,  SampleRate::Hz32000, SampleRate::Hz22050,
                                          SampleRate::Hz16000,  SampleRate::Hz11025, SampleRate::Hz8000};
const QList<ChannelType> channels = {ChannelType::Original, ChannelType::Mono, ChannelType::Stereo};
const QList<BitDepth> bitDepths = {BitDepth::Original, BitDepth::Bits16, BitDepth::Bits24};

int positionOf(const QStringList& list, const QString& text) {
    return int(list.indexOf(text));
}

template <typename Enum> int positionOf(const QList<Enum>& list, Enum value) {
    return int(list.indexOf(value));
}

CodecCapabilities lossyCodec(OutputCodec id, QList<EncodeType> methods, const QList<SampleRate>& sampleRates,
                             SampleRate defaultSampleRate, const QString& defaultBitrate) {
    CodecCapabilities codec;
    codec.codecId = id;
    codec.supportedEncodingTypes = std::move(methods);
    codec.supportedBitrates = lossyBitrates();
    codec.defaultBitrateIndex = positionOf(codec.supportedBitrates, defaultBitrate);
    codec.supportedSampleRates = sampleRates;
    codec.defaultSampleRateIndex = positionOf(codec.supportedSampleRates, defaultSampleRate);
    codec.supportedChannels = channels;
    codec.defaultChannelIndex = positionOf(channels, ChannelType::Stereo);
    return codec;
}

CodecCapabilities losslessCodec(OutputCodec id, EncodeType method, ChannelType defaultChannel) {
    CodecCapabilities codec;
    codec.codecId = id;
    codec.supportedEncodingTypes = {method};
    codec.supportedSampleRates = allSampleRates;
    codec.supportedChannels = channels;
    codec.defaultChannelIndex = positionOf(channels, defaultChannel);
    codec.supportedBitDepths = bitDepths;
    return codec;
}

} // namespace

CodecTable buildCodecTable() {
    CodecTable table;

    CodecCapabilities mp3 = lossyCodec(OutputCodec::Mp3, {EncodeType::Cbr, EncodeType::Quality},
                                       mp3SampleRates, SampleRate::Hz44100, QStringLiteral("128"));
    mp3.supportedQualities = numberTexts(0, 9);
    mp3.defaultQualityIndex = positionOf(mp3.supportedQualities, QStringLiteral("5"));
    table.append(mp3);

    CodecCapabilities aac = lossyCodec(OutputCodec::Aac, {EncodeType::Cbr, EncodeType::Quality},
                                       lossySampleRates, SampleRate::Hz44100, QStringLiteral("112"));
    aac.supportedQualities = numberTexts(1, 22);
    aac.defaultQualityIndex = positionOf(aac.supportedQualities, QStringLiteral("1"));
    table.append(aac);

    CodecCapabilities ogg = lossyCodec(OutputCodec::Ogg, {EncodeType::Cbr, EncodeType::Quality},
                                       lossySampleRates, SampleRate::Hz32000, QStringLiteral("112"));
    ogg.supportedQualities = numberTexts(1, 10);
    ogg.defaultQualityIndex = positionOf(ogg.supportedQualities, QStringLiteral("4"));
    table.append(ogg);

    table.append(lossyCodec(OutputCodec::Opus, {EncodeType::Cbr}, lossySampleRates, SampleRate::Hz32000,
                            QStringLiteral("112")));
    table.append(lossyCodec(OutputCodec::Wma, {EncodeType::Cbr, EncodeType::Quality}, lossySampleRates,
                            SampleRate::Hz32000, QStringLiteral("112")));

    CodecCapabilities flac = losslessCodec(OutputCodec::Flac, EncodeType::Compression, ChannelType::Stereo);
    flac.supportedQualities = numberTexts(0, 12);
    table.append(flac);

    table.append(losslessCodec(OutputCodec::Alac, EncodeType::None, ChannelType::Stereo));
    table.append(losslessCodec(OutputCodec::Wav, EncodeType::None, ChannelType::Original));
    return table;
}

QStringList formatListTexts() {
    return {QStringLiteral("Mpeg-1 Audio Layer III (.mp3)"),
            QStringLiteral("Advandec Audio Coding (.m4a)"),
            QStringLiteral("Ogg Vorbis (.ogg)"),
            QStringLiteral("Opus Codec (.opus)"),
            QStringLiteral("Windows Media Audio (.wma)"),
            QStringLiteral("Free Lossless Audio Codec (.flac)"),
            QStringLiteral("Apple Lossless Codec (.m4a)"),
            QStringLiteral("PCM Audio (.wav)")};
}

const CodecCapabilities* findCodec(const CodecTable& table, OutputCodec codec) {
    for (const CodecCapabilities& entry : table) {
        if (entry.codecId == codec)
            return &entry;
    }
    return nullptr;
}
