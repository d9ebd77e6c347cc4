#include "engine/FFmpegCommandBuilder.h"

#include "base/CommandLineSplit.h"
#include "base/Log.h"

#include <array>

namespace {

const QString InputSlot = QStringLiteral("\"%INPUT%\"");
const QString OutputSlot = QStringLiteral("\"%OUTPUT%\"");
const QString PictureInputSlot = QStringLiteral("%ARTWORKUNPUT%");

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
QString sampleRateOption(const TEncodingProfile& profile, const TFFmpegCommandInput& input) {
    const QString maxRate = QString::number(HighestLossyRate);
    if (profile.FChangeSampleRate) {
        if (profile.FCodecId == ocOPUS) {
            if (OpusSampleRates.contains(profile.FSampleRate))
                return samplingOption(profile.FSampleRate);
            LogInfo(resamplingNote(input.SourcePath, "OGG_MAX_SR"));
            return samplingOption(maxRate);
        }
        if (profile.FCodecId == ocWMA) {
            bool ok = false;
            const int rate = profile.FSampleRate.toInt(&ok);
            if (!ok)
                throw TFFmpegCommandError("sample rate \"" + profile.FSampleRate.toStdString() +
                                          "\" is not a number");
            if (rate > HighestLossyRate) {
                LogInfo(resamplingNote(input.SourcePath, "WMA_MAX_SR"));
                return samplingOption(maxRate);
            }
        }
        return samplingOption(profile.FSampleRate);
    }
    switch (profile.FCodecId) {
    case ocOGG:
    case ocWMA:
        return input.SourceSampleRate > HighestLossyRate ? samplingOption(maxRate) : QString();
    case ocOPUS:
        return OpusSampleRates.contains(QString::number(input.SourceSampleRate)) ? QString()
                                                                                 : samplingOption(maxRate);
    default:
        return QString();
    }
}

// Each lossless encoder names its sample formats differently; WAV changes its
// PCM codec instead, since its default codec takes nothing beyond 16 bits.
QString bitDepthOption(const TEncodingProfile& profile) {
    if (!profile.FChangeBitDepth || profile.FBitDepth == bdOriginal)
        return QString();
    const bool deep = profile.FBitDepth == bd24;
    switch (profile.FCodecId) {
    case ocFLAC:
        return deep ? QStringLiteral("-sample_fmt s32") : QStringLiteral("-sample_fmt s16");
    case ocALAC:
        return deep ? QStringLiteral("-sample_fmt s32p") : QStringLiteral("-sample_fmt s16p");
    case ocWAV:
        return deep ? QStringLiteral("-c:a pcm_s24le") : QStringLiteral("-c:a pcm_s16le");
    default:
        return QStringLiteral("-sample_fmt ") + TExtensions::TBitDepthToStr(profile.FBitDepth);
    }
}

QString channelOption(const TEncodingProfile& profile) {
    const QString count = TExtensions::TChannelTypeToStr(profile.FChannel);
    return profile.FChangeChannel && !count.isEmpty() ? QStringLiteral("-ac ") + count : QString();
}

void applyRate(QString& text, const TEncodingProfile& profile) {
    const QString bitrate = QStringLiteral("%BITRATE%");
    const QString quality = QStringLiteral("%QUALITY%");
    switch (profile.FEncodeType) {
    case etCBR:
        if (profile.FCodecId == ocOGG && profile.FOggManagedBitrateMode) {
            QString managed = QStringLiteral("%BITRATE%k -minrate %BITRATE%k -maxrate %BITRATE%k ");
            managed.replace(bitrate, profile.FBitrate);
            text.replace(bitrate, managed);
        } else if (profile.FCodecId == ocOGG) {
            text.replace(bitrate, profile.FBitrate + u'k');
        } else {
            text.replace(bitrate, profile.FBitrate);
        }
        break;
    case etQuality:
        if (profile.FCodecId == ocOPUS)
            text.replace(bitrate, profile.FBitrate);
        else
            text.replace(quality, profile.FQuality);
        break;
    case etCompression:
        text.replace(quality, profile.FCompression);
        break;
    case etNone:
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
QString expandWord(QString word, const OptionValues& values, const TEncodingProfile& profile) {
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

QString FFmpegTemplate(TOutputCodec codec, TEncodeType encodeType) {
    const bool quality = encodeType == etQuality;
    switch (codec) {
    case ocMP3:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libmp3lame %ARTWORKCODEC% -q:a %QUALITY% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(
                         " -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                         "%ARTWORKMAP% -c:a libmp3lame %ARTWORKCODEC% -b:a %BITRATE%k %SAMPLERATE% "
                         "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case ocAAC:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a aac %ARTWORKCODEC% -q:a %QUALITY% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% -movflags faststart %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a aac %ARTWORKCODEC% -b:a %BITRATE%k %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% -movflags faststart %CUSTOMPARAM% \"%OUTPUT%\"");
    case ocOGG:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libvorbis %ARTWORKCODEC% -q:a %QUALITY%  %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libvorbis %ARTWORKCODEC% -b:a %BITRATE% %SAMPLERATE% "
                                    "%CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case ocOPUS:
        return quality
                   ? QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libopus %ARTWORKCODEC% -b:a %BITRATE%k -vbr on "
                                    "-compression_level 10 %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
                                    "\"%OUTPUT%\"")
                   : QStringLiteral(" -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% "
                                    "%ARTWORKMAP% -c:a libopus %ARTWORKCODEC% -b:a %BITRATE%k -vbr off "
                                    "-compression_level 10 %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
                                    "\"%OUTPUT%\"");
    case ocWMA:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" -map 0:%STREAMINDEX% -c:a wmav2 %ARTWORKCODEC% -b:a "
            "%BITRATE%k %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case ocFLAC:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% -c:a "
            "flac %ARTWORKCODEC% -compression_level %QUALITY% %SAMPLERATE% %CHANNEL% %BITDEPTH% "
            "%CUSTOMPARAM% \"%OUTPUT%\"");
    case ocALAC:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% -c:a "
            "alac %ARTWORKCODEC% %SAMPLERATE% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% \"%OUTPUT%\"");
    case ocWAV:
        return QStringLiteral(
            " -y -threads 1 -i \"%INPUT%\" %ARTWORKUNPUT% -map 0:%STREAMINDEX% %ARTWORKMAP% "
            "%ARTWORKCODEC% %SAMPLERATE% %ARTWORKMAP% %CHANNEL% %BITDEPTH% %CUSTOMPARAM% "
            "\"%OUTPUT%\"");
    }
    return QString();
}

namespace {
// The templates split at their blanks, made once: generation runs them for every file.
const QStringList& templateWords(TOutputCodec codec, TEncodeType encodeType) {
    static const auto table = [] {
        std::array<std::array<QStringList, etNone + 1>, OutputCodecCount> words;
        for (int c = 0; c < OutputCodecCount; ++c) {
            for (int m = 0; m <= etNone; ++m)
                words[c][m] = FFmpegTemplate(TOutputCodec(c), TEncodeType(m)).split(u' ');
        }
        return words;
    }();
    return table.at(codec).at(encodeType);
}
} // namespace

bool CanCarryCoverArt(TOutputCodec codec) {
    // AAC, Ogg Vorbis and WAV take no picture stream; this ffmpeg's Ogg muxer
    // refuses one in Opus files too. The cover-art tool writes those later.
    return codec == ocMP3 || codec == ocWMA || codec == ocFLAC || codec == ocALAC;
}

TFFmpegCommand BuildFFmpegCommand(const TEncodingProfile& profile, const TFFmpegCommandInput& input) {
    const bool carried = !input.CarriedPicturePath.isEmpty();
    OptionValues values;
    if (carried) {
        values.pictureMap = QStringLiteral("-map 1:0");
        if (profile.FCodecId == ocMP3)
            values.pictureCodec = QStringLiteral("-c:v mjpeg");
        else if (profile.FCodecId == ocFLAC || profile.FCodecId == ocALAC)
            // Without it FLAC drops the picture and the MP4 muxer refuses it.
            values.pictureCodec = QStringLiteral("-c:v copy -disposition:v attached_pic");
        else
            values.pictureCodec = QStringLiteral("-c:v copy");
    } else {
        values.pictureCodec = QStringLiteral("-vn");
    }
    values.streamIndex = QString::number(input.StreamIndex);
    values.customParams = input.CustomParams;
    values.channel = channelOption(profile);
    values.sampleRate = sampleRateOption(profile, input);
    values.bitDepth = bitDepthOption(profile);

    TFFmpegCommand command;
    QStringList textWords;
    for (const QString& word : templateWords(profile.FCodecId, profile.FEncodeType)) {
        if (word == InputSlot) {
            textWords << quoted(input.SourcePath);
            command.Arguments << input.SourcePath;
        } else if (word == OutputSlot) {
            textWords << quoted(input.OutputPath);
            command.Arguments << input.OutputPath;
        } else if (word == PictureInputSlot) {
            if (carried) {
                textWords << QStringLiteral("-i ") + quoted(input.CarriedPicturePath);
                command.Arguments << QStringLiteral("-i") << input.CarriedPicturePath;
            } else {
                textWords << QString();
            }
        } else if (!word.contains(u'%')) {
            // A plain template word: one argument, or none for the blank of an emptied placeholder.
            textWords << word;
            if (!word.isEmpty())
                command.Arguments << word;
        } else {
            const QString expanded = expandWord(word, values, profile);
            textWords << expanded;
            command.Arguments << SplitCommandLine(expanded);
        }
    }
    command.CommandLine = textWords.join(u' ');
    return command;
}
