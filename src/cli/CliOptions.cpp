#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

struct TOptionSet {
    QCommandLineOption Format{{QStringLiteral("f"), QStringLiteral("format")},
                              QStringLiteral("Output format: mp3, aac, ogg, opus, wma, flac, alac, wav."),
                              QStringLiteral("format")};
    QCommandLineOption Preset{{QStringLiteral("p"), QStringLiteral("preset")},
                              QStringLiteral("A preset title, built-in or user (see --list-presets)."),
                              QStringLiteral("title")};
    QCommandLineOption ListPresets{QStringLiteral("list-presets"),
                                   QStringLiteral("Print each format and its preset titles, then exit.")};
    QCommandLineOption Method{{QStringLiteral("m"), QStringLiteral("method")},
                              QStringLiteral("cbr or quality (mp3, aac, ogg); cbr or vbr (opus)."),
                              QStringLiteral("method")};
    QCommandLineOption Bitrate{
        {QStringLiteral("b"), QStringLiteral("bitrate")},
        QStringLiteral("Bit rate in kbit/s (mp3, aac, ogg, opus, wma): 320, 256, 192, 160, 128, 112, 96, 80, "
                       "64, 48, 32, or another value as typed."),
        QStringLiteral("kbps")};
    QCommandLineOption Quality{{QStringLiteral("q"), QStringLiteral("quality")},
                               QStringLiteral("mp3 0-9, aac 0.1-2.2, ogg 1-10, flac compression level 0-12."),
                               QStringLiteral("value")};
    QCommandLineOption Managed{QStringLiteral("managed"),
                               QStringLiteral("Ogg Vorbis managed bit-rate mode.")};
    QCommandLineOption SampleRate{
        {QStringLiteral("r"), QStringLiteral("sample-rate")},
        QStringLiteral("original, or a rate of the format's list: 96000 (flac, alac, wav), 48000, 44100, "
                       "32000, 22050, 16000, 11025 and 8000 (not mp3)."),
        QStringLiteral("hz")};
    QCommandLineOption Channels{{QStringLiteral("c"), QStringLiteral("channels")},
                                QStringLiteral("original, mono or stereo."),
                                QStringLiteral("layout")};
    QCommandLineOption BitDepth{{QStringLiteral("d"), QStringLiteral("bit-depth")},
                                QStringLiteral("original, 16 or 24 (flac, alac, wav)."),
                                QStringLiteral("bits")};
    QCommandLineOption Output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Output folder."),
                              QStringLiteral("folder")};
    QCommandLineOption FolderStructure{QStringLiteral("folder-structure"),
                                       QStringLiteral("Rebuild the source folders below the output folder.")};
    QCommandLineOption NoFolderStructure{QStringLiteral("no-folder-structure"),
                                         QStringLiteral("Put the outputs directly in the format folder.")};
    QCommandLineOption Overwrite{
        QStringLiteral("overwrite"),
        QStringLiteral("When the output exists: new (a new name), overwrite, or skip."),
        QStringLiteral("mode")};
    QCommandLineOption Threads{{QStringLiteral("j"), QStringLiteral("threads")},
                               QStringLiteral("Number of files converted at the same time (1-32)."),
                               QStringLiteral("count")};
    QCommandLineOption CoverArt{QStringLiteral("cover-art"),
                                QStringLiteral("Copy cover art from the source.")};
    QCommandLineOption NoCoverArt{QStringLiteral("no-cover-art"), QStringLiteral("Do not copy cover art.")};
    QCommandLineOption DeleteUnfinished{QStringLiteral("delete-unfinished"),
                                        QStringLiteral("On Ctrl+C, delete the unfinished output files.")};
    QCommandLineOption KeepUnfinished{QStringLiteral("keep-unfinished"),
                                      QStringLiteral("On Ctrl+C, keep the unfinished output files.")};
    QCommandLineOption CustomParams{QStringLiteral("custom-params"),
                                    QStringLiteral("Custom ffmpeg parameters put into every command line."),
                                    QStringLiteral("text")};
    QCommandLineOption AacExt{QStringLiteral("aac-ext"),
                              QStringLiteral("File extension of AAC output: m4a, aac or m4b."),
                              QStringLiteral("ext")};
    QCommandLineOption Lang{
        QStringLiteral("lang"),
        QStringLiteral("Preferred audio-stream language, a three-letter code (e.g. ger)."),
        QStringLiteral("code")};
    QCommandLineOption IgnoreTypes{QStringLiteral("ignore-types"),
                                   QStringLiteral("Extensions never added, separated by \";\" (mp3;wav)."),
                                   QStringLiteral("list")};
    QCommandLineOption OnlyTypes{QStringLiteral("only-types"),
                                 QStringLiteral("Only these extensions are added from folders, separated by "
                                                "\";\" (flac;mp3)."),
                                 QStringLiteral("list")};
    QCommandLineOption DryRun{
        {QStringLiteral("n"), QStringLiteral("dry-run")},
        QStringLiteral("Print each job's output path and command line; convert nothing.")};
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show the options with their values.")};

    void AddTo(QCommandLineParser& parser) const {
        parser.addOptions({Format,
                           Preset,
                           ListPresets,
                           Method,
                           Bitrate,
                           Quality,
                           Managed,
                           SampleRate,
                           Channels,
                           BitDepth,
                           Output,
                           FolderStructure,
                           NoFolderStructure,
                           Overwrite,
                           Threads,
                           CoverArt,
                           NoCoverArt,
                           DeleteUnfinished,
                           KeepUnfinished,
                           CustomParams,
                           AacExt,
                           Lang,
                           IgnoreTypes,
                           OnlyTypes,
                           DryRun,
                           Help});
        parser.addPositionalArgument(QStringLiteral("PATH"),
                                     QStringLiteral("Files and folders to convert (folders with their "
                                                    "sub-folders)."),
                                     QStringLiteral("PATH..."));
    }
};

