#include "model/Codecs.h"

#include <array>

namespace {
template <std::size_t n> QString textAt(const std::array<const char*, n>& texts, int position) {
    if (position < 0 || position >= int(n))
        return QString();
    return QString::fromLatin1(texts[position]);
}
} // namespace

QString displayText(OutputCodec value) {
    static const std::array<const char*, 8> texts = {"MP3", "AAC",  "OGG",  "OPUS",
                                                     "WMA", "FLAC", "ALAC", "WAV"};
    return textAt(texts, ordinal(value));
}

QString displayText(EncodeType value) {
    static const std::array<const char*, 4> texts = {"CBR", "Quality", "Compression", "None"};
    return textAt(texts, ordinal(value));
}

QString displayText(BitDepth value) {
    static const std::array<const char*, 3> texts = {"Original", "16", "24"};
    return textAt(texts, ordinal(value));
}

QString displayText(ChannelType value) {
    static const std::array<const char*, 5> texts = {"Original", "Mono", "Stereo", "2_1", "4_1"};
    return textAt(texts, ordinal(value));
}

QString displayText(SampleRate value) {
    static const std::array<const char*, 9> texts = {"Original", "96000", "48000", "44100", "32000",
                                                     "22050",    "16000", "11025", "8000"};
    return textAt(texts, ordinal(value));
}

QString formatName(OutputCodec codec) {
    static const std::array<const char*, 8> names = {"Mp3", "AAC",  "Ogg Vorbis", "Opus",
                                                     "WMA", "FLAC", "ALAC",       "WAV"};
    return textAt(names, ordinal(codec));
}

QString channelCountText(ChannelType channel) {
    static const std::array<const char*, 5> counts = {"", "1", "2", "3", "5"};
    return textAt(counts, ordinal(channel));
}

QString sampleFormatText(BitDepth bitDepth) {
    // For display and for encoders that take packed samples; the command-line
    // generator picks each encoder's own sample format.
    static const std::array<const char*, 3> formats = {"", "s16", "s32"};
    return textAt(formats, ordinal(bitDepth));
}

int sampleRateHz(SampleRate rate) {
    static const std::array<int, 9> rates = {0, 96000, 48000, 44100, 32000, 22050, 16000, 11025, 8000};
    const int position = ordinal(rate);
    return position >= 0 && position < int(rates.size()) ? rates[position] : 0;
}

QString outputExtension(OutputCodec codec, int aacExtensionIndex) {
    switch (codec) {
    case OutputCodec::Mp3:
        return QStringLiteral(".mp3");
    case OutputCodec::Aac:
        return aacExtensionIndex >= 0 && aacExtensionIndex < AacExtensions.size()
                   ? AacExtensions[aacExtensionIndex]
                   : AacExtensions[0];
    case OutputCodec::Ogg:
        return QStringLiteral(".ogg");
    case OutputCodec::Opus:
        return QStringLiteral(".opus");
    case OutputCodec::Wma:
        return QStringLiteral(".wma");
    case OutputCodec::Flac:
        return QStringLiteral(".flac");
    case OutputCodec::Alac:
        return QStringLiteral(".m4a");
    case OutputCodec::Wav:
        return QStringLiteral(".wav");
    }
    return QString();
}
