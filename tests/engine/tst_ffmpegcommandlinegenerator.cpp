#include "base/FileNames.h"
#include "base/Log.h"
#include "engine/FFmpegCommandLineGenerator.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TMediaFile mediaFile(const QString& path, int sampleRate = 44100, int streamIndex = 0,
                     const QString& picture = QString()) {
    TMediaFile file;
    file.FilePath = path;
    TAudioStream stream;
    stream.StreamIndex = streamIndex;
    stream.SamplingRate = sampleRate;
    stream.Duration = 61500;
    file.AudioStreams.append(stream);
    if (!picture.isEmpty()) {
        TArtwork artwork;
        artwork.StreamIndex = streamIndex + 1;
        artwork.TempFilePath = picture;
        file.ArtworkStreams.append(artwork);
    }
    return file;
}

TEncodingProfile profile(TOutputCodec codec, TEncodeType method) {
    TEncodingProfile p;
    p.FCodecId = codec;
    p.FEncodeType = method;
    p.FBitrate = QStringLiteral("192");
    p.FQuality = QStringLiteral("2");
    p.FCompression = QStringLiteral("5");
    p.FSampleRate = QStringLiteral("Original");
    return p;
}

bool containsSequence(const QStringList& list, const QStringList& sequence) {
    for (qsizetype i = 0; i + sequence.size() <= list.size(); ++i) {
        if (list.mid(i, sequence.size()) == sequence)
            return true;
    }
    return false;
}

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestFFmpegCommandLineGenerator : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    QString FLogFolder;

    // Runs one pass over the files and returns its jobs.
    QList<TFFmpegCommandLine> generate(TFFmpegCommandLineGenerator& generator, const QList<TMediaFile>& files,
                                       const TEncodingProfile& profile) {
        generator.SetMediaFiles(files);
        generator.SetProfile(profile);
        if (generator.OutputFolder().isEmpty())
            generator.SetOutputFolder(FDir.filePath(QStringLiteral("out")));
        if (generator.OutputExt().isEmpty())
            generator.SetOutputExt(GetOutputExtension(profile.FCodecId, 0));
        if (!generator.Start())
            qWarning("Start refused");
        generator.WaitForFinished();
        return generator.FFmpegCommandLines();
    }

    QString logText() const {
        QFile file(ProgramLogFilePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void initTestCase();
    void init();

    void exampleLine();
    void options_data();
    void options();
    void resamplingIsLogged_data();
    void resamplingIsLogged();
    void coverArt_data();
    void coverArt();
    void oddPathsReachFFmpegIntact_data();
    void oddPathsReachFFmpegIntact();
    void relativePathsBecomeAbsolute();
    void customParameters_data();
    void customParameters();
    void overwriteOptions_data();
    void overwriteOptions();
    void skippedFilesAreLogged();
    void collidingOutputsGetDistinctNames();
    void outputThatIsASourceGetsANewName();
    void threadIndexCountsSkippedFiles();
    void failureEndsThePassAndKeepsTheJobs_data();
    void failureEndsThePassAndKeepsTheJobs();
    void progressAndFinishedSignal();
    void stopEndsThePassEarly();
    void resetAndRestart();
};

void TestFFmpegCommandLineGenerator::initTestCase() {
    QVERIFY(FDir.isValid());
    FLogFolder = FDir.filePath(QStringLiteral("log"));
    ConfigureProgramLog(FLogFolder);
}

void TestFFmpegCommandLineGenerator::init() {
    QFile::remove(ProgramLogFilePath());
    QDir(FDir.filePath(QStringLiteral("out"))).removeRecursively();
}

void TestFFmpegCommandLineGenerator::exampleLine() {
    TFFmpegCommandLineGenerator generator;
    generator.SetOutputFolder(QStringLiteral("/srv/Out"));
    generator.SetCreateFolderStruct(false);
    TEncodingProfile mp3 = profile(ocMP3, etCBR);
    mp3.FSampleRate = QStringLiteral("44100");
    mp3.FChangeSampleRate = true;
    const auto jobs = generate(generator, {mediaFile(QStringLiteral("/music/a.flac"), 96000)}, mp3);
    QCOMPARE(jobs.size(), 1);
    const TFFmpegCommandLine& job = jobs[0];
    QCOMPARE(job.CommandLine,
             QStringLiteral(" -y -threads 1 -i \"/music/a.flac\"  -map 0:0  -c:a libmp3lame -vn "
                            "-b:a 192k -af aresample=resampler=soxr -ar 44100    \"/srv/Out/Mp3/a.mp3\""));
    QCOMPARE(job.Arguments, QStringList({"-y", "-threads", "1", "-i", "/music/a.flac", "-map", "0:0", "-c:a",
                                         "libmp3lame", "-vn", "-b:a", "192k", "-af",
                                         "aresample=resampler=soxr", "-ar", "44100", "/srv/Out/Mp3/a.mp3"}));
    QCOMPARE(job.SourceFilePath, QStringLiteral("/music/a.flac"));
    QCOMPARE(job.DestinationFilePath, QStringLiteral("/srv/Out/Mp3/a.mp3"));
    QCOMPARE(job.Duration, qint64(61500));
    QCOMPARE(job.FileListIndex, 0);
    QVERIFY(job.TempCoverArtFilePath.isEmpty());
}

void TestFFmpegCommandLineGenerator::options_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("chosenRate");
    QTest::addColumn<int>("sourceRate");
    QTest::addColumn<QString>("setting"); // "managed", "bd16", "bd24", "mono", "quality 0.5", "level 8"
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("absent");

    const QString original = QStringLiteral("Original");
    const QStringList resampleTo48k{"-af", "aresample=resampler=soxr", "-ar", "48000"};
    QTest::newRow("Opus chosen 44100 -> 48000")
        << int(ocOPUS) << int(etCBR) << "44100" << 44100 << "" << resampleTo48k << "";
    QTest::newRow("Opus chosen 16000")
        << int(ocOPUS) << int(etCBR) << "16000" << 44100 << "" << QStringList{"-ar", "16000"} << "";
    QTest::newRow("Opus original 44100 source")
        << int(ocOPUS) << int(etCBR) << original << 44100 << "" << resampleTo48k << "";
    QTest::newRow("Opus original 48000 source")
        << int(ocOPUS) << int(etCBR) << original << 48000 << "" << QStringList{"-vbr", "off"} << "-ar";
    QTest::newRow("Opus original 24000 source")
        << int(ocOPUS) << int(etCBR) << original << 24000 << "" << QStringList{"-b:a", "192k"} << "-ar";
    QTest::newRow("Opus quality keeps the bit rate")
        << int(ocOPUS) << int(etQuality) << original << 48000 << ""
        << QStringList{"-b:a", "192k", "-vbr", "on"} << "%";
    QTest::newRow("Vorbis original 96000 source")
        << int(ocOGG) << int(etCBR) << original << 96000 << "" << resampleTo48k << "";
    QTest::newRow("WMA original 96000 source")
        << int(ocWMA) << int(etCBR) << original << 96000 << "" << resampleTo48k << "";
    QTest::newRow("WMA chosen 96000 -> 48000")
        << int(ocWMA) << int(etCBR) << "96000" << 44100 << "" << resampleTo48k << "";
    QTest::newRow("WMA chosen 22050")
        << int(ocWMA) << int(etCBR) << "22050" << 44100 << "" << QStringList{"-ar", "22050"} << "";
    QTest::newRow("MP3 original 96000 source")
        << int(ocMP3) << int(etCBR) << original << 96000 << "" << QStringList{"-b:a", "192k"} << "-ar";
    QTest::newRow("Vorbis managed 128")
        << int(ocOGG) << int(etCBR) << original << 44100 << "managed"
        << QStringList{"-b:a", "128k", "-minrate", "128k", "-maxrate", "128k"} << "";
    QTest::newRow("Vorbis plain CBR") << int(ocOGG) << int(etCBR) << original << 44100 << ""
                                      << QStringList{"-c:a", "libvorbis", "-vn", "-b:a", "192k"} << "minrate";
    QTest::newRow("Vorbis quality") << int(ocOGG) << int(etQuality) << original << 44100 << ""
                                    << QStringList{"-q:a", "2"} << "%";
    QTest::newRow("MP3 quality") << int(ocMP3) << int(etQuality) << original << 44100 << ""
                                 << QStringList{"-c:a", "libmp3lame", "-vn", "-q:a", "2"} << "-b:a";
    QTest::newRow("AAC quality 0.5") << int(ocAAC) << int(etQuality) << original << 44100 << "quality 0.5"
                                     << QStringList{"-q:a", "0.5", "-movflags", "faststart"} << "%";
    QTest::newRow("AAC CBR") << int(ocAAC) << int(etCBR) << original << 44100 << ""
                             << QStringList{"-c:a", "aac", "-vn", "-b:a", "192k"} << "%";
    QTest::newRow("FLAC level 8") << int(ocFLAC) << int(etCompression) << original << 44100 << "level 8"
                                  << QStringList{"-compression_level", "8"} << "%";
    QTest::newRow("FLAC 16 bit") << int(ocFLAC) << int(etCompression) << original << 44100 << "bd16"
                                 << QStringList{"-sample_fmt", "s16"} << "";
    QTest::newRow("FLAC 24 bit") << int(ocFLAC) << int(etCompression) << original << 44100 << "bd24"
                                 << QStringList{"-sample_fmt", "s32"} << "";
    QTest::newRow("ALAC 16 bit") << int(ocALAC) << int(etNone) << original << 44100 << "bd16"
                                 << QStringList{"-c:a", "alac", "-vn", "-sample_fmt", "s16p"} << "%";
    QTest::newRow("ALAC 24 bit") << int(ocALAC) << int(etNone) << original << 44100 << "bd24"
                                 << QStringList{"-sample_fmt", "s32p"} << "%";
    QTest::newRow("WAV 16 bit") << int(ocWAV) << int(etNone) << original << 44100 << "bd16"
                                << QStringList{"-vn", "-c:a", "pcm_s16le"} << "sample_fmt";
    QTest::newRow("WAV 24 bit") << int(ocWAV) << int(etNone) << original << 44100 << "bd24"
                                << QStringList{"-vn", "-c:a", "pcm_s24le"} << "sample_fmt";
    QTest::newRow("WAV without changes") << int(ocWAV) << int(etNone) << original << 44100 << ""
                                         << QStringList{"-map", "0:0", "-vn"} << "-c:a";
    QTest::newRow("mono") << int(ocMP3) << int(etCBR) << original << 44100 << "mono"
                          << QStringList{"-ac", "1"} << "";
    QTest::newRow("stereo") << int(ocWMA) << int(etCBR) << original << 44100 << "stereo"
                            << QStringList{"-c:a", "wmav2", "-vn", "-b:a", "192k", "-ac", "2"} << "";
}

