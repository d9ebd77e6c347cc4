#include "base/FileNames.h"
#include "base/Log.h"
#include "engine/JobGenerator.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

MediaFile mediaFile(const QString& path, int sampleRate = 44100, int streamIndex = 0,
                    const QString& picture = QString()) {
    MediaFile file;
    file.filePath = path;
    AudioStream stream;
    stream.streamIndex = streamIndex;
    stream.samplingRate = sampleRate;
    stream.duration = 61500;
    file.audioStreams.append(stream);
    if (!picture.isEmpty()) {
        CoverArt artwork;
        artwork.streamIndex = streamIndex + 1;
        artwork.tempFilePath = picture;
        file.coverArtStreams.append(artwork);
    }
    return file;
}

EncodingProfile profile(OutputCodec codec, EncodeType method) {
    EncodingProfile p;
    p.codecId = codec;
    p.encodeType = method;
    p.bitrate = QStringLiteral("192");
    p.quality = QStringLiteral("2");
    p.compression = QStringLiteral("5");
    p.sampleRate = QStringLiteral("Original");
    return p;
}

bool containsSequence(const QStringList& list, const QStringList& sequence) {
    for (qsizetype i = 0; i + sequence.size() <= list.size(); ++i) {
        if (list.mid(i, sequence.size()) == sequence)
            return true;
    }
    return false;
}

} // namespace

class TestJobGenerator : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_logFolder;

    // Runs one pass over the files and returns its jobs.
    QList<Job> generate(JobGenerator& generator, const QList<MediaFile>& files,
                        const EncodingProfile& profile) {
        generator.setMediaFiles(files);
        generator.setProfile(profile);
        if (generator.outputFolder().isEmpty())
            generator.setOutputFolder(m_dir.filePath(QStringLiteral("out")));
        if (generator.outputExt().isEmpty())
            generator.setOutputExt(outputExtension(profile.codecId, 0));
        if (!generator.start())
            qWarning("Start refused");
        generator.waitForFinished();
        return generator.jobs();
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
    void listIndexCountsSkippedFiles();
    void failureEndsThePassAndKeepsTheJobs_data();
    void failureEndsThePassAndKeepsTheJobs();
    void progressAndFinishedSignal();
    void stopEndsThePassEarly();
    void resetAndRestart();
};

void TestJobGenerator::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_logFolder = m_dir.filePath(QStringLiteral("log"));
    configureProgramLog(m_logFolder);
}

void TestJobGenerator::init() {
    QFile::remove(programLogFilePath());
    QDir(m_dir.filePath(QStringLiteral("out"))).removeRecursively();
}

void TestJobGenerator::exampleLine() {
    JobGenerator generator;
    generator.setOutputFolder(QStringLiteral("/srv/Out"));
    generator.setCreateFolderStruct(false);
    EncodingProfile mp3 = profile(OutputCodec::Mp3, EncodeType::Cbr);
    mp3.sampleRate = QStringLiteral("44100");
    mp3.changeSampleRate = true;
    const auto jobs = generate(generator, {mediaFile(QStringLiteral("/music/a.flac"), 96000)}, mp3);
    QCOMPARE(jobs.size(), 1);
    const Job& job = jobs[0];
    QCOMPARE(job.commandLine,
             QStringLiteral(" -y -threads 1 -i \"/music/a.flac\"  -map 0:0  -c:a libmp3lame -vn "
                            "-b:a 192k -af aresample=resampler=soxr -ar 44100    \"/srv/Out/Mp3/a.mp3\""));
    QCOMPARE(job.arguments, QStringList({"-y", "-threads", "1", "-i", "/music/a.flac", "-map", "0:0", "-c:a",
                                         "libmp3lame", "-vn", "-b:a", "192k", "-af",
                                         "aresample=resampler=soxr", "-ar", "44100", "/srv/Out/Mp3/a.mp3"}));
    QCOMPARE(job.sourceFilePath, QStringLiteral("/music/a.flac"));
    QCOMPARE(job.destinationFilePath, QStringLiteral("/srv/Out/Mp3/a.mp3"));
    QCOMPARE(job.fileListIndex, 0);
    QVERIFY(job.tempCoverArtFilePath.isEmpty());
}

