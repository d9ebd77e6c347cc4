#include "cli/CliSettings.h"

#include "model/EncodingProfileBuilder.h"
#include "settings/AdvancedSettingsFile.h"
#include "settings/MainSettings.h"
#include "settings/ProgramSettings.h"

#include <QFileInfo>
#include <QtMath>

namespace {

bool usageError(QString& error, const QString& text) {
    error = text;
    return false;
}

// The quality-list position of a typed quality value, or -1.
int qualityPosition(const CodecCapabilities& codec, const QString& value) {
    bool ok = false;
    if (codec.codecId == OutputCodec::Aac) {
        // The list holds positions for 0.1 to 2.2 in steps of 0.1.
        const double number = value.toDouble(&ok);
        if (!ok)
            return -1;
        const double tenths = number * 10;
        const int rounded = qRound(tenths);
        if (qAbs(tenths - rounded) > 1e-6)
            return -1;
        const int position = rounded - 1;
        return position >= 0 && position < codec.supportedQualities.size() ? position : -1;
    }
    const int number = value.toInt(&ok);
    return ok ? int(codec.supportedQualities.indexOf(QString::number(number))) : -1;
}

QString qualityRange(const CodecCapabilities& codec) {
    if (codec.codecId == OutputCodec::Aac)
        return QStringLiteral("0.1 to 2.2 in steps of 0.1");
    return codec.supportedQualities.first() + QStringLiteral(" to ") + codec.supportedQualities.last();
}

QString rateList(const CodecCapabilities& codec) {
    QStringList rates;
    for (SampleRate rate : codec.supportedSampleRates)
        rates << (rate == SampleRate::Original ? QStringLiteral("original")
                                               : QString::number(sampleRateHz(rate)));
    return rates.join(QStringLiteral(", "));
}

} // namespace

bool applyCodecOptions(const CliOptions& options, const CodecTable& table, CodecPanelPositions& panel,
                       std::optional<QString>& typedBitrate, QString& error) {
    const auto codecId = OutputCodec(panel.format);
    const CodecCapabilities* found = findCodec(table, codecId);
    if (!found)
        return usageError(error, QStringLiteral("the format is unknown"));
    const CodecCapabilities& codec = *found;
    const QString format = cliFormatName(codecId);
    CodecPagePositions& page = panel.page(codecId);
    const bool hasMethods =
        codec.supportedEncodingTypes.contains(EncodeType::Quality); // MP3, AAC, Ogg Vorbis
    const bool hasBitrates = !codec.supportedBitrates.isEmpty();
    const bool hasQualities = !codec.supportedQualities.isEmpty();

    // The method, given or implied by a bit rate or a quality.
    std::optional<QString> method = options.method;
    if (method) {
        if (codecId == OutputCodec::Opus) {
            if (*method == QLatin1String("quality"))
                return usageError(error, QStringLiteral("--method: opus takes cbr or vbr"));
        } else if (!hasMethods) {
            return usageError(error, QStringLiteral("--method: %1 has no encoding method").arg(format));
        } else if (*method == QLatin1String("vbr")) {
            return usageError(error, QStringLiteral("--method: %1 takes cbr or quality").arg(format));
        }
    }
    if (hasMethods) {
        if (options.bitrate && options.quality)
            return usageError(
                error, QStringLiteral("--bitrate and --quality exclude each other for %1").arg(format));
        if (options.bitrate && method && *method != QLatin1String("cbr"))
            return usageError(error, QStringLiteral("--bitrate needs --method cbr"));
        if (options.quality && method && *method != QLatin1String("quality"))
            return usageError(error, QStringLiteral("--quality needs --method quality"));
        if (!method && options.bitrate)
            method = QStringLiteral("cbr");
        if (!method && options.quality)
            method = QStringLiteral("quality");
        if (method)
            page.method = *method == QLatin1String("cbr") ? 0 : 1;
    } else if (codecId == OutputCodec::Opus && method) {
        panel.opusVbr = *method == QLatin1String("vbr");
    }

    if (options.bitrate) {
        if (!hasBitrates)
            return usageError(error, QStringLiteral("--bitrate: %1 takes no bit rate").arg(format));
        const int position = int(codec.supportedBitrates.indexOf(*options.bitrate));
        if (position >= 0)
            page.bitrate = position;
        else
            typedBitrate = *options.bitrate; // a typed value passes through, as in the editable list
    }

    if (options.quality) {
        if (!hasQualities)
            return usageError(error, QStringLiteral("--quality: %1 takes no quality").arg(format));
        const int position = qualityPosition(codec, *options.quality);
        if (position < 0)
            return usageError(error, QStringLiteral("--quality: \"%1\" is not a %2 quality (%3)")
                                         .arg(*options.quality, format, qualityRange(codec)));
        page.quality = position;
    }

    if (options.managed) {
        if (codecId != OutputCodec::Ogg)
            return usageError(error, QStringLiteral("--managed applies to ogg only"));
        panel.oggManagedBitrate = true;
    }

    if (options.sampleRate) {
        int position = -1;
        for (int index = 0; index < codec.supportedSampleRates.size(); ++index) {
            const SampleRate rate = codec.supportedSampleRates.at(index);
            const QString text = rate == SampleRate::Original ? QStringLiteral("original")
                                                              : QString::number(sampleRateHz(rate));
            if (text == *options.sampleRate)
                position = index;
        }
        if (position < 0)
            return usageError(error, QStringLiteral("--sample-rate: %1 is not a rate of %2 (%3)")
                                         .arg(*options.sampleRate, format, rateList(codec)));
        page.sampleRate = position;
    }

    if (options.channels) {
        const int position = int(codec.supportedChannels.indexOf(*options.channels));
        if (position < 0)
            return usageError(error, QStringLiteral("--channels: %1 does not take this layout").arg(format));
        page.channel = position;
    }

    if (options.bitDepth) {
        const int position = int(codec.supportedBitDepths.indexOf(*options.bitDepth));
        if (position >= 0)
            page.bitDepth = position;
        else if (*options.bitDepth != BitDepth::Original)
            return usageError(error, QStringLiteral("--bit-depth: %1 takes no bit depth").arg(format));
    }
    return true;
}