void TestFFmpegCommandLineGenerator::options() {
    QFETCH(int, codec);
    QFETCH(int, method);
    QFETCH(QString, chosenRate);
    QFETCH(int, sourceRate);
    QFETCH(QString, setting);
    QFETCH(QStringList, expected);
    QFETCH(QString, absent);

    TEncodingProfile p = profile(TOutputCodec(codec), TEncodeType(method));
    p.FSampleRate = chosenRate;
    p.FChangeSampleRate = chosenRate != QLatin1String("Original");
    if (setting == QLatin1String("managed")) {
        p.FOggManagedBitrateMode = true;
        p.FBitrate = QStringLiteral("128");
    } else if (setting.startsWith(QLatin1String("bd"))) {
        p.FChangeBitDepth = true;
        p.FBitDepth = setting == QLatin1String("bd16") ? bd16 : bd24;
    } else if (setting == QLatin1String("mono") || setting == QLatin1String("stereo")) {
        p.FChangeChannel = true;
        p.FChannel = setting == QLatin1String("mono") ? chMono : chStereo;
    } else if (setting.startsWith(QLatin1String("quality "))) {
        p.FQuality = setting.mid(8);
    } else if (setting.startsWith(QLatin1String("level "))) {
        p.FCompression = setting.mid(6);
    }

    TFFmpegCommandLineGenerator generator;
    const auto jobs =
        generate(generator, {mediaFile(FDir.filePath(QStringLiteral("src/a.flac")), sourceRate)}, p);
    QCOMPARE(jobs.size(), 1);
    const TFFmpegCommandLine& job = jobs[0];
    QVERIFY2(job.CommandLine.startsWith(u' '), qPrintable(job.CommandLine));
    QVERIFY2(containsSequence(job.Arguments, expected), qPrintable(job.Arguments.join(u'|')));
    if (!absent.isEmpty())
        QVERIFY2(!job.CommandLine.contains(absent), qPrintable(job.CommandLine));
    // The readable text names the same options as the argument list.
    QVERIFY2(job.CommandLine.simplified().contains(expected.join(u' ')), qPrintable(job.CommandLine));
    QCOMPARE(job.Arguments.last(), job.DestinationFilePath);
}

