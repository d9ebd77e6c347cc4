// Jobs made by the generator, run through the real ffmpeg with their argument
// lists, and the outputs read back with ffprobe. The profiles come from the
// codec panel's table, so every list entry the panel offers is exercised.

#include "TestSupport.h"
#include "engine/JobGenerator.h"
#include "model/CodecPanelPositions.h"
#include "model/CodecTable.h"
#include "model/EncodingProfileBuilder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// What ffprobe must find in the output, or the reason ffmpeg must give for refusing.
struct Expected {
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    int bitDepth = 0; // 0: not checked
    bool picture = false;
    QString failure; // non-empty: the conversion must fail with this text in ffmpeg's output
};

struct Source {
    QString path;
    MediaFile file;
};

// Opus always decodes at 48 kHz, so ffprobe reports that; the rate the encoder
// was given is kept in the stream header ("OpusHead", then version, channel
// count, pre-skip and the input rate, little-endian).
int opusInputRate(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(4096);
    const qsizetype at = head.indexOf("OpusHead");
    if (at < 0 || at + 16 > head.size())
        return 0;
    return qFromLittleEndian<quint32>(head.constData() + at + 12);
}

} // namespace

Q_DECLARE_METATYPE(Expected)

class TestGeneratorEndToEnd : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QHash<QString, Source> m_sources;
    CodecTable m_table = buildCodecTable();

    void makeSources();
    EncodingProfile profileFor(OutputCodec codec, const QString& tweaks, bool* copyCover) const;
    void addRow(const QString& name, const QString& source, OutputCodec codec, const QString& tweaks,
                const Expected& expected);
    void addRow(const QString& name, const QString& source, OutputCodec codec, const QString& tweaks,
                const QString& codecName, int sampleRate, int channels, int bitDepth = 0,
                bool picture = false) {
        Expected expected;
        expected.codec = codecName;
        expected.sampleRate = sampleRate;
        expected.channels = channels;
        expected.bitDepth = bitDepth;
        expected.picture = picture;
        addRow(name, source, codec, tweaks, expected);
    }

private slots:
    void initTestCase();
    void convert_data();
    void convert();
};

void TestGeneratorEndToEnd::initTestCase() {
    QVERIFY(m_dir.isValid());
    makeSources();
}