void TestJobGenerator::options_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("chosenRate");
    QTest::addColumn<int>("sourceRate");
    QTest::addColumn<QString>(
        "setting"); // "managed", "BitDepth::Bits16", "BitDepth::Bits24", "mono", "quality 0.5", "level 8"
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("absent");

    const QString original = QStringLiteral("Original");
    const QStringList resampleTo48k{"-af", "aresample=resampler=soxr", "-ar", "48000"};
    QTest::newRow("Opus chosen 44100 -> 48000")
        << int(OutputCodec::Opus) << int(EncodeType::Cbr) << "44100" << 44100 << "" << resampleTo48k << "";
    QTest::newRow("Opus chosen 16000") << int(OutputCodec::Opus) << int(EncodeType::Cbr) << "16000" << 44100
                                       << "" << QStringList{"-ar", "16000"} << "";
    QTest::newRow("Opus original 44100 source")
        << int(OutputCodec::Opus) << int(EncodeType::Cbr) << original << 44100 << "" << resampleTo48k << "";
    QTest::newRow("Opus original 48000 source") << int(OutputCodec::Opus) << int(EncodeType::Cbr) << original
                                                << 48000 << "" << QStringList{"-vbr", "off"} << "-ar";
    QTest::newRow("Opus original 24000 source") << int(OutputCodec::Opus) << int(EncodeType::Cbr) << original
                                                << 24000 << "" << QStringList{"-b:a", "192k"} << "-ar";
    QTest::newRow("Opus quality keeps the bit rate")
        << int(OutputCodec::Opus) << int(EncodeType::Quality) << original << 48000 << ""
        << QStringList{"-b:a", "192k", "-vbr", "on"} << "%";
    QTest::newRow("Vorbis original 96000 source")
        << int(OutputCodec::Ogg) << int(EncodeType::Cbr) << original << 96000 << "" << resampleTo48k << "";
    QTest::newRow("WMA original 96000 source")
        << int(OutputCodec::Wma) << int(EncodeType::Cbr) << original << 96000 << "" << resampleTo48k << "";
    QTest::newRow("WMA chosen 96000 -> 48000")
        << int(OutputCodec::Wma) << int(EncodeType::Cbr) << "96000" << 44100 << "" << resampleTo48k << "";
    QTest::newRow("WMA chosen 22050") << int(OutputCodec::Wma) << int(EncodeType::Cbr) << "22050" << 44100
                                      << "" << QStringList{"-ar", "22050"} << "";
    QTest::newRow("MP3 original 96000 source") << int(OutputCodec::Mp3) << int(EncodeType::Cbr) << original
                                               << 96000 << "" << QStringList{"-b:a", "192k"} << "-ar";
    QTest::newRow("Vorbis managed 128")
        << int(OutputCodec::Ogg) << int(EncodeType::Cbr) << original << 44100 << "managed"
        << QStringList{"-b:a", "128k", "-minrate", "128k", "-maxrate", "128k"} << "";
    QTest::newRow("Vorbis plain CBR")
        << int(OutputCodec::Ogg) << int(EncodeType::Cbr) << original << 44100 << ""
        << QStringList{"-c:a", "libvorbis", "-vn", "-b:a", "192k"} << "minrate";
    QTest::newRow("Vorbis quality") << int(OutputCodec::Ogg) << int(EncodeType::Quality) << original << 44100
                                    << "" << QStringList{"-q:a", "2"} << "%";
    QTest::newRow("MP3 quality") << int(OutputCodec::Mp3) << int(EncodeType::Quality) << original << 44100
                                 << "" << QStringList{"-c:a", "libmp3lame", "-vn", "-q:a", "2"} << "-b:a";
    QTest::newRow("AAC quality 0.5") << int(OutputCodec::Aac) << int(EncodeType::Quality) << original << 44100
                                     << "quality 0.5" << QStringList{"-q:a", "0.5", "-movflags", "faststart"}
                                     << "%";
    QTest::newRow("AAC CBR") << int(OutputCodec::Aac) << int(EncodeType::Cbr) << original << 44100 << ""
                             << QStringList{"-c:a", "aac", "-vn", "-b:a", "192k"} << "%";
    QTest::newRow("FLAC level 8") << int(OutputCodec::Flac) << int(EncodeType::Compression) << original
                                  << 44100 << "level 8" << QStringList{"-compression_level", "8"} << "%";
    QTest::newRow("FLAC 16 bit") << int(OutputCodec::Flac) << int(EncodeType::Compression) << original
                                 << 44100 << "bd16" << QStringList{"-sample_fmt", "s16"} << "";
    QTest::newRow("FLAC 24 bit") << int(OutputCodec::Flac) << int(EncodeType::Compression) << original
                                 << 44100 << "bd24" << QStringList{"-sample_fmt", "s32"} << "";
    QTest::newRow("ALAC 16 bit") << int(OutputCodec::Alac) << int(EncodeType::None) << original << 44100
                                 << "bd16" << QStringList{"-c:a", "alac", "-vn", "-sample_fmt", "s16p"}
                                 << "%";
    QTest::newRow("ALAC 24 bit") << int(OutputCodec::Alac) << int(EncodeType::None) << original << 44100
                                 << "bd24" << QStringList{"-sample_fmt", "s32p"} << "%";
    QTest::newRow("WAV 16 bit") << int(OutputCodec::Wav) << int(EncodeType::None) << original << 44100
                                << "bd16" << QStringList{"-vn", "-c:a", "pcm_s16le"} << "sample_fmt";
    QTest::newRow("WAV 24 bit") << int(OutputCodec::Wav) << int(EncodeType::None) << original << 44100
                                << "bd24" << QStringList{"-vn", "-c:a", "pcm_s24le"} << "sample_fmt";
    QTest::newRow("WAV without changes") << int(OutputCodec::Wav) << int(EncodeType::None) << original
                                         << 44100 << "" << QStringList{"-map", "0:0", "-vn"} << "-c:a";
    QTest::newRow("mono") << int(OutputCodec::Mp3) << int(EncodeType::Cbr) << original << 44100 << "mono"
                          << QStringList{"-ac", "1"} << "";
    QTest::newRow("stereo") << int(OutputCodec::Wma) << int(EncodeType::Cbr) << original << 44100 << "stereo"
                            << QStringList{"-c:a", "wmav2", "-vn", "-b:a", "192k", "-ac", "2"} << "";
}