void TestFFmpegCommandLineGenerator::resamplingIsLogged_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("chosenRate");
    QTest::addColumn<QString>("logged");
    QTest::newRow("Opus 44100") << int(ocOPUS) << "44100"
                                << "resampling to OGG_MAX_SR";
    QTest::newRow("Opus 16000") << int(ocOPUS) << "16000"
                                << "";
    QTest::newRow("WMA 96000") << int(ocWMA) << "96000"
                               << "resampling to WMA_MAX_SR";
    QTest::newRow("WMA 48000") << int(ocWMA) << "48000"
                               << "";
}

void TestFFmpegCommandLineGenerator::resamplingIsLogged() {
    QFETCH(int, codec);
    QFETCH(QString, chosenRate);
    QFETCH(QString, logged);
    TEncodingProfile p = profile(TOutputCodec(codec), etCBR);
    p.FSampleRate = chosenRate;
    p.FChangeSampleRate = true;
    TFFmpegCommandLineGenerator generator;
    const QString source = FDir.filePath(QStringLiteral("src/a.flac"));
    generate(generator, {mediaFile(source)}, p);
    const QString log = logText();
    if (logged.isEmpty()) {
        QVERIFY2(!log.contains(QLatin1String("resampling")), qPrintable(log));
    } else {
        QVERIFY2(log.contains(QStringLiteral("|info|TFFmpegCommandLineGenerator.IdThreadRun ") + source +
                              u' ' + logged),
                 qPrintable(log));
    }
}