bool buildCliRun(const CliOptions& options, const StoredSettings& stored, const CodecTable& table,
                 CliRun& run, QString& error) {
    run = CliRun();
    run.panel = stored.main.panel;

    if (options.preset) {
        const Preset* preset = nullptr;
        for (const Preset& candidate : stored.presets) {
            if (candidate.title != *options.preset)
                continue;
            if (options.format && candidate.codecId != *options.format)
                continue;
            preset = &candidate;
            break;
        }

        if (!preset) {
            const QString scope =
                options.format ? QStringLiteral(" for ") + cliFormatName(*options.format) : QString();
            return usageError(
                error, QStringLiteral("--preset: there is no preset titled \"%1\"%2 (see --list-presets)")
                           .arg(*options.preset, scope));
        }
        run.panel = applyPreset(table, *preset, run.panel);
    } else if (options.format) {
        run.panel.format = ordinal(*options.format);
    }

    std::optional<QString> typedBitrate;
    if (!applyCodecOptions(options, table, run.panel, typedBitrate, error))
        return false;
    run.run.profile = createEncodingProfile(table, run.panel, typedBitrate);

    const ProgramSettings& program = stored.program;
    run.run.outputFolder = options.outputFolder.value_or(program.outputFolder);
    if (!run.run.outputFolder.isEmpty())
        run.run.outputFolder = QFileInfo(run.run.outputFolder).absoluteFilePath();
    run.run.createFolderStruct = options.folderStructure.value_or(program.createFolderStruct);
    run.run.overwriteOption =
        fromOrdinal<OverwriteOption>(options.overwrite.value_or(program.overwriteOption));
    run.run.threadCount = options.threads.value_or(program.threadCount);
    run.run.delUnfinished = options.deleteUnfinished.value_or(program.deleteUnfinished);
    run.run.copyCoverArt = options.coverArt.value_or(program.copyCoverArt);
    run.run.advancedSettings = stored.advanced;
    if (options.customParams)
        run.run.advancedSettings.customFFmpegParams = joinCustomParamLines(*options.customParams);
    if (options.aacExtension)
        run.run.advancedSettings.aacExtensionIndex = *options.aacExtension;

    run.add.ignoredTypes = options.ignoreTypes.value_or(program.ignoredTypes);
    run.add.addOnlyTypes = options.onlyTypes.value_or(program.addOnlyTypes);
    run.add.preferredLanguage = options.language.value_or(preferredLanguage(program, stored.languageCodes));
    run.add.addOnlyForGivenFolders = true;
    return true;
}
