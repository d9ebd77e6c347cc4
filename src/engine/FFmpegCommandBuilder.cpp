#include "engine/FFmpegCommandBuilder.h"

#include "base/CommandLineSplit.h"
#include "base/Log.h"

#include <array>

namespace {

const QString InputSlot = QStringLiteral("\"%INPUT%\"");
const QString OutputSlot = QStringLiteral("\"%OUTPUT%\"");
const QString PictureInputSlot = QStringLiteral("%ARTWORKINPUT%");

const QStringList OpusSampleRates = {QStringLiteral("48000"), QStringLiteral("24000"),
                                     QStringLiteral("16000"), QStringLiteral("12000"),
                                     QStringLiteral("8000")};
constexpr int HighestLossyRate = 48000;

QString samplingOption(const QString& rate) {
    return QStringLiteral("-af aresample=resampler=soxr -ar ") + rate;
}

QString resamplingNote(const QString& sourcePath, const char* limitName) {
    return QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun ") + sourcePath +
           QStringLiteral(" resampling to ") + QLatin1String(limitName);
}

// The "-af ... -ar <rate>" option, or empty when the rate stays as it is.
QString sampleRateOption(const EncodingProfile& profile, const FFmpegCommandInput& input) {
    const QString maxRate = QString::number(HighestLossyRate);
    if (profile.changeSampleRate) {
        if (profile.codecId == OutputCodec::Opus) {
            if (OpusSampleRates.contains(profile.sampleRate))
                return samplingOption(profile.sampleRate);
            logInfo(resamplingNote(input.sourcePath, "OGG_MAX_SR"));
            return samplingOption(maxRate);
        }
        if (profile.codecId == OutputCodec::Wma) {
            bool ok = false;
            const int rate = profile.sampleRate.toInt(&ok);
            if (!ok)
                throw FFmpegCommandError("sample rate \"" + profile.sampleRate.toStdString() +
                                         "\" is not a number");
            if (rate > HighestLossyRate) {
                logInfo(resamplingNote(input.sourcePath, "WMA_MAX_SR"));
                return samplingOption(maxRate);
            }
        }
        return samplingOption(profile.sampleRate);
    }
    switch (profile.codecId) {
    case OutputCodec::Ogg:
    case OutputCodec::Wma:
        return input.sourceSampleRate > HighestLossyRate ? samplingOption(maxRate) : QString();
    case OutputCodec::Opus:
        return OpusSampleRates.contains(QString::number(input.sourceSampleRate)) ? QString()
                                                                                 : samplingOption(maxRate);
    default:
        return QString();
    }
}

// Each lossless encoder names its sample formats differently; WAV changes its
// PCM codec instead, since its default codec takes nothing beyond 16 bits.
QString bitDepthOption(const EncodingProfile& profile) {
    if (!profile.changeBitDepth || profile.bitDepth == BitDepth::Original)
        return QString();
    const bool deep = profile.bitDepth == BitDepth::Bits24;
    switch (profile.codecId) {
    case OutputCodec::Flac:
        return deep ? QStringLiteral("-sample_fmt s32") : QStringLiteral("-sample_fmt s16");
    case OutputCodec::Alac:
        return deep ? QStringLiteral("-sample_fmt s32p") : QStringLiteral("-sample_fmt s16p");
    case OutputCodec::Wav:
        return deep ? QStringLiteral("-c:a pcm_s24le") : QStringLiteral("-c:a pcm_s16le");
    default:
        return QStringLiteral("-sample_fmt ") + sampleFormatText(profile.bitDepth);
    }
}

QString channelOption(const EncodingProfile& profile) {
    const QString count = channelCountText(profile.channel);
    return profile.changeChannel && !count.isEmpty() ? QStringLiteral("-ac ") + count : QString();
}

void applyRate(QString& text, const EncodingProfile& profile) {
    const QString bitrate = QStringLiteral("%BITRATE%");
    const QString quality = QStringLiteral("%QUALITY%");
    switch (profile.encodeType) {
    case EncodeType::Cbr:
        if (profile.codecId == OutputCodec::Ogg && profile.oggManagedBitrateMode) {
            QString managed = QStringLiteral("%BITRATE%k -minrate %BITRATE%k -maxrate %BITRATE%k ");
            managed.replace(bitrate, profile.bitrate);
            text.replace(bitrate, managed);
        } else if (profile.codecId == OutputCodec::Ogg) {
            text.replace(bitrate, profile.bitrate + u'k');
        } else {
            text.replace(bitrate, profile.bitrate);
        }
        break;
    case EncodeType::Quality:
        if (profile.codecId == OutputCodec::Opus)
            text.replace(bitrate, profile.bitrate);
        else
            text.replace(quality, profile.quality);
        break;
    case EncodeType::Compression:
        text.replace(quality, profile.compression);
        break;
    case EncodeType::None:
        break;
    }
}

// The option values that do not depend on a path, computed once per file.
struct OptionValues {
    QString pictureMap;
    QString pictureCodec;
    QString streamIndex;
    QString customParams;
    QString channel;
    QString sampleRate;
    QString bitDepth;
};

// Fills the placeholders of one template word (or of the custom parameters) in
// the fixed order; a later step also fills what an earlier one brought in.
QString expandWord(QString word, const OptionValues& values, const EncodingProfile& profile) {
    word.replace(QStringLiteral("%ARTWORKMAP%"), values.pictureMap);
    word.replace(QStringLiteral("%ARTWORKCODEC%"), values.pictureCodec);
    word.replace(QStringLiteral("%STREAMINDEX%"), values.streamIndex);
    word.replace(QStringLiteral("%CUSTOMPARAM%"), values.customParams);
    word.replace(QStringLiteral("%CHANNEL%"), values.channel);
    word.replace(QStringLiteral("%SAMPLERATE%"), values.sampleRate);
    word.replace(QStringLiteral("%BITDEPTH%"), values.bitDepth);
    applyRate(word, profile);
    return word;
}

QString quoted(const QString& path) {
    return u'"' + path + u'"';
}

} // namespace