void TestGeneratorEndToEnd::makeSources() {
    using TestSupport::RunFFmpeg;
    // Names that a shell or a placeholder filler would mangle.
    const QString folder = m_dir.filePath(QStringLiteral("src %OUTPUT% \"q\""));
    QVERIFY(QDir().mkpath(folder));
    const QString cover = folder + QStringLiteral("/cover %INPUT%.jpg");
    QVERIFY(TestSupport::makePicture(cover, 32, 32));

    const auto sine = [](int rate, double seconds = 1.0) {
        return QStringList{
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds)};
    };
    const auto audioFile = [](const QString& path, int rate, qint32 streamIndex = 0) {
        MediaFile file;
        file.filePath = path;
        AudioStream stream;
        stream.streamIndex = streamIndex;
        stream.samplingRate = rate;
        stream.duration = 1000;
        file.audioStreams << stream;
        return file;
    };

    // 96 kHz, 24-bit stereo FLAC with an attached cover.
    const QString hires = folder + QStringLiteral("/hi-res $HOME `24`.flac");
    QVERIFY(RunFFmpeg(sine(96000) + QStringList{"-i", cover, "-map", "0:a", "-map", "1:v", "-ac", "2", "-c:a",
                                                "flac", "-sample_fmt", "s32", "-c:v", "copy",
                                                "-disposition:v", "attached_pic", hires}));
    Source hiresSource{hires, audioFile(hires, 96000)};
    CoverArt artwork;
    artwork.streamIndex = 1;
    artwork.codec = QStringLiteral("mjpeg (Motion JPEG)");
    artwork.tempFilePath = cover;
    hiresSource.file.coverArtStreams << artwork;
    m_sources.insert(QStringLiteral("hires"), hiresSource);

    // Mono 44.1 kHz MP3 whose name looks like an option.
    const QString mono = folder + QStringLiteral("/-mono 44k.mp3");
    QVERIFY(RunFFmpeg(sine(44100) + QStringList{"-ac", "1", "-c:a", "libmp3lame", "-b:a", "128k", mono}));
    m_sources.insert(QStringLiteral("mono"), {mono, audioFile(mono, 44100)});

    // 5.1 at 48 kHz, 16 bit, with a backslash and a line break in its name.
    const QString surround = folder + QStringLiteral("/surround\\5.1\nsix.flac");
    QVERIFY(RunFFmpeg(sine(48000) + QStringList{"-ac", "6", "-c:a", "flac", "-sample_fmt", "s16", surround}));
    m_sources.insert(QStringLiteral("surround"), {surround, audioFile(surround, 48000)});

    // A film with two audio streams: English stereo 48 kHz, German mono 22.05 kHz.
    // The German one (container index 2) is selected, so the output shows which was taken.
    const QString film = folder + QStringLiteral("/film: two langs.mkv");
    QVERIFY(RunFFmpeg({"-f",
                       "lavfi",
                       "-i",
                       "testsrc=size=64x48:rate=10:duration=1",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=frequency=440:sample_rate=48000:duration=1",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=frequency=660:sample_rate=22050:duration=1",
                       "-map",
                       "0:v",
                       "-map",
                       "1:a",
                       "-map",
                       "2:a",
                       "-c:v",
                       "mpeg4",
                       "-c:a",
                       "flac",
                       "-ac:a:0",
                       "2",
                       "-ac:a:1",
                       "1",
                       "-metadata:s:a:0",
                       "language=eng",
                       "-metadata:s:a:1",
                       "language=ger",
                       film}));
    MediaFile filmFile = audioFile(film, 48000, 1);
    AudioStream german = filmFile.audioStreams[0];
    german.streamIndex = 2;
    german.samplingRate = 22050;
    german.lang = QStringLiteral("ger");
    filmFile.audioStreams[0].lang = QStringLiteral("eng");
    filmFile.audioStreams << german;
    filmFile.selectedStreamIndex = 1;
    m_sources.insert(QStringLiteral("film"), {film, filmFile});
}

// The profile the codec panel makes from its default positions, changed by
// tweaks: "Quality" or "CBR" (method), "b=<bit rate>", "q=<quality entry>",
// "sr=<sample-rate entry>", "ch=<channel entry>", "bd=<bit-depth entry>",
// "managed", "vbr", "nocover".
EncodingProfile TestGeneratorEndToEnd::profileFor(OutputCodec codec, const QString& tweaks,
                                                  bool* copyCover) const {
    const CodecCapabilities* entry = findCodec(m_table, codec);
    CodecPanelPositions panel = defaultPanelPositions(m_table);
    panel.format = ordinal(codec);
    CodecPagePositions& page = panel.page(codec);
    *copyCover = true;
    const QStringList words = tweaks.split(u' ', Qt::SkipEmptyParts);
    for (const QString& word : words) {
        const QString value = word.section(u'=', 1);
        if (word == QLatin1String("Quality") || word == QLatin1String("CBR"))
            page.method = int(displayTexts(entry->supportedEncodingTypes).indexOf(word));
        else if (word.startsWith(QLatin1String("b=")))
            page.bitrate = int(entry->supportedBitrates.indexOf(value));
        else if (word.startsWith(QLatin1String("q=")))
            page.quality = int(entry->supportedQualities.indexOf(value));
        else if (word.startsWith(QLatin1String("sr=")))
            page.sampleRate = int(displayTexts(entry->supportedSampleRates).indexOf(value));
        else if (word.startsWith(QLatin1String("ch=")))
            page.channel = int(displayTexts(entry->supportedChannels).indexOf(value));
        else if (word.startsWith(QLatin1String("bd=")))
            page.bitDepth = int(displayTexts(entry->supportedBitDepths).indexOf(value));
        else if (word == QLatin1String("managed"))
            panel.oggManagedBitrate = true;
        else if (word == QLatin1String("vbr"))
            panel.opusVbr = true;
        else if (word == QLatin1String("nocover"))
            *copyCover = false;
        else
            qFatal("unknown tweak %s", qPrintable(word));
    }
    const std::initializer_list<int> positions = {page.method,     page.bitrate, page.quality,
                                                  page.sampleRate, page.channel, page.bitDepth};
    for (const int position : positions) {
        if (position < 0)
            qFatal("tweak \"%s\" names an entry the panel does not offer", qPrintable(tweaks));
    }
    return createEncodingProfile(m_table, panel);
}