void TestJobGenerator::options() {
    QFETCH(int, codec);
    QFETCH(int, method);
    QFETCH(QString, chosenRate);
    QFETCH(int, sourceRate);
    QFETCH(QString, setting);
    QFETCH(QStringList, expected);
    QFETCH(QString, absent);

    EncodingProfile p = profile(OutputCodec(codec), EncodeType(method));
    p.sampleRate = chosenRate;
    p.changeSampleRate = chosenRate != QLatin1String("Original");
    if (setting == QLatin1String("managed")) {
        p.oggManagedBitrateMode = true;
        p.bitrate = QStringLiteral("128");
    } else if (setting.startsWith(QLatin1String("bd"))) {
        p.changeBitDepth = true;
        p.bitDepth = setting == QLatin1String("bd16") ? BitDepth::Bits16 : BitDepth::Bits24;
    } else if (setting == QLatin1String("mono") || setting == QLatin1String("stereo")) {
        p.changeChannel = true;
        p.channel = setting == QLatin1String("mono") ? ChannelType::Mono : ChannelType::Stereo;
    } else if (setting.startsWith(QLatin1String("quality "))) {
        p.quality = setting.mid(8);
    } else if (setting.startsWith(QLatin1String("level "))) {
        p.compression = setting.mid(6);
    }

    JobGenerator generator;
    const auto jobs =
        generate(generator, {mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")), sourceRate)}, p);
    QCOMPARE(jobs.size(), 1);
    const Job& job = jobs[0];
    QVERIFY2(job.commandLine.startsWith(u' '), qPrintable(job.commandLine));
    QVERIFY2(containsSequence(job.arguments, expected), qPrintable(job.arguments.join(u'|')));
    if (!absent.isEmpty())
        QVERIFY2(!job.commandLine.contains(absent), qPrintable(job.commandLine));
    // The readable text names the same options as the argument list.
    QVERIFY2(job.commandLine.simplified().contains(expected.join(u' ')), qPrintable(job.commandLine));
    QCOMPARE(job.arguments.last(), job.destinationFilePath);
}

void TestJobGenerator::resamplingIsLogged_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("chosenRate");
    QTest::addColumn<QString>("logged");
    QTest::newRow("Opus 44100") << int(OutputCodec::Opus) << "44100"
                                << "resampling to OGG_MAX_SR";
    QTest::newRow("Opus 16000") << int(OutputCodec::Opus) << "16000"
                                << "";
    QTest::newRow("WMA 96000") << int(OutputCodec::Wma) << "96000"
                               << "resampling to WMA_MAX_SR";
    QTest::newRow("WMA 48000") << int(OutputCodec::Wma) << "48000"
                               << "";
}

void TestJobGenerator::resamplingIsLogged() {
    QFETCH(int, codec);
    QFETCH(QString, chosenRate);
    QFETCH(QString, logged);
    EncodingProfile p = profile(OutputCodec(codec), EncodeType::Cbr);
    p.sampleRate = chosenRate;
    p.changeSampleRate = true;
    JobGenerator generator;
    const QString source = m_dir.filePath(QStringLiteral("src/a.flac"));
    generate(generator, {mediaFile(source)}, p);
    const QString log = TestSupport::programLogText();
    if (logged.isEmpty()) {
        QVERIFY2(!log.contains(QLatin1String("resampling")), qPrintable(log));
    } else {
        QVERIFY2(log.contains(QStringLiteral("|info|TFFmpegCommandLineGenerator.IdThreadRun ") + source +
                              u' ' + logged),
                 qPrintable(log));
    }
}

void TestJobGenerator::coverArt_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("pictureOnDisk");
    QTest::addColumn<QStringList>("pictureOptions"); // empty: not carried

    const QStringList attached{"-c:v", "copy", "-disposition:v", "attached_pic"};
    QTest::newRow("MP3") << int(OutputCodec::Mp3) << true << true << QStringList{"-c:v", "mjpeg"};
    QTest::newRow("FLAC") << int(OutputCodec::Flac) << true << true << attached;
    QTest::newRow("ALAC") << int(OutputCodec::Alac) << true << true << attached;
    QTest::newRow("AAC") << int(OutputCodec::Aac) << true << true << QStringList();
    QTest::newRow("Vorbis") << int(OutputCodec::Ogg) << true << true << QStringList();
    QTest::newRow("Opus") << int(OutputCodec::Opus) << true << true << QStringList();
    QTest::newRow("WAV") << int(OutputCodec::Wav) << true << true << QStringList();
    QTest::newRow("MP3, copying off") << int(OutputCodec::Mp3) << false << true << QStringList();
    QTest::newRow("MP3, picture gone") << int(OutputCodec::Mp3) << true << false << QStringList();
}