QString ffmpegTemplate(OutputCodec codec, EncodeType encodeType) {
    const bool quality = encodeType == EncodeType::Quality;
    switch (codec) {
    case OutputCodec::Mp3:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libmp3lame %ARTWORKCODEC% -q:a %QUALITY% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(
                         " -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                         "%ARTWORKMAP% -c:a libmp3lame %ARTWORKCODEC% -b:a %BITRATE%k %SAMPLERATE% "
                         "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Aac:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a aac %ARTWORKCODEC% -q:a %QUALITY% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% -movflags faststart %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a aac %ARTWORKCODEC% -b:a %BITRATE%k %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% -movflags faststart %CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Ogg:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libvorbis %ARTWORKCODEC% -q:a %QUALITY%  %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libvorbis %ARTWORKCODEC% -b:a %BITRATE% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Opus:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libopus %ARTWORKCODEC% -b:a %BITRATE%k -vbr on "
                                    "-compression_level 10 %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
                                    "\"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libopus %ARTWORKCODEC% -b:a %BITRATE%k -vbr off "
                                    "-compression_level 10 %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
                                    "\"%OUTPUT%\"");
    case OutputCodec::Wma:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" -map 0:%STREAMINDEX% -c:a wmav2 %ARTWORKCODEC% -b:a "
            "%BITRATE%k %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Flac:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% -c:a "
            "flac %ARTWORKCODEC% -compression_level %QUALITY% %SAMPLERATE% %CHANNEL% %BITDEPTH% "
            "%CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Alac:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% -c:a "
            "alac %ARTWORKCODEC% %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case OutputCodec::Wav:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKINPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% "
            "%ARTWORKCODEC% %SAMPLERATE% %ARTWORKMAP% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
            "\"%OUTPUT%\"");
    }
    return QString();
}

namespace {
// The templates split at their blanks, made once: generation runs them for every file.
const QStringList& templateWords(OutputCodec codec, EncodeType encodeType) {
    static const auto table = [] {
        constexpr int encodeTypeCount = ordinal(EncodeType::None) + 1;
        std::array<std::array<QStringList, encodeTypeCount>, OutputCodecCount> words;
        for (int c = 0; c < OutputCodecCount; ++c) {
            for (int m = 0; m < encodeTypeCount; ++m)
                words[c][m] = ffmpegTemplate(OutputCodec(c), EncodeType(m)).split(u' ');
        }
        return words;
    }();
    return table.at(ordinal(codec)).at(ordinal(encodeType));
}
} // namespace

bool canCarryCoverArt(OutputCodec codec) {
    // AAC, Ogg Vorbis and WAV take no picture stream; this ffmpeg's Ogg muxer
    // refuses one in Opus files too. The cover-art tool writes those later.
    return codec == OutputCodec::Mp3 || codec == OutputCodec::Wma || codec == OutputCodec::Flac ||
           codec == OutputCodec::Alac;
}

FFmpegCommand buildFFmpegCommand(const EncodingProfile& profile, const FFmpegCommandInput& input) {
    const bool carried = !input.carriedPicturePath.isEmpty();
    OptionValues values;
    if (carried) {
        values.pictureMap = QStringLiteral("-map 1:0");
        if (profile.codecId == OutputCodec::Mp3)
            values.pictureCodec = QStringLiteral("-c:v mjpeg");
        else if (profile.codecId == OutputCodec::Flac || profile.codecId == OutputCodec::Alac)
            // Without it FLAC drops the picture and the MP4 muxer refuses it.
            values.pictureCodec = QStringLiteral("-c:v copy -disposition:v attached_pic");
        else
            values.pictureCodec = QStringLiteral("-c:v copy");
    } else {
        values.pictureCodec = QStringLiteral("-vn");
    }
    values.streamIndex = QString::number(input.streamIndex);
    values.customParams = input.customParams;
    values.channel = channelOption(profile);
    values.sampleRate = sampleRateOption(profile, input);
    values.bitDepth = bitDepthOption(profile);

    FFmpegCommand command;
    QStringList textWords;
    for (const QString& word : templateWords(profile.codecId, profile.encodeType)) {
        if (word == InputSlot) {
            textWords << quoted(input.sourcePath);
            command.arguments << input.sourcePath;
        } else if (word == OutputSlot) {
            textWords << quoted(input.outputPath);
            command.arguments << input.outputPath;
        } else if (word == PictureInputSlot) {
            if (carried) {
                textWords << QStringLiteral("-i ") + quoted(input.carriedPicturePath);
                command.arguments << QStringLiteral("-i") << input.carriedPicturePath;
            } else {
                textWords << QString();
            }
        } else if (!word.contains(u'%')) {
            // A plain template word: one argument, or none for the blank of an emptied placeholder.
            textWords << word;
            if (!word.isEmpty())
                command.arguments << word;
        } else {
            const QString expanded = expandWord(word, values, profile);
            textWords << expanded;
            command.arguments << splitCommandLine(expanded);
        }
    }
    command.commandLine = textWords.join(u' ');
    return command;
}
