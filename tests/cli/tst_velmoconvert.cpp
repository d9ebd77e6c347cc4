#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

// velmo-convert end to end: the real program on sources made here, with its own
// settings folder, checked with ffprobe.
class TestVelmoConvert : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

    QString path(const QString& name) const { return QDir(m_folder.path()).filePath(name); }
    static QString program() {
        return QDir(TestSupport::programDir()).filePath(QStringLiteral("velmo-convert"));
    }

    struct Result {
        int ExitCode = -1;
        QString out;
        QString err;
    };

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        return env;
    }

    Result run(const QStringList& arguments, const QProcessEnvironment& env) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program(), arguments);
        process.waitForFinished(300000);
        Result result;
        result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    Result run(const QStringList& arguments) { return run(arguments, environment()); }

    static QJsonObject firstAudioStream(const QString& file) {
        const QJsonDocument doc = QJsonDocument::fromJson(TestSupport::runFFprobe(
            {QStringLiteral("-show_streams"), QStringLiteral("-select_streams"), QStringLiteral("a"), file}));
        return doc.object().value(QStringLiteral("streams")).toArray().first().toObject();
    }

    QString logText() const {
        QString text;
        const QDir data(path(QStringLiteral("config/VelmoAudio")));
        for (const QString& name : data.entryList({QStringLiteral("*.nxlog")}, QDir::Files, QDir::Name)) {
            QFile file(data.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(file.readAll());
        }
        return text;
    }

    // A process as /proc/pid/stat shows it; an empty name when it is gone.
    struct ProcessStat {
        QByteArray name;
        char state = 0;
        qint64 parent = 0;
    };
    static ProcessStat processStat(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return {};
        // The name, in parentheses, may hold blanks: the fields after it are
        // found from the last ")".
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < open || fields.size() < 2 || fields.at(0).isEmpty())
            return {};
        return {line.mid(open + 1, close - open - 1), fields.at(0).at(0), fields.at(1).toLongLong()};
    }

    // The ffmpeg processes whose parent is the given process.
    static QList<qint64> childFFmpegs(qint64 parent) {
        QList<qint64> children;
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            bool isPid = false;
            const qint64 pid = entry.toLongLong(&isPid);
            if (!isPid)
                continue;
            const ProcessStat stat = processStat(pid);
            if (stat.parent == parent && stat.name == "ffmpeg")
                children << pid;
        }
        return children;
    }

    // Alive and not yet a zombie waiting for its parent.
    static bool running(qint64 pid) {
        const ProcessStat stat = processStat(pid);
        return !stat.name.isEmpty() && stat.state != 'Z';
    }

    // A 15-minute source, long enough to be stopped while it converts.
    QString longSource() const {
        const QString source = path(QStringLiteral("long.flac"));
        if (!QFileInfo::exists(source) && !TestSupport::makeTone(source, 900))
            return QString();
        return source;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(QFileInfo(program()).isExecutable());
        QVERIFY(QDir().mkpath(path(QStringLiteral("src/sub"))));
        QVERIFY(TestSupport::makeTone(path(QStringLiteral("src/tone.flac")), 1));
        QVERIFY(TestSupport::makeTone(path(QStringLiteral("src/sub/deep.wav")), 1));
        QFile text(path(QStringLiteral("src/notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not audio");
    }

    void everyFormatWithItsDefaults_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("codec");
        QTest::newRow("mp3") << "mp3"
                             << "Mp3/tone.mp3"
                             << "mp3";
        QTest::newRow("aac") << "aac"
                             << "AAC/tone.m4a"
                             << "aac";
        QTest::newRow("ogg") << "ogg"
                             << "Ogg Vorbis/tone.ogg"
                             << "vorbis";
        QTest::newRow("opus") << "opus"
                              << "Opus/tone.opus"
                              << "opus";
        QTest::newRow("wma") << "wma"
                             << "WMA/tone.wma"
                             << "wmav2";
        QTest::newRow("flac") << "flac"
                              << "FLAC/tone.flac"
                              << "flac";
        QTest::newRow("alac") << "alac"
                              << "ALAC/tone.m4a"
                              << "alac";
        QTest::newRow("wav") << "wav"
                             << "WAV/tone.wav"
                             << "pcm_s16le";
    }
    void everyFormatWithItsDefaults() {
        QFETCH(QString, format);
        QFETCH(QString, output);
        QFETCH(QString, codec);
        const QString out = path(QStringLiteral("formats"));
        const Result result =
            run({QStringLiteral("-f"), format, QStringLiteral("-o"), out,
                 QStringLiteral("--no-folder-structure"), path(QStringLiteral("src/tone.flac"))});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.out + result.err));
        const QString file = QDir(out).filePath(output);
        QVERIFY2(QFileInfo::exists(file), qPrintable(result.out));
        QCOMPARE(firstAudioStream(file).value(QStringLiteral("codec_name")).toString(), codec);
        QVERIFY(result.out.contains(QStringLiteral("Done: ")));
        QVERIFY(result.out.contains(QStringLiteral("Convertion is finished successfully.")));
    }

    // A folder brings its sub-folders; other file types are skipped silently.
    void folderStructure_data() {
        QTest::addColumn<bool>("structure");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void folderStructure() {
        QFETCH(bool, structure);
        const QString out = path(structure ? QStringLiteral("tree-on") : QStringLiteral("tree-off"));
        const Result result =
            run({QStringLiteral("-o"), out, QStringLiteral("-f"), QStringLiteral("mp3"),
                 structure ? QStringLiteral("--folder-structure") : QStringLiteral("--no-folder-structure"),
                 path(QStringLiteral("src"))});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.out + result.err));
        const QString tree = structure ? path(QStringLiteral("src")).mid(1) + u'/' : QString();
        QVERIFY(QFileInfo::exists(
            QDir(out).filePath(QStringLiteral("Mp3/") + tree + QStringLiteral("tone.mp3"))));
        QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("Mp3/") + tree +
                                                     (structure ? QStringLiteral("sub/") : QString()) +
                                                     QStringLiteral("deep.mp3"))));
        QVERIFY(!result.err.contains(QStringLiteral("notes.txt")));
    }

    void overwriteOnSecondRun_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("new") << "new";
        QTest::newRow("overwrite") << "overwrite";
        QTest::newRow("skip") << "skip";
    }
    void overwriteOnSecondRun() {
        QFETCH(QString, option);
        const QString out = path(QStringLiteral("overwrite-") + option);
        const QStringList arguments{QStringLiteral("-o"),
                                    out,
                                    QStringLiteral("-f"),
                                    QStringLiteral("mp3"),
                                    QStringLiteral("--no-folder-structure"),
                                    QStringLiteral("--overwrite"),
                                    option,
                                    path(QStringLiteral("src/tone.flac"))};
        QCOMPARE(run(arguments).ExitCode, 0);
        const QString first = QDir(out).filePath(QStringLiteral("Mp3/tone.mp3"));
        QVERIFY(QFileInfo::exists(first));
        // A marker that only an overwrite removes.
        QFile marked(first);
        QVERIFY(marked.open(QIODevice::Append));
        marked.write("MARKER");
        marked.close();
        const qint64 markedSize = QFileInfo(first).size();

        const Result second = run(arguments);
        QVERIFY2(second.ExitCode == 0, qPrintable(second.out + second.err));
        const QString renamed = QDir(out).filePath(QStringLiteral("Mp3/tone_1.mp3"));
        if (option == QLatin1String("new")) {
            QVERIFY(QFileInfo::exists(renamed));
            QCOMPARE(QFileInfo(first).size(), markedSize);
        } else if (option == QLatin1String("overwrite")) {
            QVERIFY(!QFileInfo::exists(renamed));
            QVERIFY(QFileInfo(first).size() != markedSize);
        } else {
            QVERIFY(!QFileInfo::exists(renamed));
            QCOMPARE(QFileInfo(first).size(), markedSize);
            const QString skipping =
                QStringLiteral("Skipping ") + first + QStringLiteral(" because it already exists");
            QVERIFY2(second.out.contains(skipping), qPrintable(second.out));
            QVERIFY(logText().contains(skipping));
            QVERIFY(!second.out.contains(QStringLiteral("Done: ")));
        }
    }

    // One file cannot be written (a plain file stands where its folder would be):
    // the others convert, the failure is logged with its command line and ffmpeg's output.
    void failingSourceAmongGoodOnes() {
        const QString out = path(QStringLiteral("failing"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("bad"))));
        QVERIFY(TestSupport::makeTone(path(QStringLiteral("bad/blocked.flac")), 1));
        const QString blocker = out + QStringLiteral("/Mp3") + path(QStringLiteral("bad"));
        QVERIFY(QDir().mkpath(QFileInfo(blocker).path()));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const Result result =
            run({QStringLiteral("-o"), out, QStringLiteral("-f"), QStringLiteral("mp3"),
                 QStringLiteral("--folder-structure"), QStringLiteral("-j"), QStringLiteral("2"),
                 path(QStringLiteral("src/tone.flac")), path(QStringLiteral("bad/blocked.flac")),
                 path(QStringLiteral("src/sub/deep.wav"))});
        QCOMPARE(result.ExitCode, 1);
        const QString tree = out + QStringLiteral("/Mp3") + path(QStringLiteral("src"));
        QVERIFY(QFileInfo::exists(tree + QStringLiteral("/tone.mp3")));
        QVERIFY(QFileInfo::exists(tree + QStringLiteral("/sub/deep.mp3")));
        QVERIFY(result.out.contains(QStringLiteral("Error: ") + path(QStringLiteral("bad/blocked.flac"))));
        QVERIFY(result.err.contains(QStringLiteral("1 files failed to convert. Please see logs.")));

        const QString log = logText();
        QVERIFY(log.contains(QStringLiteral("|A file failed.|")));
        QVERIFY(log.contains(QStringLiteral("|Command line: -y")));
        QVERIFY(log.contains(QStringLiteral("ProcessTerminate() Console output: [")));
        QVERIFY(log.contains(QStringLiteral("Encoder exit code: ")));
    }

    void unaddableFilesCountAsFailed() {
        QFile fake(path(QStringLiteral("src-bad/fake.mp3")));
        QVERIFY(QDir().mkpath(path(QStringLiteral("src-bad"))));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("this is no audio at all");
        fake.close();
        const Result result =
            run({QStringLiteral("-o"), path(QStringLiteral("unaddable")), QStringLiteral("-f"),
                 QStringLiteral("wav"), path(QStringLiteral("src-bad/fake.mp3")),
                 path(QStringLiteral("src/missing.flac")), path(QStringLiteral("src/tone.flac"))});
        QCOMPARE(result.ExitCode, 1);
        QVERIFY(result.err.contains(QStringLiteral("Cannot find ") +
                                    path(QStringLiteral("src/missing.flac")) +
                                    QStringLiteral(" to add to the list.")));
        QVERIFY(result.err.contains(path(QStringLiteral("src-bad/fake.mp3"))));
        QVERIFY(result.out.contains(QStringLiteral("Done: ") + path(QStringLiteral("src/tone.flac"))));
    }

    // Two streams tagged eng (mono) and ger (stereo): --lang ger converts the second.
    void preferredLanguagePicksTheStream() {
        const QString source = path(QStringLiteral("two-languages.mka"));
        QVERIFY(TestSupport::RunFFmpeg({QStringLiteral("-f"),
                                        QStringLiteral("lavfi"),
                                        QStringLiteral("-i"),
                                        QStringLiteral("sine=frequency=440:duration=1"),
                                        QStringLiteral("-f"),
                                        QStringLiteral("lavfi"),
                                        QStringLiteral("-i"),
                                        QStringLiteral("sine=frequency=1000:duration=1"),
                                        QStringLiteral("-map"),
                                        QStringLiteral("0:a"),
                                        QStringLiteral("-map"),
                                        QStringLiteral("1:a"),
                                        QStringLiteral("-ac:a:0"),
                                        QStringLiteral("1"),
                                        QStringLiteral("-ac:a:1"),
                                        QStringLiteral("2"),
                                        QStringLiteral("-metadata:s:a:0"),
                                        QStringLiteral("language=eng"),
                                        QStringLiteral("-metadata:s:a:1"),
                                        QStringLiteral("language=ger"),
                                        QStringLiteral("-c:a"),
                                        QStringLiteral("flac"),
                                        source}));
        const QStringList languages{QStringLiteral("eng"), QStringLiteral("GER")};
        for (const QString& language : languages) {
            const QString out = path(QStringLiteral("lang-") + language);
            const Result result =
                run({QStringLiteral("-o"), out, QStringLiteral("-f"), QStringLiteral("wav"),
                     QStringLiteral("--no-folder-structure"), QStringLiteral("--lang"), language, source});
            QVERIFY2(result.ExitCode == 0, qPrintable(result.out + result.err));
            const QJsonObject stream = firstAudioStream(out + QStringLiteral("/WAV/two-languages.wav"));
            QCOMPARE(stream.value(QStringLiteral("channels")).toInt(),
                     language == QLatin1String("eng") ? 1 : 2);
        }
    }

    // Ctrl+C stops as "Stop" does: every ffmpeg ends, unfinished files go or stay.
    // A terminal sends its Ctrl+C, or its hang-up when closed, to the whole
    // foreground process group; the ffmpegs must still end by our hand, not by
    // their own reaction to the signal.
    void interruptStopsTheRun_data() {
        QTest::addColumn<bool>("deleteUnfinished");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("wholeGroup");
        QTest::newRow("SIGINT, delete unfinished") << true << int(SIGINT) << false;
        QTest::newRow("SIGINT, keep unfinished") << false << int(SIGINT) << false;
        QTest::newRow("SIGTERM, delete unfinished") << true << int(SIGTERM) << false;
        QTest::newRow("terminal Ctrl+C, keep unfinished") << false << int(SIGINT) << true;
        QTest::newRow("terminal closed, delete unfinished") << true << int(SIGHUP) << true;
    }
    void interruptStopsTheRun() {
        QFETCH(bool, deleteUnfinished);
        QFETCH(int, signalNumber);
        QFETCH(bool, wholeGroup);
        const QString source = longSource();
        QVERIFY(!source.isEmpty());
        const QString out = path(QStringLiteral("interrupt/") + QString::fromLatin1(QTest::currentDataTag()));
        QProcess process;
        process.setProcessEnvironment(environment());
        // Its own process group, as a shell's job control gives a foreground job.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(
            program(),
            {QStringLiteral("-o"), out, QStringLiteral("-f"), QStringLiteral("flac"), QStringLiteral("-q"),
             QStringLiteral("12"), QStringLiteral("--no-folder-structure"), QStringLiteral("-j"),
             QStringLiteral("2"),
             deleteUnfinished ? QStringLiteral("--delete-unfinished") : QStringLiteral("--keep-unfinished"),
             source, source, source});
        QVERIFY(process.waitForStarted());
        QList<qint64> children;
        QTRY_VERIFY_WITH_TIMEOUT((children = childFFmpegs(process.processId())).size() == 2, 20000);
        // Both have begun writing their (hidden, temporary) output files.
        const QDir formatFolder(out + QStringLiteral("/FLAC"));
        QTRY_COMPARE_WITH_TIMEOUT(formatFolder.entryList(QDir::Files | QDir::Hidden).size(), 2, 20000);
        const pid_t pid = pid_t(process.processId());
        if (wholeGroup) {
            // Held still while the signal goes out, so that an ffmpeg that took it
            // would have ended on its own before the converter could act.
            ::kill(pid, SIGSTOP);
            ::kill(-pid, signalNumber);
            QTest::qWait(1500);
            const bool allRunning = std::all_of(children.cbegin(), children.cend(), running);
            ::kill(pid, SIGCONT);
            QVERIFY2(allRunning, "an ffmpeg ended on the terminal's signal");
        } else {
            ::kill(pid, signalNumber);
        }
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        for (qint64 child : children)
            QVERIFY2(!running(child), "an ffmpeg outlived the run");
        const QStringList files =
            QDir(out + QStringLiteral("/FLAC")).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        if (deleteUnfinished)
            QCOMPARE(files, QStringList());
        else
            QCOMPARE(files.size(), 2);
        const QString output = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(output.count(QStringLiteral("Stopped by user: ")), 2);
    }

    // Killed outright, the converter cannot stop anything; its ffmpegs must not
    // convert on, unseen. Silenced ones never write to the broken pipe that would
    // otherwise end them.
    void killedConverterTakesItsFFmpegsAlong() {
        const QString source = longSource();
        QVERIFY(!source.isEmpty());
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program(),
                      {QStringLiteral("-o"), path(QStringLiteral("killed")), QStringLiteral("-f"),
                       QStringLiteral("flac"), QStringLiteral("-q"), QStringLiteral("12"),
                       QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--custom-params"),
                       QStringLiteral("-nostats -loglevel quiet"), source, source});
        QVERIFY(process.waitForStarted());
        QList<qint64> children;
        QTRY_VERIFY_WITH_TIMEOUT((children = childFFmpegs(process.processId())).size() == 2, 20000);
        process.kill();
        QVERIFY(process.waitForFinished(10000));
        for (qint64 child : children)
            QTRY_VERIFY2_WITH_TIMEOUT(!running(child), "an ffmpeg outlived the killed converter", 10000);
    }

    void missingFFmpeg() {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("PATH"), path(QStringLiteral("empty-path")));
        const Result result = run(
            {QStringLiteral("-o"), path(QStringLiteral("no-ffmpeg")), path(QStringLiteral("src/tone.flac"))},
            env);
        QCOMPARE(result.ExitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("ffmpeg was not found")), qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("no-ffmpeg/Mp3"))));
    }

    void dryRunConvertsNothing() {
        const QString out = path(QStringLiteral("dry"));
        const Result result =
            run({QStringLiteral("--dry-run"), QStringLiteral("-o"), out, QStringLiteral("-f"),
                 QStringLiteral("ogg"), QStringLiteral("-m"), QStringLiteral("quality"), QStringLiteral("-q"),
                 QStringLiteral("7"), QStringLiteral("--no-folder-structure"), path(QStringLiteral("src"))});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.err));
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), out + QStringLiteral("/Ogg Vorbis/tone.ogg"));
        QVERIFY(lines.at(1).contains(QStringLiteral("-c:a libvorbis")));
        QVERIFY(lines.at(1).contains(QStringLiteral("-q:a 7")));
        QVERIFY(lines.at(1).contains(QStringLiteral("\"") + path(QStringLiteral("src/tone.flac")) + u'"'));
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("/Ogg Vorbis")));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bit rate for flac")
            << QStringList{"-f", "flac", "-b", "128"} << "flac takes no bit rate";
        QTest::newRow("rate outside the list")
            << QStringList{"-f", "mp3", "-r", "96000"} << "not a rate of mp3";
        QTest::newRow("24 bits for mp3") << QStringList{"-f", "mp3", "-d", "24"} << "mp3 takes no bit depth";
        QTest::newRow("unknown format") << QStringList{"-f", "mp4"} << "--format";
        QTest::newRow("aac quality step") << QStringList{"-f", "aac", "-q", "0.15"} << "not a aac quality";
        QTest::newRow("opus quality method")
            << QStringList{"-f", "opus", "-m", "quality"} << "opus takes cbr or vbr";
        QTest::newRow("managed for mp3") << QStringList{"-f", "mp3", "--managed"} << "ogg only";
        QTest::newRow("unknown preset") << QStringList{"-p", "No Such Preset"} << "no preset titled";
        QTest::newRow("both switches")
            << QStringList{"--cover-art", "--no-cover-art"} << "exclude each other";
        QTest::newRow("threads") << QStringList{"-j", "0"} << "--threads";
        QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
    }
    void usageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const Result result = run(arguments + QStringList{path(QStringLiteral("src/tone.flac"))});
        QCOMPARE(result.ExitCode, 2);
        QVERIFY2(result.err.contains(reason), qPrintable(result.err));
        QCOMPARE(result.err.count(u'\n'), 1);
        QVERIFY(result.out.isEmpty());
    }

    void noPathIsAUsageError() {
        const Result result = run({});
        QCOMPARE(result.ExitCode, 2);
        QCOMPARE(result.err.count(u'\n'), 1);
    }

    void presetsAreListedAndApplied() {
        const Result list = run({QStringLiteral("--list-presets")});
        QCOMPARE(list.ExitCode, 0);
        const QStringList lines = list.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("mp3"));
        QVERIFY(lines.contains(QStringLiteral("flac")));
        // The first preset title under flac, applied through --preset.
        const int flacAt = int(lines.indexOf(QStringLiteral("flac")));
        QVERIFY(lines.at(flacAt + 1).startsWith(QStringLiteral("  - ")));
        const QString title = lines.at(flacAt + 1).mid(4);
        const Result dry = run({QStringLiteral("-n"), QStringLiteral("-p"), title, QStringLiteral("-o"),
                                path(QStringLiteral("preset")), path(QStringLiteral("src/tone.flac"))});
        QVERIFY2(dry.ExitCode == 0, qPrintable(dry.err));
        QVERIFY(dry.out.contains(QStringLiteral("-c:a flac")));
    }

    void storedSettingsAreDefaultsAndNeverWritten() {
        const QString config = path(QStringLiteral("config-stored"));
        QVERIFY(QDir().mkpath(config + QStringLiteral("/VelmoAudio")));
        QFile ini(config + QStringLiteral("/VelmoAudio/settings.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        const QByteArray stored = "[General]\r\nOutputFolder=" + path(QStringLiteral("stored-out")).toUtf8() +
                                  "\r\nformat=5\r\n[Path]\r\nCreateFolderStruct=0\r\n[flac]\r\nc=3\r\n";
        ini.write(stored);
        ini.close();
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        const Result result = run({QStringLiteral("-n"), path(QStringLiteral("src/tone.flac"))}, env);
        QVERIFY2(result.ExitCode == 0, qPrintable(result.err));
        QVERIFY(result.out.startsWith(path(QStringLiteral("stored-out/FLAC/tone.flac"))));
        QVERIFY(result.out.contains(QStringLiteral("-compression_level 3")));

        const Result overridden = run({QStringLiteral("-n"), QStringLiteral("-q"), QStringLiteral("5"),
                                       path(QStringLiteral("src/tone.flac"))},
                                      env);
        QVERIFY(overridden.out.contains(QStringLiteral("-compression_level 5")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), stored);
    }
};

QTEST_GUILESS_MAIN(TestVelmoConvert)
#include "tst_velmoconvert.moc"