void TestJobGenerator::coverArt() {
    QFETCH(int, codec);
    QFETCH(bool, copy);
    QFETCH(bool, pictureOnDisk);
    QFETCH(QStringList, pictureOptions);

    const QString picture = m_dir.filePath(QStringLiteral("cover %INPUT%.jpg"));
    QFile::remove(picture);
    if (pictureOnDisk)
        QVERIFY(TestSupport::touch(picture));
    EncodingProfile p =
        profile(OutputCodec(codec),
                OutputCodec(codec) == OutputCodec::Flac ? EncodeType::Compression : EncodeType::Cbr);
    JobGenerator generator;
    generator.setCopyCoverArt(copy);
    const auto jobs =
        generate(generator, {mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")), 44100, 0, picture)}, p);
    QCOMPARE(jobs.size(), 1);
    const Job& job = jobs[0];
    // The picture is handed to the cover-art tool whether or not ffmpeg carries it.
    QCOMPARE(job.tempCoverArtFilePath, picture);
    if (pictureOptions.isEmpty()) {
        QVERIFY2(!job.arguments.contains(picture), qPrintable(job.arguments.join(u'|')));
        QVERIFY(!containsSequence(job.arguments, {"-map", "1:0"}));
        QVERIFY(job.arguments.contains(QStringLiteral("-vn")));
    } else {
        QVERIFY(containsSequence(job.arguments, {"-i", picture}));
        QVERIFY(containsSequence(job.arguments, QStringList{"-map", "1:0"} + QStringList{"-c:a"}));
        QVERIFY2(containsSequence(job.arguments, pictureOptions), qPrintable(job.arguments.join(u'|')));
        QVERIFY(job.commandLine.contains(QStringLiteral("-i \"") + picture + u'"'));
        QVERIFY(!job.arguments.contains(QStringLiteral("-vn")));
    }
}

void TestJobGenerator::oddPathsReachFFmpegIntact_data() {
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

void TestJobGenerator::oddPathsReachFFmpegIntact() {
    QFETCH(QString, name);
    const QString folder = m_dir.filePath(QStringLiteral("odd %STREAMINDEX%"));
    const QString source = folder + u'/' + name;
    JobGenerator generator;
    EncodingProfile p = profile(OutputCodec::Mp3, EncodeType::Cbr);
    p.changeChannel = true;
    p.channel = ChannelType::Mono;
    const auto jobs = generate(generator, {mediaFile(source)}, p);
    QCOMPARE(jobs.size(), 1);
    const Job& job = jobs[0];
    const QString output = m_dir.filePath(QStringLiteral("out/Mp3")) + folder + u'/' +
                           pathWithoutExtension(name) + QStringLiteral(".mp3");
    QCOMPARE(job.sourceFilePath, source);
    QCOMPARE(job.destinationFilePath, output);
    QVERIFY(containsSequence(job.arguments, {"-i", source}));
    QCOMPARE(job.arguments.last(), output);
    QCOMPARE(job.arguments.count(source), 1);
    // The readable text holds both paths literally, inside double quotes.
    QVERIFY(job.commandLine.contains(QStringLiteral("-i \"") + source + u'"'));
    QVERIFY(job.commandLine.endsWith(u'"' + output + u'"'));
    QVERIFY(containsSequence(job.arguments, {"-b:a", "192k", "-ac", "1"}));
}

void TestJobGenerator::relativePathsBecomeAbsolute() {
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    JobGenerator generator;
    generator.setOutputFolder(QStringLiteral("rel-out"));
    generator.setCreateFolderStruct(false);
    const QString picture = QStringLiteral("-cover.jpg");
    QVERIFY(TestSupport::touch(picture));
    generator.setCopyCoverArt(true);
    const auto jobs = generate(generator, {mediaFile(QStringLiteral("-i.flac"), 44100, 0, picture)},
                               profile(OutputCodec::Mp3, EncodeType::Cbr));
    QDir::setCurrent(saved);
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs[0].sourceFilePath, m_dir.filePath(QStringLiteral("-i.flac")));
    QCOMPARE(jobs[0].destinationFilePath, m_dir.filePath(QStringLiteral("rel-out/Mp3/-i.mp3")));
    QCOMPARE(jobs[0].tempCoverArtFilePath, m_dir.filePath(QStringLiteral("-cover.jpg")));
    for (const QString& argument : jobs[0].arguments) {
        if (argument.contains(QLatin1String(".flac")) || argument.contains(QLatin1String(".jpg")) ||
            argument.contains(QLatin1String(".mp3")))
            QVERIFY2(QDir::isAbsolutePath(argument), qPrintable(argument));
    }
}

void TestJobGenerator::customParameters_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("quoted value stays one argument")
        << int(OutputCodec::Mp3) << "-metadata \"title=A B\"  -id3v2_version 3"
        << QStringList{"-metadata", "title=A B", "-id3v2_version", "3"};
    QTest::newRow("bit rate filled") << int(OutputCodec::Mp3) << "-maxrate %BITRATE%k"
                                     << QStringList{"-maxrate", "192k"};
    QTest::newRow("input left as typed") << int(OutputCodec::Mp3) << "-metadata comment=%INPUT%"
                                         << QStringList{"-metadata", "comment=%INPUT%"};
    QTest::newRow("channel filled") << int(OutputCodec::Flac) << "%CHANNEL% -vn" << QStringList{"-vn"};
}

void TestJobGenerator::customParameters() {
    QFETCH(int, codec);
    QFETCH(QString, custom);
    QFETCH(QStringList, expected);
    JobGenerator generator;
    AdvancedSettings advanced;
    advanced.customFFmpegParams = custom;
    generator.setAdvancedSettings(advanced);
    const auto jobs =
        generate(generator, {mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")))},
                 profile(OutputCodec(codec), OutputCodec(codec) == OutputCodec::Flac ? EncodeType::Compression
                                                                                     : EncodeType::Cbr));
    QCOMPARE(jobs.size(), 1);
    const QStringList& arguments = jobs[0].arguments;
    QVERIFY2(containsSequence(arguments, expected + QStringList{jobs[0].destinationFilePath}),
             qPrintable(arguments.join(u'|')));
    QVERIFY(!jobs[0].commandLine.contains(QLatin1String("%CHANNEL%")));
}

void TestJobGenerator::overwriteOptions_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("expectedName"); // empty: skipped
    QTest::newRow("new name") << 0 << "a_2.mp3";
    QTest::newRow("overwrite") << 1 << "a.mp3";
    QTest::newRow("skip") << 2 << "";
}

void TestJobGenerator::overwriteOptions() {
    QFETCH(int, option);
    QFETCH(QString, expectedName);
    const QString outFolder = m_dir.filePath(QStringLiteral("out/Mp3"));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/a.mp3")));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/a_1.mp3")));
    JobGenerator generator;
    generator.setCreateFolderStruct(false);
    generator.setOverwriteOption(fromOrdinal<OverwriteOption>(option));
    const auto jobs = generate(generator, {mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")))},
                               profile(OutputCodec::Mp3, EncodeType::Cbr));
    if (expectedName.isEmpty()) {
        QVERIFY(jobs.isEmpty());
        QCOMPARE(generator.skippedRows(), QList<qint32>{0});
    } else {
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(jobs[0].destinationFilePath, outFolder + u'/' + expectedName);
        QCOMPARE(jobs[0].arguments.last(), outFolder + u'/' + expectedName);
        QVERIFY(generator.skippedRows().isEmpty());
    }
}

