#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The codec vocabulary of the conversion engine. Ordinals are stored in
// settings and presets, so the order of every enumeration is fixed.

enum TOutputCodec : quint8 { ocMP3, ocAAC, ocOGG, ocOPUS, ocWMA, ocFLAC, ocALAC, ocWAV };
enum TEncodeType : quint8 { etCBR, etQuality, etCompression, etNone };
enum TBitDepth : quint8 { bdOriginal, bd16, bd24 };
enum TChannelType : quint8 { chOriginal, chMono, chStereo, ch2_1, ch4_1 };
enum TSampleRate : quint8 {
    srOriginal,
    sr96000,
    sr48000,
    sr44100,
    sr32000,
    sr22050,
    sr16000,
    sr11025,
    sr8000
};

inline constexpr int OutputCodecCount = ocWAV + 1;

// Declared names of the enumeration values ("ocMP3", "sr44100", ...).
QString EnumName(TOutputCodec value);
QString EnumName(TEncodeType value);
QString EnumName(TBitDepth value);
QString EnumName(TChannelType value);
QString EnumName(TSampleRate value);

// What the settings lists show: the declared name without its prefix.
template <typename Enum> QString EnumDisplayText(Enum value);

namespace TExtensions {
QString TOutputCodecsToStr(TOutputCodec codec);
QString TChannelTypeToStr(TChannelType channel);
QString TBitDepthToStr(TBitDepth bitDepth);
QString RemoveEnumPrefix(const QString& text);
} // namespace TExtensions

// The rate in hertz of a sample-rate value; 0 for srOriginal.
int SampleRateHz(TSampleRate rate);

// The capability record of one output codec: what the settings panel offers.
struct TCodec {
    QList<TEncodeType> FSupportedEncodingTypes;
    QStringList FSupportedBitrates;
    QList<TChannelType> FSupportedChannels;
    QList<TSampleRate> FSupportedSampleRates;
    QList<TBitDepth> FSupportedBitDepths;
    QStringList FSupportedQualities;
    TOutputCodec FCodecId = ocMP3;
    qint32 FDefaultEncodingTypeIndex = 0;
    qint32 FDefaultBitrateIndex = 0;
    qint32 FDefaultChannelIndex = 0;
    qint32 FDefaultSampleRateIndex = 0;
    qint32 FDefaltBitDepthIndex = 0;
    qint32 FDefaultQualityIndex = 0;
};

// The codec settings of one conversion run.
struct TEncodingProfile {
    QStringList FBitrates;
    qint32 FBitrateDefaultIndex = 0;
    QStringList FChannels;
    qint32 FChannelDefaultIndex = 0;
    QStringList FSampleRates;
    qint32 FSampleRateDefaultIndex = 0;
    QStringList FBitDepths;
    qint32 FBitDepthDefaultIndex = 0;
    QString FBitrate;
    TOutputCodec FCodecId = ocMP3;
    TEncodeType FEncodeType = etCBR;
    TChannelType FChannel = chOriginal;
    QString FSampleRate;
    bool FChangeSampleRate = false;
    bool FChangeChannel = false;
    bool FChangeBitDepth = false;
    QString FQuality;
    bool FOggManagedBitrateMode = false;
    QString FCompression;
    TBitDepth FBitDepth = bdOriginal;
    QStringList FQualities;
    qint32 FQualityDefaultIndex = 0;
    QStringList FCompressions;
    qint32 FCompressionDefaultIndex = 0;
    QList<TEncodeType> FEncodeTypes;
    qint32 FEncodeTypeDefaultIndex = 0;
    QString FTitle;
};

// The AAC extensions the advanced settings offer, by position.
inline const QStringList AacExtensions = {QStringLiteral(".m4a"), QStringLiteral(".aac"),
                                          QStringLiteral(".m4b")};

// The output extension with its dot; the AAC position is ignored for other codecs
// and falls back to ".m4a" when it is outside the list.
QString GetOutputExtension(TOutputCodec codec, int aacExtensionIndex);