void TestFFmpegCommandLineGenerator::coverArt_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("pictureOnDisk");
    QTest::addColumn<QStringList>("pictureOptions"); // empty: not carried

    const QStringList attached{"-c:v", "copy", "-disposition:v", "attached_pic"};
    QTest::newRow("MP3") << int(ocMP3) << true << true << QStringList{"-c:v", "mjpeg"};
    QTest::newRow("FLAC") << int(ocFLAC) << true << true << attached;
    QTest::newRow("ALAC") << int(ocALAC) << true << true << attached;
    QTest::newRow("AAC") << int(ocAAC) << true << true << QStringList();
    QTest::newRow("Vorbis") << int(ocOGG) << true << true << QStringList();
    QTest::newRow("Opus") << int(ocOPUS) << true << true << QStringList();
    QTest::newRow("WAV") << int(ocWAV) << true << true << QStringList();
    QTest::newRow("MP3, copying off") << int(ocMP3) << false << true << QStringList();
    QTest::newRow("MP3, picture gone") << int(ocMP3) << true << false << QStringList();
}

void TestFFmpegCommandLineGenerator::coverArt() {
    QFETCH(int, codec);
    QFETCH(bool, copy);
    QFETCH(bool, pictureOnDisk);
    QFETCH(QStringList, pictureOptions);

    const QString picture = FDir.filePath(QStringLiteral("cover %INPUT%.jpg"));
    QFile::remove(picture);
    if (pictureOnDisk)
        touch(picture);
    TEncodingProfile p = profile(TOutputCodec(codec), codec == ocFLAC ? etCompression : etCBR);
    TFFmpegCommandLineGenerator generator;
    generator.SetCopyCoverAart(copy);
    const auto jobs =
        generate(generator, {mediaFile(FDir.filePath(QStringLiteral("src/a.flac")), 44100, 0, picture)}, p);
    QCOMPARE(jobs.size(), 1);
    const TFFmpegCommandLine& job = jobs[0];
    // The picture is handed to the cover-art tool whether or not ffmpeg carries it.
    QCOMPARE(job.TempCoverArtFilePath, picture);
    if (pictureOptions.isEmpty()) {
        QVERIFY2(!job.Arguments.contains(picture), qPrintable(job.Arguments.join(u'|')));
        QVERIFY(!containsSequence(job.Arguments, {"-map", "1:0"}));
        QVERIFY(job.Arguments.contains(QStringLiteral("-vn")));
    } else {
        QVERIFY(containsSequence(job.Arguments, {"-i", picture}));
        QVERIFY(containsSequence(job.Arguments, QStringList{"-map", "1:0"} + QStringList{"-c:a"}));
        QVERIFY2(containsSequence(job.Arguments, pictureOptions), qPrintable(job.Arguments.join(u'|')));
        QVERIFY(job.CommandLine.contains(QStringLiteral("-i \"") + picture + u'"'));
        QVERIFY(!job.Arguments.contains(QStringLiteral("-vn")));
    }
}