void TestJobGenerator::skippedFilesAreLogged() {
    const QString outFolder = m_dir.filePath(QStringLiteral("out/Mp3"));
    QList<MediaFile> files;
    for (const char* name : {"x", "y", "z"}) {
        files << mediaFile(m_dir.filePath(QStringLiteral("src/%1.flac").arg(QLatin1String(name))));
        QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/%1.mp3").arg(QLatin1String(name))));
    }
    JobGenerator generator;
    generator.setCreateFolderStruct(false);
    generator.setOverwriteOption(OverwriteOption::Skip);
    QVERIFY(generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr)).isEmpty());
    QCOMPARE(generator.skippedRows(), QList<qint32>({0, 1, 2}));
    const QString log = TestSupport::programLogText();
    for (const char* name : {"x", "y", "z"}) {
        const QString line = QStringLiteral("|info|Skipping ") + outFolder +
                             QStringLiteral("/%1.mp3 because it already exists|").arg(QLatin1String(name));
        QVERIFY2(log.contains(line), qPrintable(log));
    }
    QCOMPARE(log.count(QLatin1String("|Skipping ")), 3);
}

void TestJobGenerator::collidingOutputsGetDistinctNames() {
    // Two sources of the same name in different folders, flattened into one
    // folder; a third output name is already on disk.
    const QString outFolder = m_dir.filePath(QStringLiteral("out/Mp3"));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/a_1.mp3")));
    const QList<MediaFile> files{mediaFile(m_dir.filePath(QStringLiteral("one/a.flac"))),
                                 mediaFile(m_dir.filePath(QStringLiteral("two/a.flac"))),
                                 mediaFile(m_dir.filePath(QStringLiteral("three/a.wav")))};
    for (const int option : {0, 1, 2}) {
        JobGenerator generator;
        generator.setCreateFolderStruct(false);
        generator.setOverwriteOption(fromOrdinal<OverwriteOption>(option));
        const auto jobs = generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr));
        QCOMPARE(jobs.size(), 3);
        QCOMPARE(jobs[0].destinationFilePath, outFolder + QStringLiteral("/a.mp3"));
        QCOMPARE(jobs[1].destinationFilePath, outFolder + QStringLiteral("/a_2.mp3"));
        QCOMPARE(jobs[2].destinationFilePath, outFolder + QStringLiteral("/a_3.mp3"));
    }
    QVERIFY(TestSupport::programLogText().contains(
        outFolder + QStringLiteral("/a.mp3 is already used in this run, writing ") + outFolder +
        QStringLiteral("/a_2.mp3 instead")));
}

