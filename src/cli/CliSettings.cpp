#include "cli/CliSettings.h"

#include "model/EncodingProfileBuilder.h"
#include "settings/AdvancedSettingsFile.h"
#include "settings/MainSettings.h"
#include "settings/ProgramSettings.h"

#include <QFileInfo>
#include <QtMath>

QString CliFormatName(TOutputCodec codec) {
    static const QStringList names = {QStringLiteral("mp3"),  QStringLiteral("aac"), QStringLiteral("ogg"),
                                      QStringLiteral("opus"), QStringLiteral("wma"), QStringLiteral("flac"),
                                      QStringLiteral("alac"), QStringLiteral("wav")};
    return names.value(codec);
}

namespace {

bool usageError(QString& error, const QString& text) {
    error = text;
    return false;
}

// The quality-list position of a typed quality value, or -1.
int qualityPosition(const TCodec& codec, const QString& value) {
    bool ok = false;
    if (codec.FCodecId == ocAAC) {
        // The list holds positions for 0.1 to 2.2 in steps of 0.1.
        const double number = value.toDouble(&ok);
        if (!ok)
            return -1;
        const double tenths = number * 10;
        const int rounded = qRound(tenths);
        if (qAbs(tenths - rounded) > 1e-6)
            return -1;
        const int position = rounded - 1;
        return position >= 0 && position < codec.FSupportedQualities.size() ? position : -1;
    }
    const int number = value.toInt(&ok);
    return ok ? int(codec.FSupportedQualities.indexOf(QString::number(number))) : -1;
}

QString qualityRange(const TCodec& codec) {
    if (codec.FCodecId == ocAAC)
        return QStringLiteral("0.1 to 2.2 in steps of 0.1");
    return codec.FSupportedQualities.first() + QStringLiteral(" to ") + codec.FSupportedQualities.last();
}

QString rateList(const TCodec& codec) {
    QStringList rates;
    for (TSampleRate rate : codec.FSupportedSampleRates)
        rates << (rate == srOriginal ? QStringLiteral("original") : QString::number(SampleRateHz(rate)));
    return rates.join(QStringLiteral(", "));
}

} // namespace

bool ApplyCodecOptions(const TCliOptions& options, const TCodecTable& table, TCodecPanelPositions& panel,
                       std::optional<QString>& typedBitrate, QString& error) {
    const auto codecId = TOutputCodec(panel.Format);
    const TCodec* found = FindCodec(table, codecId);
    if (!found)
        return usageError(error, QStringLiteral("the format is unknown"));
    const TCodec& codec = *found;
    const QString format = CliFormatName(codecId);
    TCodecPagePositions& page = panel.Page(codecId);
    const bool hasMethods = codec.FSupportedEncodingTypes.contains(etQuality); // MP3, AAC, Ogg Vorbis
    const bool hasBitrates = !codec.FSupportedBitrates.isEmpty();
    const bool hasQualities = !codec.FSupportedQualities.isEmpty();

    // The method, given or implied by a bit rate or a quality.
    std::optional<QString> method = options.Method;
    if (method) {
        if (codecId == ocOPUS) {
            if (*method == QLatin1String("quality"))
                return usageError(error, QStringLiteral("--method: opus takes cbr or vbr"));
        } else if (!hasMethods) {
            return usageError(error, QStringLiteral("--method: %1 has no encoding method").arg(format));
        } else if (*method == QLatin1String("vbr")) {
            return usageError(error, QStringLiteral("--method: %1 takes cbr or quality").arg(format));
        }
    }
    if (hasMethods) {
        if (options.Bitrate && options.Quality)
            return usageError(
                error, QStringLiteral("--bitrate and --quality exclude each other for %1").arg(format));
        if (options.Bitrate && method && *method != QLatin1String("cbr"))
            return usageError(error, QStringLiteral("--bitrate needs --method cbr"));
        if (options.Quality && method && *method != QLatin1String("quality"))
            return usageError(error, QStringLiteral("--quality needs --method quality"));
        if (!method && options.Bitrate)
            method = QStringLiteral("cbr");
        if (!method && options.Quality)
            method = QStringLiteral("quality");
        if (method)
            page.Method = *method == QLatin1String("cbr") ? 0 : 1;
    } else if (codecId == ocOPUS && method) {
        panel.OpusVbr = *method == QLatin1String("vbr");
    }

    if (options.Bitrate) {
        if (!hasBitrates)
            return usageError(error, QStringLiteral("--bitrate: %1 takes no bit rate").arg(format));
        const int position = int(codec.FSupportedBitrates.indexOf(*options.Bitrate));
        if (position >= 0)
            page.Bitrate = position;
        else
            typedBitrate = *options.Bitrate; // a typed value passes through, as in the editable list
    }

    if (options.Quality) {
        if (!hasQualities)
            return usageError(error, QStringLiteral("--quality: %1 takes no quality").arg(format));
        const int position = qualityPosition(codec, *options.Quality);
        if (position < 0)
            return usageError(error, QStringLiteral("--quality: \"%1\" is not a %2 quality (%3)")
                                         .arg(*options.Quality, format, qualityRange(codec)));
        page.Quality = position;
    }

    if (options.Managed) {
        if (codecId != ocOGG)
            return usageError(error, QStringLiteral("--managed applies to ogg only"));
        panel.OggManagedBitrate = true;
    }

    if (options.SampleRate) {
        int position = -1;
        for (int index = 0; index < codec.FSupportedSampleRates.size(); ++index) {
            const TSampleRate rate = codec.FSupportedSampleRates.at(index);
            const QString text =
                rate == srOriginal ? QStringLiteral("original") : QString::number(SampleRateHz(rate));
            if (text == *options.SampleRate)
                position = index;
        }
        if (position < 0)
            return usageError(error, QStringLiteral("--sample-rate: %1 is not a rate of %2 (%3)")
                                         .arg(*options.SampleRate, format, rateList(codec)));
        page.SampleRate = position;
    }

    if (options.Channels) {
        const int position = int(codec.FSupportedChannels.indexOf(*options.Channels));
        if (position < 0)
            return usageError(error, QStringLiteral("--channels: %1 does not take this layout").arg(format));
        page.Channel = position;
    }

    if (options.BitDepth) {
        const int position = int(codec.FSupportedBitDepths.indexOf(*options.BitDepth));
        if (position >= 0)
            page.BitDepth = position;
        else if (*options.BitDepth != bdOriginal)
            return usageError(error, QStringLiteral("--bit-depth: %1 takes no bit depth").arg(format));
    }
    return true;
}

