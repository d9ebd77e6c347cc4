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

// The format page the codec options go to, with what the messages call it.
struct CodecTarget {
    const CodecCapabilities& codec;
    OutputCodec codecId;
    QString format;
    CodecPanelPositions& panel;
    CodecPagePositions& page;
};

// The method, given or implied by a bit rate or a quality.
bool applyMethod(const CliOptions& options, const CodecTarget& target, QString& error) {
    const QString& format = target.format;
    const bool hasMethods =
        target.codec.supportedEncodingTypes.contains(EncodeType::Quality); // MP3, AAC, Ogg Vorbis
    std::optional<QString> method = options.method;
    if (method) {
        if (target.codecId == OutputCodec::Opus) {
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
            target.page.method = *method == QLatin1String("cbr") ? 0 : 1;
    } else if (target.codecId == OutputCodec::Opus && method) {
        target.panel.opusVbr = *method == QLatin1String("vbr");
    }
    return true;
}

bool applyBitrate(const QString& bitrate, const CodecTarget& target, std::optional<QString>& typedBitrate,
                  QString& error) {
    if (target.codec.supportedBitrates.isEmpty())
        return usageError(error, QStringLiteral("--bitrate: %1 takes no bit rate").arg(target.format));
    const int position = int(target.codec.supportedBitrates.indexOf(bitrate));
    if (position >= 0)
        target.page.bitrate = position;
    else
        typedBitrate = bitrate; // a typed value passes through, as in the editable list
    return true;
}

bool applyQuality(const QString& quality, const CodecTarget& target, QString& error) {
    if (target.codec.supportedQualities.isEmpty())
        return usageError(error, QStringLiteral("--quality: %1 takes no quality").arg(target.format));
    const int position = qualityPosition(target.codec, quality);
    if (position < 0)
        return usageError(error, QStringLiteral("--quality: \"%1\" is not a %2 quality (%3)")
                                     .arg(quality, target.format, qualityRange(target.codec)));
    target.page.quality = position;
    return true;
}

bool applySampleRate(const QString& sampleRate, const CodecTarget& target, QString& error) {
    const QList<SampleRate>& rates = target.codec.supportedSampleRates;
    int position = -1;
    for (int index = 0; index < rates.size(); ++index) {
        const SampleRate rate = rates.at(index);
        const QString text =
            rate == SampleRate::Original ? QStringLiteral("original") : QString::number(sampleRateHz(rate));
        if (text == sampleRate)
            position = index;
    }
    if (position < 0)
        return usageError(error, QStringLiteral("--sample-rate: %1 is not a rate of %2 (%3)")
                                     .arg(sampleRate, target.format, rateList(target.codec)));
    target.page.sampleRate = position;
    return true;
}

// Channels and bit depth: positions in the format's lists. Original bit depth is
// what a format without a bit-depth list does anyway, so it is no error there.
bool applyLayout(const CliOptions& options, const CodecTarget& target, QString& error) {
    if (options.channels) {
        const int position = int(target.codec.supportedChannels.indexOf(*options.channels));
        if (position < 0)
            return usageError(error,
                              QStringLiteral("--channels: %1 does not take this layout").arg(target.format));
        target.page.channel = position;
    }
    if (options.bitDepth) {
        const int position = int(target.codec.supportedBitDepths.indexOf(*options.bitDepth));
        if (position >= 0)
            target.page.bitDepth = position;
        else if (*options.bitDepth != BitDepth::Original)
            return usageError(error, QStringLiteral("--bit-depth: %1 takes no bit depth").arg(target.format));
    }
    return true;
}

// The preset of the given title, of the given format if one is given; null when
// there is none.
const Preset* findPreset(const QList<Preset>& presets, const QString& title,
                         const std::optional<OutputCodec>& format) {
    for (const Preset& candidate : presets) {
        if (candidate.title == title && (!format || candidate.codecId == *format))
            return &candidate;
    }
    return nullptr;
}

// The panel the codec options are laid over: the stored one, turned to the preset
// or the format given.
bool startingPanel(const CliOptions& options, const StoredSettings& stored, const CodecTable& table,
                   CodecPanelPositions& panel, QString& error) {
    panel = stored.main.panel;
    if (options.preset) {
        const Preset* preset = findPreset(stored.presets, *options.preset, options.format);
        if (!preset) {
            const QString scope =
                options.format ? QStringLiteral(" for ") + cliFormatName(*options.format) : QString();
            return usageError(
                error, QStringLiteral("--preset: there is no preset titled \"%1\"%2 (see --list-presets)")
                           .arg(*options.preset, scope));
        }
        panel = applyPreset(table, *preset, panel);
    } else if (options.format) {
        panel.format = ordinal(*options.format);
    }
    return true;
}

// Where and how the jobs run: the options, else the stored program settings.
void applyRunOptions(const CliOptions& options, const StoredSettings& stored, RunSettings& run) {
    const ProgramSettings& program = stored.program;
    run.outputFolder = options.outputFolder.value_or(program.outputFolder);
    if (!run.outputFolder.isEmpty())
        run.outputFolder = QFileInfo(run.outputFolder).absoluteFilePath();
    run.createFolderStruct = options.folderStructure.value_or(program.createFolderStruct);
    run.overwriteOption = fromOrdinal<OverwriteOption>(options.overwrite.value_or(program.overwriteOption));
    run.threadCount = options.threads.value_or(program.threadCount);
    run.deleteUnfinished = options.deleteUnfinished.value_or(program.deleteUnfinished);
    run.copyCoverArt = options.coverArt.value_or(program.copyCoverArt);
    run.advancedSettings = stored.advanced;
    if (options.customParams)
        run.advancedSettings.customFFmpegParams = joinCustomParamLines(*options.customParams);
    if (options.aacExtension)
        run.advancedSettings.aacExtensionIndex = *options.aacExtension;
}

// Which files are added: the options, else the stored program settings. Folders
// are only ever the ones named on the command line.
AddSettings addSettings(const CliOptions& options, const StoredSettings& stored) {
    const ProgramSettings& program = stored.program;
    AddSettings add;
    add.ignoredTypes = options.ignoreTypes.value_or(program.ignoredTypes);
    add.addOnlyTypes = options.onlyTypes.value_or(program.addOnlyTypes);
    add.preferredLanguage = options.language.value_or(preferredLanguage(program, stored.languageCodes));
    add.addOnlyForGivenFolders = true;
    return add;
}

} // namespace