void TestJobGenerator::outputThatIsASourceGetsANewName() {
    // Converting a folder that already holds earlier results: the output of
    // a.flac would be the source b/Mp3/a.mp3 of the same run.
    const QString base = m_dir.filePath(QStringLiteral("b"));
    const QString earlier = base + QStringLiteral("/Mp3/a.mp3");
    QVERIFY(TestSupport::touch(earlier));
    JobGenerator generator;
    generator.setOutputFolder(base + u'/');
    generator.setCreateFolderStruct(false);
    generator.setOverwriteOption(OverwriteOption::Overwrite);
    const auto jobs = generate(generator, {mediaFile(base + QStringLiteral("/a.flac")), mediaFile(earlier)},
                               profile(OutputCodec::Mp3, EncodeType::Cbr));
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(jobs[0].destinationFilePath, base + QStringLiteral("//Mp3/a_1.mp3"));
    // The second source maps onto itself.
    QCOMPARE(jobs[1].destinationFilePath, base + QStringLiteral("//Mp3/a_2.mp3"));
    for (const Job& job : jobs)
        QVERIFY(QDir::cleanPath(job.destinationFilePath) != QDir::cleanPath(earlier));
}

// A job names the row of its file in the list the window shows, skipped files counted.
void TestJobGenerator::listIndexCountsSkippedFiles() {
    const QString outFolder = m_dir.filePath(QStringLiteral("out/Mp3"));
    QList<MediaFile> files;
    for (int i = 0; i < 7; ++i)
        files << mediaFile(m_dir.filePath(QStringLiteral("src/%1.flac").arg(i)));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/1.mp3")));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/4.mp3")));
    JobGenerator generator;
    generator.setCreateFolderStruct(false);
    generator.setOverwriteOption(OverwriteOption::Skip);
    const auto jobs = generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr));
    QCOMPARE(generator.skippedRows(), QList<qint32>({1, 4}));
    QList<qint32> listIndexes;
    for (const Job& job : jobs)
        listIndexes << job.fileListIndex;
    QCOMPARE(listIndexes, QList<qint32>({0, 2, 3, 5, 6}));
}

