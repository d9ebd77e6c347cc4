#include "cli/CliOptions.h"

#include <QtTest>

// velmo-convert's options as the parser reads them, without running anything.
class TestCliOptions : public QObject {
    Q_OBJECT

    static QStringList withProgram(const QStringList& arguments) {
        return QStringList{QStringLiteral("velmo-convert")} + arguments;
    }

    // The options that are set, one "name=value" each, so that a row can say in
    // one string what a call sets and that it sets nothing else.
    static QString describe(const CliOptions& options) {
        static const QStringList channelNames{QStringLiteral("original"), QStringLiteral("mono"),
                                              QStringLiteral("stereo")};
        static const QStringList bitDepthNames{QStringLiteral("original"), QStringLiteral("16"),
                                               QStringLiteral("24")};
        QStringList parts;
        auto text = [&](const char* name, const std::optional<QString>& value) {
            if (value)
                parts << QLatin1String(name) + u'=' + *value;
        };
        auto number = [&](const char* name, const std::optional<int>& value) {
            if (value)
                parts << QLatin1String(name) + u'=' + QString::number(*value);
        };
        auto flag = [&](const char* name, bool value) {
            if (value)
                parts << QLatin1String(name);
        };
        auto onOff = [&](const char* name, const std::optional<bool>& value) {
            if (value)
                parts << QLatin1String(name) + (*value ? QStringLiteral("=on") : QStringLiteral("=off"));
        };
        if (options.format)
            parts << QStringLiteral("format=") + cliFormatName(*options.format);
        text("preset", options.preset);
        text("method", options.method);
        text("bitrate", options.bitrate);
        text("quality", options.quality);
        flag("managed", options.managed);
        text("sampleRate", options.sampleRate);
        if (options.channels)
            parts << QStringLiteral("channels=") + channelNames.value(ordinal(*options.channels));
        if (options.bitDepth)
            parts << QStringLiteral("bitDepth=") + bitDepthNames.value(ordinal(*options.bitDepth));
        text("output", options.outputFolder);
        onOff("folderStructure", options.folderStructure);
        number("overwrite", options.overwrite);
        number("threads", options.threads);
        onOff("coverArt", options.coverArt);
        onOff("deleteUnfinished", options.deleteUnfinished);
        text("customParams", options.customParams);
        number("aacExtension", options.aacExtension);
        text("language", options.language);
        text("ignoreTypes", options.ignoreTypes);
        text("onlyTypes", options.onlyTypes);
        flag("dryRun", options.dryRun);
        flag("help", options.help);
        flag("listPresets", options.listPresets);
        if (!options.paths.isEmpty())
            parts << QStringLiteral("paths=") + options.paths.join(u'|');
        return parts.join(QStringLiteral("; "));
    }

private slots:
    void valuesAreRead_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("only a path") << QStringList{"a.flac"} << "paths=a.flac";
        QTest::newRow("format in capitals") << QStringList{"-f", " FLAC ", "a"} << "format=flac; paths=a";
        QTest::newRow("format after =") << QStringList{"--format=wav", "a"} << "format=wav; paths=a";
        QTest::newRow("preset as typed")
            << QStringList{"-p", " My Preset ", "a"} << "preset= My Preset ; paths=a";
        QTest::newRow("method") << QStringList{"-m", "VBR", "a"} << "method=vbr; paths=a";
        QTest::newRow("bit rate as a number") << QStringList{"-b", " 0128 ", "a"} << "bitrate=128; paths=a";
        QTest::newRow("bit rate off the list") << QStringList{"-b", "999", "a"} << "bitrate=999; paths=a";
        QTest::newRow("quality trimmed") << QStringList{"-q", " 0.5 ", "a"} << "quality=0.5; paths=a";
        QTest::newRow("managed") << QStringList{"--managed", "a"} << "managed; paths=a";
        QTest::newRow("sample rate original")
            << QStringList{"-r", "Original", "a"} << "sampleRate=original; paths=a";
        QTest::newRow("sample rate in hertz")
            << QStringList{"-r", " 44100 ", "a"} << "sampleRate=44100; paths=a";
        QTest::newRow("channels") << QStringList{"-c", "Mono", "a"} << "channels=mono; paths=a";
        QTest::newRow("bit depth") << QStringList{"-d", "24", "a"} << "bitDepth=24; paths=a";
        QTest::newRow("output") << QStringList{"-o", "out dir", "a"} << "output=out dir; paths=a";
        QTest::newRow("folder structure on")
            << QStringList{"--folder-structure", "a"} << "folderStructure=on; paths=a";
        QTest::newRow("folder structure off")
            << QStringList{"--no-folder-structure", "a"} << "folderStructure=off; paths=a";
        QTest::newRow("switch given twice the same way")
            << QStringList{"--cover-art", "--cover-art", "a"} << "coverArt=on; paths=a";
        QTest::newRow("cover art off") << QStringList{"--no-cover-art", "a"} << "coverArt=off; paths=a";
        QTest::newRow("delete unfinished")
            << QStringList{"--delete-unfinished", "a"} << "deleteUnfinished=on; paths=a";
        QTest::newRow("keep unfinished")
            << QStringList{"--keep-unfinished", "a"} << "deleteUnfinished=off; paths=a";
        QTest::newRow("overwrite new") << QStringList{"--overwrite", "new", "a"} << "overwrite=0; paths=a";
        QTest::newRow("overwrite skip") << QStringList{"--overwrite", "SKIP", "a"} << "overwrite=2; paths=a";
        QTest::newRow("fewest threads") << QStringList{"-j", "1", "a"} << "threads=1; paths=a";
        QTest::newRow("most threads") << QStringList{"-j", "32", "a"} << "threads=32; paths=a";
        QTest::newRow("custom params as typed") << QStringList{"--custom-params", " -af volume=2 ", "a"}
                                                << "customParams= -af volume=2 ; paths=a";
        QTest::newRow("aac extension") << QStringList{"--aac-ext", "aac", "a"} << "aacExtension=1; paths=a";
        QTest::newRow("aac extension with its dot")
            << QStringList{"--aac-ext", ".M4B", "a"} << "aacExtension=2; paths=a";
        QTest::newRow("language in capitals") << QStringList{"--lang", "ger", "a"} << "language=GER; paths=a";
        QTest::newRow("ignored types")
            << QStringList{"--ignore-types", "mp3;wav", "a"} << "ignoreTypes=mp3;wav; paths=a";
        QTest::newRow("only types") << QStringList{"--only-types", "flac", "a"} << "onlyTypes=flac; paths=a";
        QTest::newRow("short flags compacted")
            << QStringList{"-nf", "ogg", "a"} << "format=ogg; dryRun; paths=a";
        QTest::newRow("list presets needs no path") << QStringList{"--list-presets"} << "listPresets";
        QTest::newRow("several paths") << QStringList{"a", "b/c"} << "paths=a|b/c";
        // Help is shown whatever else is typed, so nothing else is looked at.
        QTest::newRow("help over wrong values")
            << QStringList{"-h", "-f", "mp4", "-j", "0", "--cover-art", "--no-cover-art"} << "help";
    }
    void valuesAreRead() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        CliOptions options;
        QString error;
        QVERIFY2(parseCliOptions(withProgram(arguments), options, error), qPrintable(error));
        QCOMPARE(describe(options), expected);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("no path") << QStringList{"-f", "mp3"} << "no PATH given (see --help)";
        QTest::newRow("unknown format")
            << QStringList{"-f", "mp4", "a"}
            << "--format: \"mp4\" is not one of mp3, aac, ogg, opus, wma, flac, alac, wav";
        QTest::newRow("unknown method")
            << QStringList{"-m", "abr", "a"} << "--method: \"abr\" is not one of cbr, quality, vbr";
        QTest::newRow("bit rate zero")
            << QStringList{"-b", "0", "a"} << "--bitrate: \"0\" is not a bit rate in kbit/s";
        QTest::newRow("bit rate negative")
            << QStringList{"-b", "-5", "a"} << "--bitrate: \"-5\" is not a bit rate in kbit/s";
        QTest::newRow("bit rate with unit")
            << QStringList{"-b", "128k", "a"} << "--bitrate: \"128k\" is not a bit rate in kbit/s";
        QTest::newRow("sample rate in kilohertz")
            << QStringList{"-r", "44.1", "a"}
            << "--sample-rate: \"44.1\" is neither original nor a rate in hertz";
        QTest::newRow("unknown layout")
            << QStringList{"-c", "quad", "a"} << "--channels: \"quad\" is not one of original, mono, stereo";
        QTest::newRow("unknown bit depth")
            << QStringList{"-d", "32", "a"} << "--bit-depth: \"32\" is not one of original, 16, 24";
        QTest::newRow("empty output") << QStringList{"-o", "", "a"} << "--output: the folder is empty";
        QTest::newRow("unknown overwrite mode") << QStringList{"--overwrite", "ask", "a"}
                                                << "--overwrite: \"ask\" is not one of new, overwrite, skip";
        QTest::newRow("no threads") << QStringList{"-j", "0", "a"}
                                    << "--threads: \"0\" is not a number from 1 to 32";
        QTest::newRow("one thread too many")
            << QStringList{"-j", "33", "a"} << "--threads: \"33\" is not a number from 1 to 32";
        QTest::newRow("threads not a number")
            << QStringList{"-j", "two", "a"} << "--threads: \"two\" is not a number from 1 to 32";
        QTest::newRow("unknown aac extension, dot dropped")
            << QStringList{"--aac-ext", ".mp4", "a"} << "--aac-ext: \"mp4\" is not one of m4a, aac, m4b";
        QTest::newRow("two-letter language")
            << QStringList{"--lang", "de", "a"} << "--lang: \"de\" is not a three-letter language code";
        QTest::newRow("language with a digit")
            << QStringList{"--lang", "ge1", "a"} << "--lang: \"ge1\" is not a three-letter language code";
        QTest::newRow("folder structure both ways")
            << QStringList{"--folder-structure", "--no-folder-structure", "a"}
            << "--folder-structure and --no-folder-structure exclude each other";
        QTest::newRow("cover art both ways, off first")
            << QStringList{"--no-cover-art", "--cover-art", "a"}
            << "--cover-art and --no-cover-art exclude each other";
        QTest::newRow("unfinished both ways")
            << QStringList{"--keep-unfinished", "--delete-unfinished", "a"}
            << "--delete-unfinished and --keep-unfinished exclude each other";
        QTest::newRow("unknown option") << QStringList{"--colour", "a"} << "Unknown option 'colour'.";
        QTest::newRow("value missing") << QStringList{"-j"} << "Missing value after '-j'.";
        // Of several mistakes, the same one is named from release to release.
        QTest::newRow("format before a switch pair")
            << QStringList{"--no-cover-art", "--cover-art", "-f", "mp4", "a"}
            << "--format: \"mp4\" is not one of mp3, aac, ogg, opus, wma, flac, alac, wav";
        QTest::newRow("switch pair before threads")
            << QStringList{"-j", "0", "--no-cover-art", "--cover-art", "a"}
            << "--cover-art and --no-cover-art exclude each other";
        QTest::newRow("switch pair before overwrite")
            << QStringList{"--overwrite", "ask", "--keep-unfinished", "--delete-unfinished", "a"}
            << "--delete-unfinished and --keep-unfinished exclude each other";
        QTest::newRow("value before a missing path")
            << QStringList{"-j", "0"} << "--threads: \"0\" is not a number from 1 to 32";
    }
    void usageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        CliOptions options;
        QString reason;
        QVERIFY(!parseCliOptions(withProgram(arguments), options, reason));
        QCOMPARE(reason, error);
    }

    // One of two values would be dropped without a word, whichever name is used.
    void valueGivenTwice_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("option");
        QTest::newRow("format") << QStringList{"-f", "mp3", "--format", "mp3"} << "format";
        QTest::newRow("preset") << QStringList{"-p", "A", "-p", "B"} << "preset";
        QTest::newRow("method") << QStringList{"-m", "cbr", "-m", "cbr"} << "method";
        QTest::newRow("bitrate") << QStringList{"-b", "128", "-b", "192"} << "bitrate";
        QTest::newRow("quality") << QStringList{"-q", "5", "--quality", "6"} << "quality";
        QTest::newRow("sample rate") << QStringList{"-r", "44100", "-r", "48000"} << "sample-rate";
        QTest::newRow("channels") << QStringList{"-c", "mono", "-c", "stereo"} << "channels";
        QTest::newRow("bit depth") << QStringList{"-d", "16", "-d", "24"} << "bit-depth";
        QTest::newRow("output") << QStringList{"-o", "x", "--output=y"} << "output";
        QTest::newRow("overwrite") << QStringList{"--overwrite", "new", "--overwrite", "skip"} << "overwrite";
        QTest::newRow("threads") << QStringList{"-j", "1", "-j", "2"} << "threads";
        QTest::newRow("custom params")
            << QStringList{"--custom-params", "-a", "--custom-params", "-b"} << "custom-params";
        QTest::newRow("aac extension") << QStringList{"--aac-ext", "m4a", "--aac-ext", "m4b"} << "aac-ext";
        QTest::newRow("language") << QStringList{"--lang", "ger", "--lang", "eng"} << "lang";
        QTest::newRow("ignored types")
            << QStringList{"--ignore-types", "mp3", "--ignore-types", "wav"} << "ignore-types";
        QTest::newRow("only types") << QStringList{"--only-types", "mp3", "--only-types", "wav"}
                                    << "only-types";
    }
    void valueGivenTwice() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, option);
        CliOptions options;
        QString error;
        QVERIFY(!parseCliOptions(withProgram(arguments + QStringList{QStringLiteral("a")}), options, error));
        QCOMPARE(error, QStringLiteral("--%1 is given more than once").arg(option));
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_clioptions.moc"
