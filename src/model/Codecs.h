#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The codec vocabulary of the conversion engine. Ordinals are stored in
// settings and presets, so the order of every enumeration is fixed.

enum class OutputCodec : quint8 { Mp3, Aac, Ogg, Opus, Wma, Flac, Alac, Wav };
enum class EncodeType : quint8 { Cbr, Quality, Compression, None };
enum class BitDepth : quint8 { Original, Bits16, Bits24 };
enum class ChannelType : quint8 { Original, Mono, Stereo, TwoPointOne, FourPointOne };
enum class SampleRate : quint8 {
    Original,
    Hz96000,
    Hz48000,
    Hz44100,
    Hz32000,
    Hz22050,
    Hz16000,
    Hz11025,
    Hz8000
};

inline constexpr int OutputCodecCount = 8;

// The stored number of a value, and the value of a stored number.
template <typename Enum> constexpr int ordinal(Enum value) {
    return static_cast<int>(value);
}
template <typename Enum> constexpr Enum fromOrdinal(int ordinal) {
    return static_cast<Enum>(ordinal);
}

// What the settings lists show for a value ("MP3", "CBR", "Original", "4_1",
// "44100"); these texts are also how presets and the command line name values.
QString displayText(OutputCodec value);
QString displayText(EncodeType value);
QString displayText(BitDepth value);
QString displayText(ChannelType value);
QString displayText(SampleRate value);

// The name of a format's output folder and of its entry in the format list
// ("Mp3", "AAC", "Ogg Vorbis", ...).
QString formatName(OutputCodec codec);
// The channel count ffmpeg's -ac takes; empty for the original layout.
QString channelCountText(ChannelType channel);
// The packed sample format of a bit depth ("s16", "s32"); empty for the original.
QString sampleFormatText(BitDepth bitDepth);

// The rate in hertz of a sample-rate value; 0 for SampleRate::Original.
int sampleRateHz(SampleRate rate);

// The capability record of one output codec: what the settings panel offers.
struct CodecCapabilities {
    QList<EncodeType> supportedEncodingTypes;
    QStringList supportedBitrates;
    QList<ChannelType> supportedChannels;
    QList<SampleRate> supportedSampleRates;
    QList<BitDepth> supportedBitDepths;
    QStringList supportedQualities;
    OutputCodec codecId = OutputCodec::Mp3;
    qint32 defaultEncodingTypeIndex = 0;
    qint32 defaultBitrateIndex = 0;
    qint32 defaultChannelIndex = 0;
    qint32 defaultSampleRateIndex = 0;
    qint32 defaultBitDepthIndex = 0;
    qint32 defaultQualityIndex = 0;
};

// The codec settings of one conversion run.
struct EncodingProfile {
    QStringList bitrates;
    qint32 bitrateDefaultIndex = 0;
    QStringList channels;
    qint32 channelDefaultIndex = 0;
    QStringList sampleRates;
    qint32 sampleRateDefaultIndex = 0;
    QStringList bitDepths;
    qint32 bitDepthDefaultIndex = 0;
    QString bitrate;
    OutputCodec codecId = OutputCodec::Mp3;
    EncodeType encodeType = EncodeType::Cbr;
    ChannelType channel = ChannelType::Original;
    QString sampleRate;
    bool changeSampleRate = false;
    bool changeChannel = false;
    bool changeBitDepth = false;
    QString quality;
    bool oggManagedBitrateMode = false;
    QString compression;
    BitDepth bitDepth = BitDepth::Original;
    QStringList qualities;
    qint32 qualityDefaultIndex = 0;
    QStringList compressions;
    qint32 compressionDefaultIndex = 0;
    QList<EncodeType> encodeTypes;
    qint32 encodeTypeDefaultIndex = 0;
    QString title;
};

// The AAC extensions the advanced settings offer, by position.
inline const QStringList AacExtensions = {QStringLiteral(".m4a"), QStringLiteral(".aac"),
                                          QStringLiteral(".m4b")};

// The output extension with its dot; the AAC position is ignored for other codecs
// and falls back to ".m4a" when it is outside the list.
QString outputExtension(OutputCodec codec, int aacExtensionIndex);