void TestJobGenerator::failureEndsThePassAndKeepsTheJobs_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("WMA rate not a number") << "rate";
    QTest::newRow("selected stream outside the list") << "stream";
}

void TestJobGenerator::failureEndsThePassAndKeepsTheJobs() {
    QFETCH(QString, failure);
    QList<MediaFile> files{mediaFile(m_dir.filePath(QStringLiteral("src/0.flac"))),
                           mediaFile(m_dir.filePath(QStringLiteral("src/1.flac"))),
                           mediaFile(m_dir.filePath(QStringLiteral("src/2.flac")))};
    EncodingProfile p = profile(OutputCodec::Wma, EncodeType::Cbr);
    if (failure == QLatin1String("rate")) {
        p.changeSampleRate = true;
        p.sampleRate = QStringLiteral("44,1 kHz");
    } else {
        files[1].selectedStreamIndex = 4;
    }
    JobGenerator generator;
    const auto jobs = generate(generator, files, p);
    QVERIFY(!generator.running());
    QVERIFY(!generator.errorText().isEmpty());
    QCOMPARE(jobs.size(), failure == QLatin1String("rate") ? 0 : 1);
    QVERIFY(TestSupport::programLogText().contains(
        QLatin1String("|exception|TFFmpegCommandLineGenerator.IdThreadRun|")));

    // The next pass starts clean.
    files[1].selectedStreamIndex = 0;
    generator.reset();
    generate(generator, files, profile(OutputCodec::Wma, EncodeType::Cbr));
    QVERIFY(generator.errorText().isEmpty());
    QCOMPARE(generator.jobs().size(), 3);
}