bool applyCodecOptions(const CliOptions& options, const CodecTable& table, CodecPanelPositions& panel,
                       std::optional<QString>& typedBitrate, QString& error) {
    const auto codecId = OutputCodec(panel.format);
    const CodecCapabilities* codec = findCodec(table, codecId);
    if (!codec)
        return usageError(error, QStringLiteral("the format is unknown"));
    const CodecTarget target{*codec, codecId, cliFormatName(codecId), panel, panel.page(codecId)};
    if (!applyMethod(options, target, error))
        return false;
    if (options.bitrate && !applyBitrate(*options.bitrate, target, typedBitrate, error))
        return false;
    if (options.quality && !applyQuality(*options.quality, target, error))
        return false;
    if (options.managed) {
        if (codecId != OutputCodec::Ogg)
            return usageError(error, QStringLiteral("--managed applies to ogg only"));
        panel.oggManagedBitrate = true;
    }
    if (options.sampleRate && !applySampleRate(*options.sampleRate, target, error))
        return false;
    return applyLayout(options, target, error);
}

bool buildCliRun(const CliOptions& options, const StoredSettings& stored, const CodecTable& table,
                 CliRun& run, QString& error) {
    run = CliRun();
    if (!startingPanel(options, stored, table, run.panel, error))
        return false;
    std::optional<QString> typedBitrate;
    if (!applyCodecOptions(options, table, run.panel, typedBitrate, error))
        return false;
    run.run.profile = createEncodingProfile(table, run.panel, typedBitrate);
    applyRunOptions(options, stored, run.run);
    run.add = addSettings(options, stored);
    return true;
}
