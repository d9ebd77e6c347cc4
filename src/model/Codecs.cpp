#include "model/Codecs.h"

#include <array>

namespace {
template <std::size_t N> QString nameAt(const std::array<const char*, N>& names, int ordinal) {
    if (ordinal < 0 || ordinal >= int(N))
        return QString();
    return QString::fromLatin1(names[ordinal]);
}
} // namespace

QString EnumName(TOutputCodec value) {
    static const std::array<const char*, 8> names = {"ocMP3", "ocAAC",  "ocOGG",  "ocOPUS",
                                                     "ocWMA", "ocFLAC", "ocALAC", "ocWAV"};
    return nameAt(names, value);
}

QString EnumName(TEncodeType value) {
    static const std::array<const char*, 4> names = {"etCBR", "etQuality", "etCompression", "etNone"};
    return nameAt(names, value);
}

QString EnumName(TBitDepth value) {
    static const std::array<const char*, 3> names = {"bdOriginal", "bd16", "bd24"};
    return nameAt(names, value);
}

QString EnumName(TChannelType value) {
    static const std::array<const char*, 5> names = {"chOriginal", "chMono", "chStereo", "ch2_1", "ch4_1"};
    return nameAt(names, value);
}

QString EnumName(TSampleRate value) {
    static const std::array<const char*, 9> names = {"srOriginal", "sr96000", "sr48000", "sr44100", "sr32000",
                                                     "sr22050",    "sr16000", "sr11025", "sr8000"};
    return nameAt(names, value);
}

template <typename Enum> QString EnumDisplayText(Enum value) {
    return TExtensions::RemoveEnumPrefix(EnumName(value));
}
template QString EnumDisplayText(TOutputCodec);
template QString EnumDisplayText(TEncodeType);
template QString EnumDisplayText(TBitDepth);
template QString EnumDisplayText(TChannelType);
template QString EnumDisplayText(TSampleRate);

namespace TExtensions {

QString TOutputCodecsToStr(TOutputCodec codec) {
    static const std::array<const char*, 8> names = {"Mp3", "AAC",  "Ogg Vorbis", "Opus",
                                                     "WMA", "FLAC", "ALAC",       "WAV"};
    return nameAt(names, codec);
}

QString TChannelTypeToStr(TChannelType channel) {
    static const std::array<const char*, 5> counts = {"", "1", "2", "3", "5"};
    return nameAt(counts, channel);
}

QString TBitDepthToStr(TBitDepth bitDepth) {
    // For display and for encoders that take packed samples; the command-line
    // generator picks each encoder's own sample format.
    static const std::array<const char*, 3> formats = {"", "s16", "s32"};
    return nameAt(formats, bitDepth);
}

QString RemoveEnumPrefix(const QString& text) {
    static const std::array<const char*, 5> prefixes = {"et", "bd", "oc", "ch", "sr"};
    for (const char* prefix : prefixes) {
        if (text.startsWith(QLatin1String(prefix)))
            return text.mid(2);
    }
    return text;
}

} // namespace TExtensions

int SampleRateHz(TSampleRate rate) {
    static const std::array<int, 9> rates = {0, 96000, 48000, 44100, 32000, 22050, 16000, 11025, 8000};
    return rate < rates.size() ? rates[rate] : 0;
}

QString GetOutputExtension(TOutputCodec codec, int aacExtensionIndex) {
    switch (codec) {
    case ocMP3:
        return QStringLiteral(".mp3");
    case ocAAC:
        return aacExtensionIndex >= 0 && aacExtensionIndex < AacExtensions.size()
                   ? AacExtensions[aacExtensionIndex]
                   : AacExtensions[0];
    case ocOGG:
        return QStringLiteral(".ogg");
    case ocOPUS:
        return QStringLiteral(".opus");
    case ocWMA:
        return QStringLiteral(".wma");
    case ocFLAC:
        return QStringLiteral(".flac");
    case ocALAC:
        return QStringLiteral(".m4a");
    case ocWAV:
        return QStringLiteral(".wav");
    }
    return QString();
}