void TestJobGenerator::progressAndFinishedSignal() {
    JobGenerator generator;
    QSignalSpy finished(&generator, &JobGenerator::finished);
    const QString last = m_dir.filePath(QStringLiteral("src/b.flac"));
    generator.setMediaFiles({mediaFile(m_dir.filePath(QStringLiteral("src/a.flac"))), mediaFile(last)});
    generator.setProfile(profile(OutputCodec::Mp3, EncodeType::Cbr));
    generator.setOutputFolder(m_dir.filePath(QStringLiteral("out")));
    generator.setOutputExt(QStringLiteral(".mp3"));
    QVERIFY(generator.start());
    QVERIFY(finished.wait(10000) || finished.count() == 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!generator.running());
    QCOMPARE(generator.progress(), 2);
    QCOMPARE(generator.currentFile(), last);
    QCOMPARE(generator.jobs().size(), 2);
}

void TestJobGenerator::stopEndsThePassEarly() {
    QList<MediaFile> files;
    const MediaFile file = mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")));
    for (int i = 0; i < 200000; ++i)
        files << file;
    JobGenerator generator;
    generator.setMediaFiles(files);
    generator.setProfile(profile(OutputCodec::Mp3, EncodeType::Cbr));
    generator.setOutputFolder(m_dir.filePath(QStringLiteral("out")));
    generator.setOutputExt(QStringLiteral(".mp3"));
    generator.setOverwriteOption(OverwriteOption::Overwrite);
    QVERIFY(generator.start());
    QVERIFY(!generator.start()); // one pass at a time
    generator.stop();
    QVERIFY(generator.waitForFinished(60000));
    QVERIFY(!generator.running());
    QVERIFY(generator.jobs().size() < files.size());
}

void TestJobGenerator::resetAndRestart() {
    const QString outFolder = m_dir.filePath(QStringLiteral("out/Mp3"));
    QVERIFY(TestSupport::touch(outFolder + QStringLiteral("/a.mp3")));
    JobGenerator generator;
    generator.setCreateFolderStruct(false);
    generator.setSameAsSource(true);
    generator.setOverwriteOption(OverwriteOption::Skip);
    const QList<MediaFile> files{mediaFile(m_dir.filePath(QStringLiteral("src/a.flac")))};
    generator.setSameAsSource(false);
    generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr));
    QCOMPARE(generator.skippedRows(), QList<qint32>{0});

    generator.setSameAsSource(true);
    generator.reset();
    QVERIFY(generator.jobs().isEmpty());
    QVERIFY(generator.outputFolder().isEmpty());
    QVERIFY(generator.outputExt().isEmpty());
    QVERIFY(!generator.sameAsSource());
    QVERIFY(generator.createFolderStruct());
    QCOMPARE(generator.skippedRows(), QList<qint32>{0}); // kept until the next Start

    // Each Start makes exactly one pass over the files.
    generator.setOverwriteOption(OverwriteOption::Overwrite);
    generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr));
    QVERIFY(generator.skippedRows().isEmpty());
    QCOMPARE(generator.jobs().size(), 1);
    generate(generator, files, profile(OutputCodec::Mp3, EncodeType::Cbr));
    QCOMPARE(generator.jobs().size(), 2);
}

QTEST_GUILESS_MAIN(TestJobGenerator)
#include "tst_jobgenerator.moc"
