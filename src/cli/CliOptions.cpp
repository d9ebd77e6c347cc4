#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <functional>

QString cliFormatName(OutputCodec codec) {
    static const QStringList names = {QStringLiteral("mp3"),  QStringLiteral("aac"), QStringLiteral("ogg"),
                                      QStringLiteral("opus"), QStringLiteral("wma"), QStringLiteral("flac"),
                                      QStringLiteral("alac"), QStringLiteral("wav")};
    return names.value(ordinal(codec));
}

namespace {

// Reads the typed value of the named option into the options; false with a
// one-line reason when the value is not one the option takes.
using ValueReader =
    std::function<bool(const QString& option, const QString& value, CliOptions& options, QString& error)>;

// One line of --help and how the parser fills CliOptions from it. A row is one of
// three kinds: a flag (field), an option with a value (valueName and read), or a
// pair of opposite switches (offName and pair) that may also be left unset.
struct OptionRow {
    QStringList names;
    QString help;
    bool CliOptions::*flag = nullptr;
    QString valueName;
    ValueReader read;
    QString offName;
    QString offHelp;
    std::optional<bool> CliOptions::*pair = nullptr;

    QString longName() const { return names.last(); }
    bool isPair() const { return pair != nullptr; }
};

template <typename T>
using FieldReader = bool (*)(const QString& option, const QString& value, std::optional<T>& target,
                             QString& error);

template <typename T> ValueReader into(std::optional<T> CliOptions::*field, FieldReader<T> reader) {
    return [field, reader](const QString& option, const QString& value, CliOptions& options, QString& error) {
        return reader(option, value, options.*field, error);
    };
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

bool readFormat(const QString& option, const QString& value, std::optional<OutputCodec>& target,
                QString& error) {
    QList<std::pair<QString, OutputCodec>> formats;
    for (int index = 0; index < OutputCodecCount; ++index)
        formats.append({cliFormatName(fromOrdinal<OutputCodec>(index)), fromOrdinal<OutputCodec>(index)});
    return pickChoice(option, value, formats, target, error);
}

bool readMethod(const QString& option, const QString& value, std::optional<QString>& target, QString& error) {
    return pickChoice<QString>(option, value,
                               {{QStringLiteral("cbr"), QStringLiteral("cbr")},
                                {QStringLiteral("quality"), QStringLiteral("quality")},
                                {QStringLiteral("vbr"), QStringLiteral("vbr")}},
                               target, error);
}

bool readChannels(const QString& option, const QString& value, std::optional<ChannelType>& target,
                  QString& error) {
    return pickChoice<ChannelType>(option, value,
                                   {{QStringLiteral("original"), ChannelType::Original},
                                    {QStringLiteral("mono"), ChannelType::Mono},
                                    {QStringLiteral("stereo"), ChannelType::Stereo}},
                                   target, error);
}

bool readBitDepth(const QString& option, const QString& value, std::optional<BitDepth>& target,
                  QString& error) {
    return pickChoice<BitDepth>(option, value,
                                {{QStringLiteral("original"), BitDepth::Original},
                                 {QStringLiteral("16"), BitDepth::Bits16},
                                 {QStringLiteral("24"), BitDepth::Bits24}},
                                target, error);
}

bool readOverwrite(const QString& option, const QString& value, std::optional<int>& target, QString& error) {
    return pickChoice<int>(
        option, value,
        {{QStringLiteral("new"), 0}, {QStringLiteral("overwrite"), 1}, {QStringLiteral("skip"), 2}}, target,
        error);
}

// The extension may be typed as it appears in a file name, with its dot.
bool readAacExtension(const QString& option, const QString& value, std::optional<int>& target,
                      QString& error) {
    return pickChoice<int>(
        option, value.startsWith(u'.') ? value.mid(1) : value,
        {{QStringLiteral("m4a"), 0}, {QStringLiteral("aac"), 1}, {QStringLiteral("m4b"), 2}}, target, error);
}

// Any positive rate passes: one outside the format's list is taken as typed, as in
// the editable list of the window.
bool readBitrate(const QString& option, const QString& value, std::optional<QString>& target,
                 QString& error) {
    bool ok = false;
    const int kbps = value.trimmed().toInt(&ok);
    if (!ok || kbps <= 0) {
        error = QStringLiteral("--%1: \"%2\" is not a bit rate in kbit/s").arg(option, value);
        return false;
    }
    target = QString::number(kbps);
    return true;
}

// Whether the value is one of the format's qualities is known only once the
// format is, after the preset.
bool readQuality(const QString&, const QString& value, std::optional<QString>& target, QString&) {
    target = value.trimmed();
    return true;
}

bool readSampleRate(const QString& option, const QString& value, std::optional<QString>& target,
                    QString& error) {
    const QString rate = value.trimmed().toLower();
    bool ok = false;
    if (rate != QLatin1String("original") && (rate.toInt(&ok), !ok)) {
        error = QStringLiteral("--%1: \"%2\" is neither original nor a rate in hertz").arg(option, value);
        return false;
    }
    target = rate;
    return true;
}

bool readThreadCount(const QString& option, const QString& value, std::optional<int>& target,
                     QString& error) {
    bool ok = false;
    const int count = value.trimmed().toInt(&ok);
    if (!ok || count < 1 || count > MaxCliThreads) {
        // Two arg() calls, so that a value holding "%2" reads as it always has.
        error = (QStringLiteral("--") + option + QStringLiteral(": \"%1\" is not a number from 1 to %2"))
                    .arg(value)
                    .arg(MaxCliThreads);
        return false;
    }
    target = count;
    return true;
}

bool readLanguage(const QString& option, const QString& value, std::optional<QString>& target,
                  QString& error) {
    static const QRegularExpression code(QStringLiteral("^[A-Za-z]{3}$"));
    if (!code.match(value).hasMatch()) {
        error = QStringLiteral("--%1: \"%2\" is not a three-letter language code").arg(option, value);
        return false;
    }
    target = value.toUpper();
    return true;
}

bool readFolder(const QString& option, const QString& value, std::optional<QString>& target, QString& error) {
    if (value.isEmpty()) {
        error = QStringLiteral("--%1: the folder is empty").arg(option);
        return false;
    }
    target = value;
    return true;
}

// Titles, ffmpeg parameters and extension lists are passed on untouched.
bool readAsTyped(const QString&, const QString& value, std::optional<QString>& target, QString&) {
    target = value;
    return true;
}

OptionRow flag(const QStringList& names, const QString& help, bool CliOptions::*field) {
    OptionRow row;
    row.names = names;
    row.help = help;
    row.flag = field;
    return row;
}

OptionRow value(const QStringList& names, const QString& valueName, const QString& help, ValueReader read) {
    OptionRow row;
    row.names = names;
    row.valueName = valueName;
    row.help = help;
    row.read = std::move(read);
    return row;
}

OptionRow switchPair(const QString& on, const QString& onHelp, const QString& off, const QString& offHelp,
                     std::optional<bool> CliOptions::*field) {
    OptionRow row;
    row.names = {on};
    row.help = onHelp;
    row.offName = off;
    row.offHelp = offHelp;
    row.pair = field;
    return row;
}

// Every option, in the order --help shows them.
const QList<OptionRow>& optionRows() {
    static const QList<OptionRow> rows = {
        value({QStringLiteral("f"), QStringLiteral("format")}, QStringLiteral("format"),
              QStringLiteral("Output format: mp3, aac, ogg, opus, wma, flac, alac, wav."),
              into(&CliOptions::format, readFormat)),
        value({QStringLiteral("p"), QStringLiteral("preset")}, QStringLiteral("title"),
              QStringLiteral("A preset title, built-in or user (see --list-presets)."),
              into(&CliOptions::preset, readAsTyped)),
        flag({QStringLiteral("list-presets")},
             QStringLiteral("Print each format and its preset titles, then exit."), &CliOptions::listPresets),
        value({QStringLiteral("m"), QStringLiteral("method")}, QStringLiteral("method"),
              QStringLiteral("cbr or quality (mp3, aac, ogg); cbr or vbr (opus)."),
              into(&CliOptions::method, readMethod)),
        value(
            {QStringLiteral("b"), QStringLiteral("bitrate")}, QStringLiteral("kbps"),
            QStringLiteral("Bit rate in kbit/s (mp3, aac, ogg, opus, wma): 320, 256, 192, 160, 128, 112, 96, "
                           "80, 64, 48, 32, or another value as typed."),
            into(&CliOptions::bitrate, readBitrate)),
        value({QStringLiteral("q"), QStringLiteral("quality")}, QStringLiteral("value"),
              QStringLiteral("mp3 0-9, aac 0.1-2.2, ogg 1-10, flac compression level 0-12."),
              into(&CliOptions::quality, readQuality)),
        flag({QStringLiteral("managed")}, QStringLiteral("Ogg Vorbis managed bit-rate mode."),
             &CliOptions::managed),
        value(
            {QStringLiteral("r"), QStringLiteral("sample-rate")}, QStringLiteral("hz"),
            QStringLiteral("original, or a rate of the format's list: 96000 (flac, alac, wav), 48000, 44100, "
                           "32000, 22050, 16000, 11025 and 8000 (not mp3)."),
            into(&CliOptions::sampleRate, readSampleRate)),
        value({QStringLiteral("c"), QStringLiteral("channels")}, QStringLiteral("layout"),
              QStringLiteral("original, mono or stereo."), into(&CliOptions::channels, readChannels)),
        value({QStringLiteral("d"), QStringLiteral("bit-depth")}, QStringLiteral("bits"),
              QStringLiteral("original, 16 or 24 (flac, alac, wav)."),
              into(&CliOptions::bitDepth, readBitDepth)),
        value({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("folder"),
              QStringLiteral("Output folder."), into(&CliOptions::outputFolder, readFolder)),
        switchPair(QStringLiteral("folder-structure"),
                   QStringLiteral("Rebuild the source folders below the output folder."),
                   QStringLiteral("no-folder-structure"),
                   QStringLiteral("Put the outputs directly in the format folder."),
                   &CliOptions::folderStructure),
        value({QStringLiteral("overwrite")}, QStringLiteral("mode"),
              QStringLiteral("When the output exists: new (a new name), overwrite, or skip."),
              into(&CliOptions::overwrite, readOverwrite)),
        value({QStringLiteral("j"), QStringLiteral("threads")}, QStringLiteral("count"),
              QStringLiteral("Number of files converted at the same time (1-32)."),
              into(&CliOptions::threads, readThreadCount)),
        switchPair(QStringLiteral("cover-art"), QStringLiteral("Copy cover art from the source."),
                   QStringLiteral("no-cover-art"), QStringLiteral("Do not copy cover art."),
                   &CliOptions::coverArt),
        switchPair(QStringLiteral("delete-unfinished"),
                   QStringLiteral("On Ctrl+C, delete the unfinished output files."),
                   QStringLiteral("keep-unfinished"),
                   QStringLiteral("On Ctrl+C, keep the unfinished output files."),
                   &CliOptions::deleteUnfinished),
        value({QStringLiteral("custom-params")}, QStringLiteral("text"),
              QStringLiteral("Custom ffmpeg parameters put into every command line."),
              into(&CliOptions::customParams, readAsTyped)),
        value({QStringLiteral("aac-ext")}, QStringLiteral("ext"),
              QStringLiteral("File extension of AAC output: m4a, aac or m4b."),
              into(&CliOptions::aacExtension, readAacExtension)),
        value({QStringLiteral("lang")}, QStringLiteral("code"),
              QStringLiteral("Preferred audio-stream language, a three-letter code (e.g. ger)."),
              into(&CliOptions::language, readLanguage)),
        value({QStringLiteral("ignore-types")}, QStringLiteral("list"),
              QStringLiteral("Extensions never added, separated by \";\" (mp3;wav)."),
              into(&CliOptions::ignoreTypes, readAsTyped)),
        value({QStringLiteral("only-types")}, QStringLiteral("list"),
              QStringLiteral("Only these extensions are added from folders, separated by \";\" (flac;mp3)."),
              into(&CliOptions::onlyTypes, readAsTyped)),
        flag({QStringLiteral("n"), QStringLiteral("dry-run")},
             QStringLiteral("Print each job's output path and command line; convert nothing."),
             &CliOptions::dryRun),
        flag({QStringLiteral("h"), QStringLiteral("help")},
             QStringLiteral("Show the options with their values."), &CliOptions::help),
    };
    return rows;
}

void prepare(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Converts audio files, and the audio of video files, with the settings of Velmo "
                       "Audio Converter; options override them for this run only."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionRow& row : optionRows()) {
        parser.addOption(QCommandLineOption(row.names, row.help, row.valueName));
        if (row.isPair())
            parser.addOption(QCommandLineOption(row.offName, row.offHelp));
    }
    parser.addPositionalArgument(
        QStringLiteral("PATH"),
        QStringLiteral("Files and folders to convert (folders with their sub-folders)."),
        QStringLiteral("PATH..."));
}

// The value of an option given once; giving it twice is a usage error, since one
// of the two would be silently dropped.
bool readValue(const QCommandLineParser& parser, const OptionRow& row, CliOptions& options, QString& error) {
    const QStringList values = parser.values(row.longName());
    if (values.size() > 1) {
        error = QStringLiteral("--%1 is given more than once").arg(row.longName());
        return false;
    }
    return values.isEmpty() || row.read(row.longName(), values.first(), options, error);
}

bool readPair(const QCommandLineParser& parser, const OptionRow& row, CliOptions& options, QString& error) {
    const bool isOn = parser.isSet(row.longName());
    const bool isOff = parser.isSet(row.offName);
    if (isOn && isOff) {
        error = QStringLiteral("--%1 and --%2 exclude each other").arg(row.longName(), row.offName);
        return false;
    }
    if (isOn || isOff)
        options.*row.pair = isOn;
    return true;
}

// Of several mistakes in one call the first in this order is named, so that a
// script meets the same message from release to release: every switch pair is
// looked at where the first pair stands.
bool readValuesAndPairs(const QCommandLineParser& parser, CliOptions& options, QString& error) {
    bool pairsRead = false;
    for (const OptionRow& row : optionRows()) {
        if (row.isPair() && !pairsRead) {
            pairsRead = true;
            for (const OptionRow& pairRow : optionRows())
                if (pairRow.isPair() && !readPair(parser, pairRow, options, error))
                    return false;
        } else if (row.read && !readValue(parser, row, options, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool parseCliOptions(const QStringList& arguments, CliOptions& options, QString& error) {
    options = CliOptions();
    QCommandLineParser parser;
    prepare(parser);
    if (!parser.parse(arguments)) {
        error = parser.errorText().simplified();
        return false;
    }
    for (const OptionRow& row : optionRows())
        if (row.flag)
            options.*row.flag = parser.isSet(row.longName());
    options.paths = parser.positionalArguments();
    // Help is shown whatever else is typed, right or wrong.
    if (options.help)
        return true;
    if (!readValuesAndPairs(parser, options, error))
        return false;
    if (!options.listPresets && options.paths.isEmpty()) {
        error = QStringLiteral("no PATH given (see --help)");
        return false;
    }
    return true;
}

QString cliHelpText() {
    QCommandLineParser parser;
    prepare(parser);
    return parser.helpText();
}