void TestGeneratorEndToEnd::addRow(const QString& name, const QString& source, OutputCodec codec,
                                   const QString& tweaks, const Expected& expected) {
    QTest::newRow(qPrintable(name)) << source << int(codec) << tweaks << expected;
}

void TestGeneratorEndToEnd::convert_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("tweaks");
    QTest::addColumn<Expected>("expected");

    // Every codec at the panel's defaults.
    addRow("MP3 defaults", "surround", OutputCodec::Mp3, "", "mp3", 44100, 2);
    addRow("AAC defaults", "mono", OutputCodec::Aac, "", "aac", 44100, 2);
    addRow("Vorbis defaults", "film", OutputCodec::Ogg, "", "vorbis", 32000, 2);
    addRow("Opus defaults", "hires", OutputCodec::Opus, "", "opus", 48000, 2);
    addRow("WMA defaults", "mono", OutputCodec::Wma, "", "wmav2", 32000, 2);
    addRow("FLAC defaults", "surround", OutputCodec::Flac, "", "flac", 48000, 2, 16);
    addRow("ALAC defaults", "film", OutputCodec::Alac, "", "alac", 22050, 2, 16);
    addRow("WAV defaults", "surround", OutputCodec::Wav, "", "pcm_s16le", 48000, 6, 16);

    // Every method.
    addRow("MP3 quality", "mono", OutputCodec::Mp3, "Quality q=0", "mp3", 44100, 2);
    addRow("AAC quality 2.2", "hires", OutputCodec::Aac, "Quality q=22 nocover", "aac", 44100, 2);
    addRow("AAC CBR 320", "film", OutputCodec::Aac, "CBR b=320 ch=Mono sr=Original", "aac", 22050, 1);
    addRow("Vorbis quality", "surround", OutputCodec::Ogg, "Quality q=10 sr=48000", "vorbis", 48000, 2);
    addRow("Vorbis managed", "hires", OutputCodec::Ogg, "CBR managed b=128 sr=44100", "vorbis", 44100, 2);
    addRow("Opus VBR", "mono", OutputCodec::Opus, "vbr b=64 sr=16000", "opus", 16000, 2);
    addRow("Opus CBR mono", "surround", OutputCodec::Opus, "b=32 ch=Mono sr=8000", "opus", 8000, 1);
    addRow("WMA 320", "film", OutputCodec::Wma, "b=320 sr=Original ch=Original", "wmav2", 22050, 1);
    addRow("FLAC level 12", "hires", OutputCodec::Flac, "q=12 nocover", "flac", 96000, 2, 24);
    addRow("FLAC original channels", "surround", OutputCodec::Flac, "q=5 ch=Original", "flac", 48000, 6, 16);

    // Every bit depth of every lossless codec.
    addRow("FLAC 16 bit", "hires", OutputCodec::Flac, "bd=16 nocover", "flac", 96000, 2, 16);
    addRow("FLAC 24 bit", "mono", OutputCodec::Flac, "bd=24", "flac", 44100, 2, 24);
    addRow("ALAC 16 bit", "hires", OutputCodec::Alac, "bd=16 nocover", "alac", 96000, 2, 16);
    addRow("ALAC 24 bit", "surround", OutputCodec::Alac, "bd=24", "alac", 48000, 2, 24);
    addRow("WAV 16 bit", "hires", OutputCodec::Wav, "bd=16", "pcm_s16le", 96000, 2, 16);
    addRow("WAV 24 bit", "mono", OutputCodec::Wav, "bd=24 sr=48000", "pcm_s24le", 48000, 1, 24);

    // Cover copying on and off: ffmpeg carries the picture into MP3, FLAC and
    // ALAC; the others are left to the cover-art tool and must still convert.
    addRow("MP3 cover", "hires", OutputCodec::Mp3, "", "mp3", 44100, 2, 0, true);
    addRow("MP3 no cover", "hires", OutputCodec::Mp3, "nocover", "mp3", 44100, 2, 0, false);
    addRow("FLAC cover", "hires", OutputCodec::Flac, "", "flac", 96000, 2, 24, true);
    addRow("ALAC cover", "hires", OutputCodec::Alac, "", "alac", 96000, 2, 24, true);
    addRow("ALAC no cover", "hires", OutputCodec::Alac, "nocover", "alac", 96000, 2, 24, false);
    addRow("Opus cover", "hires", OutputCodec::Opus, "sr=48000", "opus", 48000, 2, 0, false);
    addRow("AAC cover", "hires", OutputCodec::Aac, "", "aac", 44100, 2, 0, false);
    addRow("Vorbis cover", "hires", OutputCodec::Ogg, "", "vorbis", 32000, 2, 0, false);
    addRow("WMA cover", "hires", OutputCodec::Wma, "", "wmav2", 32000, 2, 0, false);
    addRow("WAV cover", "hires", OutputCodec::Wav, "", "pcm_s16le", 96000, 2, 16, false);
    addRow("film video is no cover", "film", OutputCodec::Mp3, "", "mp3", 44100, 2, 0, false);

    // Every entry of every sample-rate list, from the 96 kHz source. "Original"
    // keeps 96 kHz where the encoder can; Vorbis, Opus and WMA are held at
    // 48 kHz by the generator, MP3 by the encoder's own choice.
    const QHash<QString, int> originalRate = {{"Mp3", 48000},  {"AAC", 96000}, {"Ogg Vorbis", 48000},
                                              {"Opus", 48000}, {"WMA", 48000}, {"FLAC", 96000},
                                              {"ALAC", 96000}, {"WAV", 96000}};
    const QStringList opusRates = {"48000", "24000", "16000", "12000", "8000"};
    const QHash<OutputCodec, QString> codecNames = {
        {OutputCodec::Mp3, "mp3"},   {OutputCodec::Aac, "aac"},      {OutputCodec::Ogg, "vorbis"},
        {OutputCodec::Opus, "opus"}, {OutputCodec::Wma, "wmav2"},    {OutputCodec::Flac, "flac"},
        {OutputCodec::Alac, "alac"}, {OutputCodec::Wav, "pcm_s16le"}};
    for (const CodecCapabilities& entry : std::as_const(m_table)) {
        const QString format = formatName(entry.codecId);
        for (const QString& rate : displayTexts(entry.supportedSampleRates)) {
            Expected expected;
            expected.codec = codecNames.value(entry.codecId);
            expected.sampleRate = rate.toInt();
            expected.channels = 2;
            if (rate == QLatin1String("Original"))
                expected.sampleRate = originalRate.value(format);
            else if (entry.codecId == OutputCodec::Opus && !opusRates.contains(rate))
                expected.sampleRate = 48000;
            expected.picture = entry.codecId == OutputCodec::Mp3 || entry.codecId == OutputCodec::Flac ||
                               entry.codecId == OutputCodec::Alac;
            // libvorbis has no setup for 112 kbit/s at these rates.
            if (entry.codecId == OutputCodec::Ogg &&
                (rate == QLatin1String("11025") || rate == QLatin1String("8000")))
                expected.failure = QStringLiteral("encoder setup failed");
            addRow(format + QStringLiteral(" at ") + rate, "hires", entry.codecId, "sr=" + rate, expected);
        }
    }
    addRow("Vorbis 8000 with a low bit rate", "hires", OutputCodec::Ogg, "b=32 sr=8000 nocover", "vorbis",
           8000, 2);
}