void TestFFmpegCommandLineGenerator::oddPathsReachFFmpegIntact_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << "a  b c.flac";
    QTest::newRow("double quotes") << "say \"hi\".flac";
    QTest::newRow("backslashes") << "back\\slash\\\".flac";
    QTest::newRow("placeholders") << "%INPUT% %OUTPUT% %BITRATE% %CUSTOMPARAM%.flac";
    QTest::newRow("leading dash") << "-y.flac";
    QTest::newRow("protocol prefix") << "http:evil.flac";
    QTest::newRow("newline") << "two\nlines.flac";
    QTest::newRow("other scripts") << "Мелодия 音楽 ♫.flac";
    QTest::newRow("single quote and dollar") << "it's $HOME `x`.flac";
}

void TestFFmpegCommandLineGenerator::oddPathsReachFFmpegIntact() {
    QFETCH(QString, name);
    const QString folder = FDir.filePath(QStringLiteral("odd %STREAMINDEX%"));
    const QString source = folder + u'/' + name;
    TFFmpegCommandLineGenerator generator;
    TEncodingProfile p = profile(ocMP3, etCBR);
    p.FChangeChannel = true;
    p.FChannel = chMono;
    const auto jobs = generate(generator, {mediaFile(source)}, p);
    QCOMPARE(jobs.size(), 1);
    const TFFmpegCommandLine& job = jobs[0];
    const QString output = FDir.filePath(QStringLiteral("out/Mp3")) + folder + u'/' +
                           PathWithoutExtension(name) + QStringLiteral(".mp3");
    QCOMPARE(job.SourceFilePath, source);
    QCOMPARE(job.DestinationFilePath, output);
    QVERIFY(containsSequence(job.Arguments, {"-i", source}));
    QCOMPARE(job.Arguments.last(), output);
    QCOMPARE(job.Arguments.count(source), 1);
    // The readable text holds both paths literally, inside double quotes.
    QVERIFY(job.CommandLine.contains(QStringLiteral("-i \"") + source + u'"'));
    QVERIFY(job.CommandLine.endsWith(u'"' + output + u'"'));
    QVERIFY(containsSequence(job.Arguments, {"-b:a", "192k", "-ac", "1"}));
}

void TestFFmpegCommandLineGenerator::relativePathsBecomeAbsolute() {
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(FDir.path()));
    TFFmpegCommandLineGenerator generator;
    generator.SetOutputFolder(QStringLiteral("rel-out"));
    generator.SetCreateFolderStruct(false);
    const QString picture = QStringLiteral("-cover.jpg");
    touch(picture);
    generator.SetCopyCoverAart(true);
    const auto jobs =
        generate(generator, {mediaFile(QStringLiteral("-i.flac"), 44100, 0, picture)}, profile(ocMP3, etCBR));
    QDir::setCurrent(saved);
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs[0].SourceFilePath, FDir.filePath(QStringLiteral("-i.flac")));
    QCOMPARE(jobs[0].DestinationFilePath, FDir.filePath(QStringLiteral("rel-out/Mp3/-i.mp3")));
    QCOMPARE(jobs[0].TempCoverArtFilePath, FDir.filePath(QStringLiteral("-cover.jpg")));
    for (const QString& argument : jobs[0].Arguments) {
        if (argument.contains(QLatin1String(".flac")) || argument.contains(QLatin1String(".jpg")) ||
            argument.contains(QLatin1String(".mp3")))
            QVERIFY2(QDir::isAbsolutePath(argument), qPrintable(argument));
    }
}

void TestFFmpegCommandLineGenerator::customParameters_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("quoted value stays one argument")
        << int(ocMP3) << "-metadata \"title=A B\"  -id3v2_version 3"
        << QStringList{"-metadata", "title=A B", "-id3v2_version", "3"};
    QTest::newRow("bit rate filled") << int(ocMP3) << "-maxrate %BITRATE%k"
                                     << QStringList{"-maxrate", "192k"};
    QTest::newRow("input left as typed")
        << int(ocMP3) << "-metadata comment=%INPUT%" << QStringList{"-metadata", "comment=%INPUT%"};
    QTest::newRow("channel filled") << int(ocFLAC) << "%CHANNEL% -vn" << QStringList{"-vn"};
}