void prepare(QCommandLineParser& parser, const TOptionSet& set) {
    parser.setApplicationDescription(
        QStringLiteral("Converts audio files, and the audio of video files, with the settings of Velmo "
                       "Audio Converter; options override them for this run only."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    set.AddTo(parser);
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

bool ParseCliOptions(const QStringList& arguments, TCliOptions& options, QString& error) {
    options = TCliOptions();
    QCommandLineParser parser;
    const TOptionSet set;
    prepare(parser, set);
    if (!parser.parse(arguments)) {
        error = parser.errorText().simplified();
        return false;
    }
    options.Help = parser.isSet(set.Help);
    options.ListPresets = parser.isSet(set.ListPresets);
    options.DryRun = parser.isSet(set.DryRun);
    options.Managed = parser.isSet(set.Managed);
    options.Paths = parser.positionalArguments();
    if (options.Help)
        return true;

    std::optional<QString> text;
    auto value = [&](const QCommandLineOption& option) {
        text.reset();
        return singleValue(parser, option, text, error);
    };

    if (!value(set.Format))
        return false;
    if (text && !pickChoice<TOutputCodec>(QStringLiteral("format"), *text,
                                          {{QStringLiteral("mp3"), ocMP3},
                                           {QStringLiteral("aac"), ocAAC},
                                           {QStringLiteral("ogg"), ocOGG},
                                           {QStringLiteral("opus"), ocOPUS},
                                           {QStringLiteral("wma"), ocWMA},
                                           {QStringLiteral("flac"), ocFLAC},
                                           {QStringLiteral("alac"), ocALAC},
                                           {QStringLiteral("wav"), ocWAV}},
                                          options.Format, error))
        return false;

    if (!value(set.Preset))
        return false;
    options.Preset = text;

    if (!value(set.Method))
        return false;
    if (text && !pickChoice<QString>(QStringLiteral("method"), *text,
                                     {{QStringLiteral("cbr"), QStringLiteral("cbr")},
                                      {QStringLiteral("quality"), QStringLiteral("quality")},
                                      {QStringLiteral("vbr"), QStringLiteral("vbr")}},
                                     options.Method, error))
        return false;

    if (!value(set.Bitrate))
        return false;
    if (text) {
        bool ok = false;
        const int kbps = text->trimmed().toInt(&ok);
        if (!ok || kbps <= 0) {
            error = QStringLiteral("--bitrate: \"%1\" is not a bit rate in kbit/s").arg(*text);
            return false;
        }
        options.Bitrate = QString::number(kbps);
    }

    if (!value(set.Quality))
        return false;
    if (text)
        options.Quality = text->trimmed();

    if (!value(set.SampleRate))
        return false;
    if (text) {
        const QString rate = text->trimmed().toLower();
        bool ok = false;
        if (rate != QLatin1String("original") && (rate.toInt(&ok), !ok)) {
            error =
                QStringLiteral("--sample-rate: \"%1\" is neither original nor a rate in hertz").arg(*text);
            return false;
        }
        options.SampleRate = rate;
    }

    if (!value(set.Channels))
        return false;
    if (text && !pickChoice<TChannelType>(QStringLiteral("channels"), *text,
                                          {{QStringLiteral("original"), chOriginal},
                                           {QStringLiteral("mono"), chMono},
                                           {QStringLiteral("stereo"), chStereo}},
                                          options.Channels, error))
        return false;

    if (!value(set.BitDepth))
        return false;
    if (text && !pickChoice<TBitDepth>(QStringLiteral("bit-depth"), *text,
                                       {{QStringLiteral("original"), bdOriginal},
                                        {QStringLiteral("16"), bd16},
                                        {QStringLiteral("24"), bd24}},
                                       options.BitDepth, error))
        return false;

    if (!value(set.Output))
        return false;
    if (text && text->isEmpty()) {
        error = QStringLiteral("--output: the folder is empty");
        return false;
    }
    options.OutputFolder = text;

    if (!pickSwitch(parser, set.FolderStructure, set.NoFolderStructure, options.FolderStructure, error) ||
        !pickSwitch(parser, set.CoverArt, set.NoCoverArt, options.CoverArt, error) ||
        !pickSwitch(parser, set.DeleteUnfinished, set.KeepUnfinished, options.DeleteUnfinished, error))
        return false;

    if (!value(set.Overwrite))
        return false;
    if (text &&
        !pickChoice<int>(
            QStringLiteral("overwrite"), *text,
            {{QStringLiteral("new"), 0}, {QStringLiteral("overwrite"), 1}, {QStringLiteral("skip"), 2}},
            options.Overwrite, error))
        return false;

    if (!value(set.Threads))
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
        options.Threads = count;
    }

    if (!value(set.CustomParams))
        return false;
    options.CustomParams = text;

    if (!value(set.AacExt))
        return false;
    if (text &&
        !pickChoice<int>(QStringLiteral("aac-ext"), text->startsWith(u'.') ? text->mid(1) : *text,
                         {{QStringLiteral("m4a"), 0}, {QStringLiteral("aac"), 1}, {QStringLiteral("m4b"), 2}},
                         options.AacExtension, error))
        return false;

    if (!value(set.Lang))
        return false;
    if (text) {
        static const QRegularExpression code(QStringLiteral("^[A-Za-z]{3}$"));
        if (!code.match(*text).hasMatch()) {
            error = QStringLiteral("--lang: \"%1\" is not a three-letter language code").arg(*text);
            return false;
        }
        options.Language = text->toUpper();
    }

    if (!value(set.IgnoreTypes))
        return false;
    options.IgnoreTypes = text;
    if (!value(set.OnlyTypes))
        return false;
    options.OnlyTypes = text;

    if (!options.ListPresets && options.Paths.isEmpty()) {
        error = QStringLiteral("no PATH given (see --help)");
        return false;
    }
    return true;
}

QString CliHelpText() {
    QCommandLineParser parser;
    const TOptionSet set;
    prepare(parser, set);
    return parser.helpText();
}