void TestGeneratorEndToEnd::convert() {
    QFETCH(QString, source);
    QFETCH(int, codec);
    QFETCH(QString, tweaks);
    QFETCH(Expected, expected);

    bool copyCover = true;
    const EncodingProfile profile = profileFor(OutputCodec(codec), tweaks, &copyCover);
    const Source& input = m_sources[source];
    const QString outputFolder = m_dir.filePath(QStringLiteral("out/%1").arg(QTest::currentDataTag()));

    JobGenerator generator;
    generator.setOutputFolder(outputFolder);
    generator.setOutputExt(outputExtension(OutputCodec(codec), 0));
    generator.setMediaFiles({input.file});
    generator.setProfile(profile);
    generator.setCopyCoverArt(copyCover);
    QVERIFY(generator.start());
    QVERIFY(generator.waitForFinished(60000));
    QCOMPARE(generator.jobs().size(), 1);
    const Job job = generator.jobs().first();
    QVERIFY(QDir().mkpath(QFileInfo(job.destinationFilePath).absolutePath()));

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-hide_banner"} + job.arguments);
    QVERIFY(ffmpeg.waitForFinished(120000));
    const QString output = QString::fromUtf8(ffmpeg.readAll());
    const QString context = job.commandLine + u'\n' + output;
    const bool succeeded = ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;

    if (!expected.failure.isEmpty()) {
        QVERIFY2(!succeeded, qPrintable(context));
        QVERIFY2(output.contains(expected.failure), qPrintable(context));
        return;
    }
    QVERIFY2(succeeded, qPrintable(context));
    // ffmpeg read the source named in the job, whatever its name holds.
    QVERIFY2(output.contains(QStringLiteral("from '") + input.path + u'\''), qPrintable(context));

    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::runFFprobe({QStringLiteral("-show_streams"), job.destinationFilePath}))
            .object();
    QJsonObject audio;
    bool picture = false;
    int audioStreams = 0;
    const QJsonArray streams = probe.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue& value : streams) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("audio")) {
            audio = stream;
            ++audioStreams;
        } else if (type == QLatin1String("video")) {
            picture = stream.value(QStringLiteral("disposition"))
                          .toObject()
                          .value(QStringLiteral("attached_pic"))
                          .toInt() == 1;
            QVERIFY2(picture, "a video stream that is not a cover picture");
        }
    }
    const QString facts = QString::fromUtf8(QJsonDocument(probe).toJson(QJsonDocument::Compact));
    QCOMPARE(audioStreams, 1);
    QCOMPARE(audio.value(QStringLiteral("codec_name")).toString(), expected.codec);
    const int sampleRate = expected.codec == QLatin1String("opus")
                               ? opusInputRate(job.destinationFilePath)
                               : audio.value(QStringLiteral("sample_rate")).toString().toInt();
    QCOMPARE(sampleRate, expected.sampleRate);
    QCOMPARE(audio.value(QStringLiteral("channels")).toInt(), expected.channels);
    if (expected.bitDepth) {
        // PCM reports its sample size; the lossless codecs report the bits they hold.
        const int depth = expected.codec.startsWith(QLatin1String("pcm_"))
                              ? audio.value(QStringLiteral("bits_per_sample")).toInt()
                              : audio.value(QStringLiteral("bits_per_raw_sample")).toString().toInt();
        QVERIFY2(depth == expected.bitDepth, qPrintable(facts));
    }
    QVERIFY2(picture == expected.picture, qPrintable(context + facts));
}

QTEST_GUILESS_MAIN(TestGeneratorEndToEnd)
#include "tst_generatorendtoend.moc"