void TestFFmpegCommandLineGenerator::customParameters() {
    QFETCH(int, codec);
    QFETCH(QString, custom);
    QFETCH(QStringList, expected);
    TFFmpegCommandLineGenerator generator;
    TAdvancedSettings advanced;
    advanced.CustomFFmpegParams = custom;
    generator.SetAdvancedSettings(advanced);
    const auto jobs = generate(generator, {mediaFile(FDir.filePath(QStringLiteral("src/a.flac")))},
                               profile(TOutputCodec(codec), codec == ocFLAC ? etCompression : etCBR));
    QCOMPARE(jobs.size(), 1);
    const QStringList& arguments = jobs[0].Arguments;
    QVERIFY2(containsSequence(arguments, expected + QStringList{jobs[0].DestinationFilePath}),
             qPrintable(arguments.join(u'|')));
    QVERIFY(!jobs[0].CommandLine.contains(QLatin1String("%CHANNEL%")));
}

void TestFFmpegCommandLineGenerator::overwriteOptions_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("expectedName"); // empty: skipped
    QTest::newRow("new name") << 0 << "a_2.mp3";
    QTest::newRow("overwrite") << 1 << "a.mp3";
    QTest::newRow("skip") << 2 << "";
}

void TestFFmpegCommandLineGenerator::overwriteOptions() {
    QFETCH(int, option);
    QFETCH(QString, expectedName);
    const QString outFolder = FDir.filePath(QStringLiteral("out/Mp3"));
    touch(outFolder + QStringLiteral("/a.mp3"));
    touch(outFolder + QStringLiteral("/a_1.mp3"));
    TFFmpegCommandLineGenerator generator;
    generator.SetCreateFolderStruct(false);
    generator.SetOverwriteOption(option);
    const auto jobs =
        generate(generator, {mediaFile(FDir.filePath(QStringLiteral("src/a.flac")))}, profile(ocMP3, etCBR));
    if (expectedName.isEmpty()) {
        QVERIFY(jobs.isEmpty());
        QCOMPARE(generator.SkippedFileIndex(), QList<qint32>{0});
    } else {
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(jobs[0].DestinationFilePath, outFolder + u'/' + expectedName);
        QCOMPARE(jobs[0].Arguments.last(), outFolder + u'/' + expectedName);
        QVERIFY(generator.SkippedFileIndex().isEmpty());
    }
}

void TestFFmpegCommandLineGenerator::skippedFilesAreLogged() {
    const QString outFolder = FDir.filePath(QStringLiteral("out/Mp3"));
    QList<TMediaFile> files;
    for (const char* name : {"x", "y", "z"}) {
        files << mediaFile(FDir.filePath(QStringLiteral("src/%1.flac").arg(QLatin1String(name))));
        touch(outFolder + QStringLiteral("/%1.mp3").arg(QLatin1String(name)));
    }
    TFFmpegCommandLineGenerator generator;
    generator.SetCreateFolderStruct(false);
    generator.SetOverwriteOption(2);
    QVERIFY(generate(generator, files, profile(ocMP3, etCBR)).isEmpty());
    QCOMPARE(generator.SkippedFileIndex(), QList<qint32>({0, 1, 2}));
    const QString log = logText();
    for (const char* name : {"x", "y", "z"}) {
        const QString line = QStringLiteral("|info|Skipping ") + outFolder +
                             QStringLiteral("/%1.mp3 because it already exists|").arg(QLatin1String(name));
        QVERIFY2(log.contains(line), qPrintable(log));
    }
    QCOMPARE(log.count(QLatin1String("|Skipping ")), 3);
}

void TestFFmpegCommandLineGenerator::collidingOutputsGetDistinctNames() {
    // Two sources of the same name in different folders, flattened into one
    // folder; a third output name is already on disk.
    const QString outFolder = FDir.filePath(QStringLiteral("out/Mp3"));
    touch(outFolder + QStringLiteral("/a_1.mp3"));
    const QList<TMediaFile> files{mediaFile(FDir.filePath(QStringLiteral("one/a.flac"))),
                                  mediaFile(FDir.filePath(QStringLiteral("two/a.flac"))),
                                  mediaFile(FDir.filePath(QStringLiteral("three/a.wav")))};
    for (const int option : {0, 1, 2}) {
        TFFmpegCommandLineGenerator generator;
        generator.SetCreateFolderStruct(false);
        generator.SetOverwriteOption(option);
        const auto jobs = generate(generator, files, profile(ocMP3, etCBR));
        QCOMPARE(jobs.size(), 3);
        QCOMPARE(jobs[0].DestinationFilePath, outFolder + QStringLiteral("/a.mp3"));
        QCOMPARE(jobs[1].DestinationFilePath, outFolder + QStringLiteral("/a_2.mp3"));
        QCOMPARE(jobs[2].DestinationFilePath, outFolder + QStringLiteral("/a_3.mp3"));
    }
    QVERIFY(logText().contains(outFolder + QStringLiteral("/a.mp3 is already used in this run, writing ") +
                               outFolder + QStringLiteral("/a_2.mp3 instead")));
}

