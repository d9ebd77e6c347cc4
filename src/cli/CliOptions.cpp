#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

struct OptionSet {
    QCommandLineOption format{{QStringLiteral("f"), QStringLiteral("format")},
                              QStringLiteral("Output format: mp3, aac, ogg, opus, wma, flac, alac, wav."),
                              QStringLiteral("format")};
    QCommandLineOption preset{{QStringLiteral("p"), QStringLiteral("preset")},
                              QStringLiteral("A preset title, built-in or user (see --list-presets)."),
                              QStringLiteral("title")};
    QCommandLineOption listPresets{QStringLiteral("list-presets"),
                                   QStringLiteral("Print each format and its preset titles, then exit.")};
    QCommandLineOption method{{QStringLiteral("m"), QStringLiteral("method")},
                              QStringLiteral("cbr or quality (mp3, aac, ogg); cbr or vbr (opus)."),
                              QStringLiteral("method")};
    QCommandLineOption bitrate{
        {QStringLiteral("b"), QStringLiteral("bitrate")},
        QStringLiteral("Bit rate in kbit/s (mp3, aac, ogg, opus, wma): 320, 256, 192, 160, 128, 112, 96, 80, "
                       "64, 48, 32, or another value as typed."),
        QStringLiteral("kbps")};
    QCommandLineOption quality{{QStringLiteral("q"), QStringLiteral("quality")},
                               QStringLiteral("mp3 0-9, aac 0.1-2.2, ogg 1-10, flac compression level 0-12."),
                               QStringLiteral("value")};
    QCommandLineOption managed{QStringLiteral("managed"),
                               QStringLiteral("Ogg Vorbis managed bit-rate mode.")};
    QCommandLineOption sampleRate{
        {QStringLiteral("r"), QStringLiteral("sample-rate")},
        QStringLiteral("original, or a rate of the format's list: 96000 (flac, alac, wav), 48000, 44100, "
                       "32000, 22050, 16000, 11025 and 8000 (not mp3)."),
        QStringLiteral("hz")};
    QCommandLineOption channels{{QStringLiteral("c"), QStringLiteral("channels")},
                                QStringLiteral("original, mono or stereo."),
                                QStringLiteral("layout")};
    QCommandLineOption bitDepth{{QStringLiteral("d"), QStringLiteral("bit-depth")},
                                QStringLiteral("original, 16 or 24 (flac, alac, wav)."),
                                QStringLiteral("bits")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Output folder."),
                              QStringLiteral("folder")};
    QCommandLineOption folderStructure{QStringLiteral("folder-structure"),
                                       QStringLiteral("Rebuild the source folders below the output folder.")};
    QCommandLineOption noFolderStructure{QStringLiteral("no-folder-structure"),
                                         QStringLiteral("Put the outputs directly in the format folder.")};
    QCommandLineOption overwrite{
        QStringLiteral("overwrite"),
        QStringLiteral("When the output exists: new (a new name), overwrite, or skip."),
        QStringLiteral("mode")};
    QCommandLineOption threads{{QStringLiteral("j"), QStringLiteral("threads")},
                               QStringLiteral("Number of files converted at the same time (1-32)."),
                               QStringLiteral("count")};
    QCommandLineOption coverArt{QStringLiteral("cover-art"),
                                QStringLiteral("Copy cover art from the source.")};
    QCommandLineOption noCoverArt{QStringLiteral("no-cover-art"), QStringLiteral("Do not copy cover art.")};
    QCommandLineOption deleteUnfinished{QStringLiteral("delete-unfinished"),
                                        QStringLiteral("On Ctrl+C, delete the unfinished output files.")};
    QCommandLineOption keepUnfinished{QStringLiteral("keep-unfinished"),
                                      QStringLiteral("On Ctrl+C, keep the unfinished output files.")};
    QCommandLineOption customParams{QStringLiteral("custom-params"),
                                    QStringLiteral("Custom ffmpeg parameters put into every command line."),
                                    QStringLiteral("text")};
    QCommandLineOption aacExt{QStringLiteral("aac-ext"),
                              QStringLiteral("File extension of AAC output: m4a, aac or m4b."),
                              QStringLiteral("ext")};
    QCommandLineOption lang{
        QStringLiteral("lang"),
        QStringLiteral("Preferred audio-stream language, a three-letter code (e.g. ger)."),
        QStringLiteral("code")};
    QCommandLineOption ignoreTypes{QStringLiteral("ignore-types"),
                                   QStringLiteral("Extensions never added, separated by \";\" (mp3;wav)."),
                                   QStringLiteral("list")};
    QCommandLineOption onlyTypes{QStringLiteral("only-types"),
                                 QStringLiteral("Only these extensions are added from folders, separated by "
                                                "\";\" (flac;mp3)."),
                                 QStringLiteral("list")};
    QCommandLineOption dryRun{
        {QStringLiteral("n"), QStringLiteral("dry-run")},
        QStringLiteral("Print each job's output path and command line; convert nothing.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show the options with their values.")};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({format,
                           preset,
                           listPresets,
                           method,
                           bitrate,
                           quality,
                           managed,
                           sampleRate,
                           channels,
                           bitDepth,
                           output,
                           folderStructure,
                           noFolderStructure,
                           overwrite,
                           threads,
                           coverArt,
                           noCoverArt,
                           deleteUnfinished,
                           keepUnfinished,
                           customParams,
                           aacExt,
                           lang,
                           ignoreTypes,
                           onlyTypes,
                           dryRun,
                           help});
        parser.addPositionalArgument(QStringLiteral("PATH"),
                                     QStringLiteral("Files and folders to convert (folders with their "
                                                    "sub-folders)."),
                                     QStringLiteral("PATH..."));
    }
};

