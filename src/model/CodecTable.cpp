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
const QList<TSampleRate> mp3SampleRates = {srOriginal, sr48000, sr44100, sr32000, sr22050, sr16000};
const QList<TSampleRate> lossySampleRates = {srOriginal, sr48000, sr44100, sr32000,
                                             sr22050,    sr16000, sr11025, sr8000};
const QList<TSampleRate> allSampleRates = {srOriginal, sr96000, sr48000, sr44100, sr32000,
                                           sr22050,    sr16000, sr11025, sr8000};
const QList<TChannelType> channels = {chOriginal, chMono, chStereo};
const QList<TBitDepth> bitDepths = {bdOriginal, bd16, bd24};

int positionOf(const QStringList& list, const QString& text) {
    return int(list.indexOf(text));
}

template <typename Enum> int positionOf(const QList<Enum>& list, Enum value) {
    return int(list.indexOf(value));
}

TCodec lossyCodec(TOutputCodec id, QList<TEncodeType> methods, const QList<TSampleRate>& sampleRates,
                  TSampleRate defaultSampleRate, const QString& defaultBitrate) {
    TCodec codec;
    codec.FCodecId = id;
    codec.FSupportedEncodingTypes = std::move(methods);
    codec.FSupportedBitrates = lossyBitrates();
    codec.FDefaultBitrateIndex = positionOf(codec.FSupportedBitrates, defaultBitrate);
    codec.FSupportedSampleRates = sampleRates;
    codec.FDefaultSampleRateIndex = positionOf(codec.FSupportedSampleRates, defaultSampleRate);
    codec.FSupportedChannels = channels;
    codec.FDefaultChannelIndex = positionOf(channels, chStereo);
    return codec;
}

TCodec losslessCodec(TOutputCodec id, TEncodeType method, TChannelType defaultChannel) {
    TCodec codec;
    codec.FCodecId = id;
    codec.FSupportedEncodingTypes = {method};
    codec.FSupportedSampleRates = allSampleRates;
    codec.FSupportedChannels = channels;
    codec.FDefaultChannelIndex = positionOf(channels, defaultChannel);
    codec.FSupportedBitDepths = bitDepths;
    return codec;
}

} // namespace

TCodecTable BuildCodecTable() {
    TCodecTable table;

    TCodec mp3 = lossyCodec(ocMP3, {etCBR, etQuality}, mp3SampleRates, sr44100, QStringLiteral("128"));
    mp3.FSupportedQualities = numberTexts(0, 9);
    mp3.FDefaultQualityIndex = positionOf(mp3.FSupportedQualities, QStringLiteral("5"));
    table.append(mp3);

    TCodec aac = lossyCodec(ocAAC, {etCBR, etQuality}, lossySampleRates, sr44100, QStringLiteral("112"));
    aac.FSupportedQualities = numberTexts(1, 22);
    aac.FDefaultQualityIndex = positionOf(aac.FSupportedQualities, QStringLiteral("1"));
    table.append(aac);

    TCodec ogg = lossyCodec(ocOGG, {etCBR, etQuality}, lossySampleRates, sr32000, QStringLiteral("112"));
    ogg.FSupportedQualities = numberTexts(1, 10);
    ogg.FDefaultQualityIndex = positionOf(ogg.FSupportedQualities, QStringLiteral("4"));
    table.append(ogg);

    table.append(lossyCodec(ocOPUS, {etCBR}, lossySampleRates, sr32000, QStringLiteral("112")));
    table.append(lossyCodec(ocWMA, {etCBR, etQuality}, lossySampleRates, sr32000, QStringLiteral("112")));

    TCodec flac = losslessCodec(ocFLAC, etCompression, chStereo);
    flac.FSupportedQualities = numberTexts(0, 12);
    table.append(flac);

    table.append(losslessCodec(ocALAC, etNone, chStereo));
    table.append(losslessCodec(ocWAV, etNone, chOriginal));
    return table;
}

QStringList FormatListTexts() {
    return {QStringLiteral("Mpeg-1 Audio Layer III (.mp3)"),
            QStringLiteral("Advandec Audio Coding (.m4a)"),
            QStringLiteral("Ogg Vorbis (.ogg)"),
            QStringLiteral("Opus Codec (.opus)"),
            QStringLiteral("Windows Media Audio (.wma)"),
            QStringLiteral("Free Lossless Audio Codec (.flac)"),
            QStringLiteral("Apple Lossless Codec (.m4a)"),
            QStringLiteral("PCM Audio (.wav)")};
}

const TCodec* FindCodec(const TCodecTable& table, TOutputCodec codec) {
    for (const TCodec& entry : table) {
        if (entry.FCodecId == codec)
            return &entry;
    }
    return nullptr;
}