bool BuildCliRun(const TCliOptions& options, const TStoredSettings& stored, const TCodecTable& table,
                 TCliRun& run, QString& error) {
    run = TCliRun();
    run.Panel = stored.Main.Panel;

    if (options.Preset) {
        const TProfile* preset = nullptr;
        for (const TProfile& candidate : stored.Presets) {
            if (candidate.FTitle != *options.Preset)
                continue;
            if (options.Format && candidate.FCodecId != *options.Format)
                continue;
            preset = &candidate;
            break;
        }

        if (!preset) {
            const QString scope =
                options.Format ? QStringLiteral(" for ") + CliFormatName(*options.Format) : QString();
            return usageError(
                error, QStringLiteral("--preset: there is no preset titled \"%1\"%2 (see --list-presets)")
                           .arg(*options.Preset, scope));
        }
        run.Panel = ApplyPreset(table, *preset, run.Panel);
    } else if (options.Format) {
        run.Panel.Format = *options.Format;
    }

    std::optional<QString> typedBitrate;
    if (!ApplyCodecOptions(options, table, run.Panel, typedBitrate, error))
        return false;
    run.Run.Profile = CreateEncodingProfile(table, run.Panel, typedBitrate);

    const TProgramSettings& program = stored.Program;
    run.Run.OutputFolder = options.OutputFolder.value_or(program.OutputFolder);
    if (!run.Run.OutputFolder.isEmpty())
        run.Run.OutputFolder = QFileInfo(run.Run.OutputFolder).absoluteFilePath();
    run.Run.CreateFolderStruct = options.FolderStructure.value_or(program.CreateFolderStruct);
    run.Run.OverwriteOption = options.Overwrite.value_or(program.OverwriteOption);
    run.Run.ThreadCount = options.Threads.value_or(program.ThreadCount);
    run.Run.DelUnfinished = options.DeleteUnfinished.value_or(program.DeleteUnfinished);
    run.Run.CopyCoverArt = options.CoverArt.value_or(program.CopyCoverArt);
    run.Run.AdvancedSettings = stored.Advanced;
    if (options.CustomParams)
        run.Run.AdvancedSettings.CustomFFmpegParams = JoinCustomParamLines(*options.CustomParams);
    if (options.AacExtension)
        run.Run.AdvancedSettings.AacExtensionIndex = *options.AacExtension;

    run.Add.IgnoredTypes = options.IgnoreTypes.value_or(program.IgnoredTypes);
    run.Add.AddOnlyTypes = options.OnlyTypes.value_or(program.AddOnlyTypes);
    run.Add.PreferredLanguage = options.Language.value_or(PreferredLanguage(program, stored.LanguageCodes));
    run.Add.AddOnlyForGivenFolders = true;
    return true;
}