void TestFFmpegCommandLineGenerator::outputThatIsASourceGetsANewName() {
    // Converting a folder that already holds earlier results: the output of
    // a.flac would be the source b/Mp3/a.mp3 of the same run.
    const QString base = FDir.filePath(QStringLiteral("b"));
    const QString earlier = base + QStringLiteral("/Mp3/a.mp3");
    touch(earlier);
    TFFmpegCommandLineGenerator generator;
    generator.SetOutputFolder(base + u'/');
    generator.SetCreateFolderStruct(false);
    generator.SetOverwriteOption(1);
    const auto jobs = generate(generator, {mediaFile(base + QStringLiteral("/a.flac")), mediaFile(earlier)},
                               profile(ocMP3, etCBR));
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(jobs[0].DestinationFilePath, base + QStringLiteral("//Mp3/a_1.mp3"));
    // The second source maps onto itself.
    QCOMPARE(jobs[1].DestinationFilePath, base + QStringLiteral("//Mp3/a_2.mp3"));
    for (const TFFmpegCommandLine& job : jobs)
        QVERIFY(QDir::cleanPath(job.DestinationFilePath) != QDir::cleanPath(earlier));
}

void TestFFmpegCommandLineGenerator::threadIndexCountsSkippedFiles() {
    const QString outFolder = FDir.filePath(QStringLiteral("out/Mp3"));
    QList<TMediaFile> files;
    for (int i = 0; i < 7; ++i)
        files << mediaFile(FDir.filePath(QStringLiteral("src/%1.flac").arg(i)));
    touch(outFolder + QStringLiteral("/1.mp3"));
    touch(outFolder + QStringLiteral("/4.mp3"));
    TFFmpegCommandLineGenerator generator;
    generator.SetCreateFolderStruct(false);
    generator.SetOverwriteOption(2);
    generator.SetThreadCount(3);
    const auto jobs = generate(generator, files, profile(ocMP3, etCBR));
    QCOMPARE(generator.SkippedFileIndex(), QList<qint32>({1, 4}));
    QList<qint32> listIndexes;
    QList<qint32> threadIndexes;
    for (const TFFmpegCommandLine& job : jobs) {
        listIndexes << job.FileListIndex;
        threadIndexes << job.ThreadIndex;
    }
    QCOMPARE(listIndexes, QList<qint32>({0, 2, 3, 5, 6}));
    QCOMPARE(threadIndexes, QList<qint32>({0, 2, 0, 2, 0}));

    // A thread count of 0 does not divide by zero.
    generator.Reset();
    generator.SetThreadCount(0);
    generator.SetOverwriteOption(1);
    for (const TFFmpegCommandLine& job : generate(generator, files, profile(ocMP3, etCBR)))
        QCOMPARE(job.ThreadIndex, 0);
}

void TestFFmpegCommandLineGenerator::failureEndsThePassAndKeepsTheJobs_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("WMA rate not a number") << "rate";
    QTest::newRow("selected stream outside the list") << "stream";
}