void prepare(QCommandLineParser& parser, const OptionSet& set) {
    parser.setApplicationDescription(
        QStringLiteral("Converts audio files, and the audio of video files, with the settings of Velmo "
                       "Audio Converter; options override them for this run only."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    set.addTo(parser);
}

// The one value a choice option names, or an error naming the option and the choices.
template <typename T>
bool pickChoice(const QString& option, const QString& value, const QList<std::pair<QString, T>>& choices,
                std::optional<T>& target, QString& error) {
    const QString lower = value.trimmed().toLower();
    QStringList names;
    for (const auto& [name, choice] : choices) {
        if (name == lower) {
            target = choice;
            return true;
        }
        names << name;
    }
    error =
        QStringLiteral("--%1: \"%2\" is not one of %3").arg(option, value, names.join(QStringLiteral(", ")));
    return false;
}

bool pickSwitch(const QCommandLineParser& parser, const QCommandLineOption& on, const QCommandLineOption& off,
                std::optional<bool>& target, QString& error) {
    const bool isOn = parser.isSet(on);
    const bool isOff = parser.isSet(off);
    if (isOn && isOff) {
        error =
            QStringLiteral("--%1 and --%2 exclude each other").arg(on.names().first(), off.names().first());
        return false;
    }
    if (isOn || isOff)
        target = isOn;
    return true;
}

// The value of an option given once; giving it twice is a usage error, since one
// of the two would be silently dropped.
bool singleValue(const QCommandLineParser& parser, const QCommandLineOption& option,
                 std::optional<QString>& target, QString& error) {
    const QStringList values = parser.values(option);
    if (values.size() > 1) {
        error = QStringLiteral("--%1 is given more than once").arg(option.names().last());
        return false;
    }
    if (!values.isEmpty())
        target = values.first();
    return true;
}

} // namespace

bool parseCliOptions(const QStringList& arguments, CliOptions& options, QString& error) {
    options = CliOptions();
    QCommandLineParser parser;
    const OptionSet set;
    prepare(parser, set);
    if (!parser.parse(arguments)) {
        error = parser.errorText().simplified();
        return false;
    }
    options.help = parser.isSet(set.help);
    options.listPresets = parser.isSet(set.listPresets);
    options.dryRun = parser.isSet(set.dryRun);
    options.managed = parser.isSet(set.managed);
    options.paths = parser.positionalArguments();
    if (options.help)
        return true;

    std::optional<QString> text;
    auto value = [&](const QCommandLineOption& option) {
        text.reset();
        return singleValue(parser, option, text, error);
    };

    if (!value(set.format))
        return false;
    if (text && !pickChoice<OutputCodec>(QStringLiteral("format"), *text,
                                         {{QStringLiteral("mp3"), OutputCodec::Mp3},
                                          {QStringLiteral("aac"), OutputCodec::Aac},
                                          {QStringLiteral("ogg"), OutputCodec::Ogg},
                                          {QStringLiteral("opus"), OutputCodec::Opus},
                                          {QStringLiteral("wma"), OutputCodec::Wma},
                                          {QStringLiteral("flac"), OutputCodec::Flac},
                                          {QStringLiteral("alac"), OutputCodec::Alac},
                                          {QStringLiteral("wav"), OutputCodec::Wav}},
                                         options.format, error))
        return false;

    if (!value(set.preset))
        return false;
    options.preset = text;

    if (!value(set.method))
        return false;
    if (text && !pickChoice<QString>(QStringLiteral("method"), *text,
                                     {{QStringLiteral("cbr"), QStringLiteral("cbr")},
                                      {QStringLiteral("quality"), QStringLiteral("quality")},
                                      {QStringLiteral("vbr"), QStringLiteral("vbr")}},
                                     options.method, error))
        return false;

    if (!value(set.bitrate))
        return false;
    if (text) {
        bool ok = false;
        const int kbps = text->trimmed().toInt(&ok);
        if (!ok || kbps <= 0) {
            error = QStringLiteral("--bitrate: \"%1\" is not a bit rate in kbit/s").arg(*text);
            return false;
        }
        options.bitrate = QString::number(kbps);
    }

    if (!value(set.quality))
        return false;
    if (text)
        options.quality = text->trimmed();

    if (!value(set.sampleRate))
        return false;
    if (text) {
        const QString rate = text->trimmed().toLower();
        bool ok = false;
        if (rate != QLatin1String("original") && (rate.toInt(&ok), !ok)) {
            error =
                QStringLiteral("--sample-rate: \"%1\" is neither original nor a rate in hertz").arg(*text);
            return false;
        }
        options.sampleRate = rate;
    }

    if (!value(set.channels))
        return false;
    if (text && !pickChoice<ChannelType>(QStringLiteral("channels"), *text,
                                         {{QStringLiteral("original"), ChannelType::Original},
                                          {QStringLiteral("mono"), ChannelType::Mono},
                                          {QStringLiteral("stereo"), ChannelType::Stereo}},
                                         options.channels, error))
        return false;

    if (!value(set.bitDepth))
        return false;
    if (text && !pickChoice<BitDepth>(QStringLiteral("bit-depth"), *text,
                                      {{QStringLiteral("original"), BitDepth::Original},
                                       {QStringLiteral("16"), BitDepth::Bits16},
                                       {QStringLiteral("24"), BitDepth::Bits24}},
                                      options.bitDepth, error))
        return false;

    if (!value(set.output))
        return false;
    if (text && text->isEmpty()) {
        error = QStringLiteral("--output: the folder is empty");
        return false;
    }
    options.outputFolder = text;

    if (!pickSwitch(parser, set.folderStructure, set.noFolderStructure, options.folderStructure, error) ||
        !pickSwitch(parser, set.coverArt, set.noCoverArt, options.coverArt, error) ||
        !pickSwitch(parser, set.deleteUnfinished, set.keepUnfinished, options.deleteUnfinished, error))
        return false;

    if (!value(set.overwrite))
        return false;
    if (text &&
        !pickChoice<int>(
            QStringLiteral("overwrite"), *text,
            {{QStringLiteral("new"), 0}, {QStringLiteral("overwrite"), 1}, {QStringLiteral("skip"), 2}},
            options.overwrite, error))
        return false;

    if (!value(set.threads))
        return false;
    if (text) {
        bool ok = false;
        const int count = text->trimmed().toInt(&ok);
        if (!ok || count < 1 || count > MaxCliThreads) {
            error = QStringLiteral("--threads: \"%1\" is not a number from 1 to %2")
                        .arg(*text)
                        .arg(MaxCliThreads);
            return false;
        }
        options.threads = count;
    }

    if (!value(set.customParams))
        return false;
    options.customParams = text;

    if (!value(set.aacExt))
        return false;
    if (text &&
        !pickChoice<int>(QStringLiteral("aac-ext"), text->startsWith(u'.') ? text->mid(1) : *text,
                         {{QStringLiteral("m4a"), 0}, {QStringLiteral("aac"), 1}, {QStringLiteral("m4b"), 2}},
                         options.aacExtension, error))
        return false;

    if (!value(set.lang))
        return false;
    if (text) {
        static const QRegularExpression code(QStringLiteral("^[A-Za-z]{3}$"));
        if (!code.match(*text).hasMatch()) {
            error = QStringLiteral("--lang: \"%1\" is not a three-letter language code").arg(*text);
            return false;
        }
        options.language = text->toUpper();
    }

    if (!value(set.ignoreTypes))
        return false;
    options.ignoreTypes = text;
    if (!value(set.onlyTypes))
        return false;
    options.onlyTypes = text;

    if (!options.listPresets && options.paths.isEmpty()) {
        error = QStringLiteral("no PATH given (see --help)");
        return false;
    }
    return true;
}

QString cliHelpText() {
    QCommandLineParser parser;
    const OptionSet set;
    prepare(parser, set);
    return parser.helpText();
}