void TestFFmpegCommandLineGenerator::failureEndsThePassAndKeepsTheJobs() {
    QFETCH(QString, failure);
    QList<TMediaFile> files{mediaFile(FDir.filePath(QStringLiteral("src/0.flac"))),
                            mediaFile(FDir.filePath(QStringLiteral("src/1.flac"))),
                            mediaFile(FDir.filePath(QStringLiteral("src/2.flac")))};
    TEncodingProfile p = profile(ocWMA, etCBR);
    if (failure == QLatin1String("rate")) {
        p.FChangeSampleRate = true;
        p.FSampleRate = QStringLiteral("44,1 kHz");
    } else {
        files[1].SelectedAudioStream = 4;
    }
    TFFmpegCommandLineGenerator generator;
    const auto jobs = generate(generator, files, p);
    QVERIFY(!generator.Running());
    QVERIFY(!generator.ErrorText().isEmpty());
    QCOMPARE(jobs.size(), failure == QLatin1String("rate") ? 0 : 1);
    QVERIFY(logText().contains(QLatin1String("|exception|TFFmpegCommandLineGenerator.IdThreadRun|")));

    // The next pass starts clean.
    files[1].SelectedAudioStream = 0;
    generator.Reset();
    generate(generator, files, profile(ocWMA, etCBR));
    QVERIFY(generator.ErrorText().isEmpty());
    QCOMPARE(generator.FFmpegCommandLines().size(), 3);
}

void TestFFmpegCommandLineGenerator::progressAndFinishedSignal() {
    TFFmpegCommandLineGenerator generator;
    QSignalSpy finished(&generator, &TFFmpegCommandLineGenerator::Finished);
    const QString last = FDir.filePath(QStringLiteral("src/b.flac"));
    generator.SetMediaFiles({mediaFile(FDir.filePath(QStringLiteral("src/a.flac"))), mediaFile(last)});
    generator.SetProfile(profile(ocMP3, etCBR));
    generator.SetOutputFolder(FDir.filePath(QStringLiteral("out")));
    generator.SetOutputExt(QStringLiteral(".mp3"));
    QVERIFY(generator.Start());
    QVERIFY(finished.wait(10000) || finished.count() == 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!generator.Running());
    QCOMPARE(generator.Progress(), 2);
    QCOMPARE(generator.CurrentFile(), last);
    QCOMPARE(generator.FFmpegCommandLines().size(), 2);
}

void TestFFmpegCommandLineGenerator::stopEndsThePassEarly() {
    QList<TMediaFile> files;
    const TMediaFile file = mediaFile(FDir.filePath(QStringLiteral("src/a.flac")));
    for (int i = 0; i < 200000; ++i)
        files << file;
    TFFmpegCommandLineGenerator generator;
    generator.SetMediaFiles(files);
    generator.SetProfile(profile(ocMP3, etCBR));
    generator.SetOutputFolder(FDir.filePath(QStringLiteral("out")));
    generator.SetOutputExt(QStringLiteral(".mp3"));
    generator.SetOverwriteOption(1);
    QVERIFY(generator.Start());
    QVERIFY(!generator.Start()); // one pass at a time
    generator.Stop();
    QVERIFY(generator.WaitForFinished(60000));
    QVERIFY(!generator.Running());
    QVERIFY(generator.FFmpegCommandLines().size() < files.size());
}

void TestFFmpegCommandLineGenerator::resetAndRestart() {
    const QString outFolder = FDir.filePath(QStringLiteral("out/Mp3"));
    touch(outFolder + QStringLiteral("/a.mp3"));
    TFFmpegCommandLineGenerator generator;
    generator.SetCreateFolderStruct(false);
    generator.SetSameAsSource(true);
    generator.SetOverwriteOption(2);
    const QList<TMediaFile> files{mediaFile(FDir.filePath(QStringLiteral("src/a.flac")))};
    generator.SetSameAsSource(false);
    generate(generator, files, profile(ocMP3, etCBR));
    QCOMPARE(generator.SkippedFileIndex(), QList<qint32>{0});

    generator.SetSameAsSource(true);
    generator.Reset();
    QVERIFY(generator.FFmpegCommandLines().isEmpty());
    QVERIFY(generator.OutputFolder().isEmpty());
    QVERIFY(generator.OutputExt().isEmpty());
    QVERIFY(!generator.SameAsSource());
    QVERIFY(generator.CreateFolderStruct());
    QCOMPARE(generator.SkippedFileIndex(), QList<qint32>{0}); // kept until the next Start

    // Each Start makes exactly one pass over the files.
    generator.SetOverwriteOption(1);
    generate(generator, files, profile(ocMP3, etCBR));
    QVERIFY(generator.SkippedFileIndex().isEmpty());
    QCOMPARE(generator.FFmpegCommandLines().size(), 1);
    generate(generator, files, profile(ocMP3, etCBR));
    QCOMPARE(generator.FFmpegCommandLines().size(), 2);
}

QTEST_GUILESS_MAIN(TestFFmpegCommandLineGenerator)
#include "tst_ffmpegcommandlinegenerator.moc"
