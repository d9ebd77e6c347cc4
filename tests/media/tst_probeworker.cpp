#include "media/ProbeWorker.h"

#include "media/FFmpegDecoder.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Two tones of different lengths in one file, with the given container.
bool makeTwoStreams(const QString& path, const QStringList& extraArgs) {
    return TestSupport::RunFFmpeg(
        QStringList({"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-f", "lavfi", "-i",
                     "sine=frequency=660:duration=3", "-map", "0", "-map", "1"}) +
        extraArgs + QStringList{path});
}

QColor centreColor(const QString& jpegPath) {
    const QImage image(jpegPath);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

qint64 containerBitRate(const QString& path) {
    const QJsonObject format =
        QJsonDocument::fromJson(TestSupport::runFFprobe({QStringLiteral("-show_format"), path}))
            .object()
            .value(QStringLiteral("format"))
            .toObject();
    return format.value(QStringLiteral("bit_rate")).toString().toLongLong();
}

} // namespace

class TestProbeWorker : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_coverDir;
    FFmpegDecoder m_decoder;
    QString m_mp3WithCover;

    // Probes a file to its end; the cover folder is emptied first so each test sees its own pictures.
    void runProbe(ProbeWorker& probe, const QString& path) {
        probe.start(path);
        QVERIFY2(probe.waitForFinished(60000), "the probe did not finish");
        QVERIFY(!probe.running());
    }

    QStringList coverFiles() const { return QDir(m_coverDir.path()).entryList(QDir::Files); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_coverDir.isValid());
        m_mp3WithCover = m_dir.filePath(QStringLiteral("cover.mp3"));
        QVERIFY(MediaFixtures::makeMp3WithCovers(m_mp3WithCover, {QStringLiteral("red")}));
    }

    void cleanup() {
        for (const QString& name : coverFiles())
            QFile::remove(QDir(m_coverDir.path()).filePath(name));
    }

    void mp3WithCover() {
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, m_mp3WithCover);
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.audioStreams().size(), 1);
        const AudioStream audio = probe.audioStreams().first();
        QCOMPARE(audio.streamIndex, 0);
        QCOMPARE(audio.codec, QStringLiteral("mp3"));
        QCOMPARE(audio.samplingRate, 44100);
        QVERIFY(audio.bitrate > 0);
        QCOMPARE(audio.lang, QStringLiteral("UND"));
        QCOMPARE(audio.durationText, QStringLiteral("00:00:01"));
        QCOMPARE(audio.bitDepth, 0);

        QCOMPARE(probe.coverArtStreams().size(), 1);
        const CoverArt cover = probe.coverArtStreams().first();
        QCOMPARE(cover.streamIndex, 1);
        QVERIFY(cover.isEmbeded);
        QCOMPARE(cover.codec, QStringLiteral("png(PNG (Portable Network Graphics) image)"));
        const QFileInfo file(cover.tempFilePath);
        QCOMPARE(file.absolutePath(), QDir(m_coverDir.path()).absolutePath());
        static const QRegularExpression guidName(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.jpg$"));
        QVERIFY2(guidName.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        QImageReader reader(cover.tempFilePath);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(48, 32));
        QCOMPARE(coverFiles().size(), 1);

        // Taking the records leaves the probe empty, as a media file owns them afterwards.
        QCOMPARE(probe.takeAudioStreams().size(), 1);
        QCOMPARE(probe.takeCoverArtStreams().size(), 1);
        QVERIFY(probe.audioStreams().isEmpty());
        QVERIFY(probe.coverArtStreams().isEmpty());
    }

    void flacTakesTheContainerBitRate() {
        const QString flac = m_dir.filePath(QStringLiteral("tone.flac"));
        QVERIFY(TestSupport::makeTone(flac, 2.0));
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(flac));
        QCOMPARE(decoder.audioStreamInfo(-1).bitRate, 0);

        ProbeWorker probe(nullptr, m_coverDir.path());
        runProbe(probe, flac);
        QCOMPARE(probe.audioStreams().size(), 1);
        QCOMPARE(probe.audioStreams().first().bitrate, containerBitRate(flac));
        QCOMPARE(probe.audioStreams().first().codec, QStringLiteral("flac"));
        QVERIFY(probe.coverArtStreams().isEmpty());
    }

    void durations_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<qint64>>("expected");
        // One audio stream of 1 s beside a film of 3 s: the container lasts 3 s.
        const QString single = m_dir.filePath(QStringLiteral("single.mp4"));
        QVERIFY(TestSupport::RunFFmpeg(
            QStringList({"-f", "lavfi", "-i", "sine=duration=1", "-f", "lavfi", "-i",
                         "testsrc=duration=3:size=32x32", "-c:v", "mpeg4", "-c:a", "aac"}) +
            QStringList{single}));
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(single));
        const qint64 container = decoder.fileStreamInfo().duration / 1000;
        const qint64 own = decoder.audioStreamInfo(-1).durationScaled / 1000;
        QVERIFY2(own != container, "the fixture's stream should differ from its container");
        QTest::newRow("single stream takes the container's") << single << QList<qint64>{container};

        // Streams that know their own length keep it.
        const QString mp4 = m_dir.filePath(QStringLiteral("two.m4a"));
        QVERIFY(makeTwoStreams(mp4, QStringList({"-c:a", "aac"})));
        QVERIFY(decoder.loadFile(mp4));
        QTest::newRow("two streams keep their own")
            << mp4
            << QList<qint64>{decoder.audioStreamInfo(0).durationScaled / 1000,
                             decoder.audioStreamInfo(1).durationScaled / 1000};

        // Matroska streams carry no length of their own: both take the container's.
        const QString mkv = m_dir.filePath(QStringLiteral("two.mka"));
        QVERIFY(makeTwoStreams(mkv, QStringList({"-c:a", "flac"})));
        QVERIFY(decoder.loadFile(mkv));
        QCOMPARE(decoder.audioStreamInfo(0).durationScaled, -1);
        const qint64 mkvContainer = decoder.fileStreamInfo().duration / 1000;
        QTest::newRow("streams without a length") << mkv << QList<qint64>{mkvContainer, mkvContainer};
    }

    void durations() {
        QFETCH(QString, path);
        QFETCH(QList<qint64>, expected);
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, path);
        QCOMPARE(probe.errorText(), QString());
        QList<qint64> durations;
        for (const AudioStream& stream : probe.audioStreams())
            durations << stream.duration;
        QCOMPARE(durations, expected);
        if (expected.size() == 2 && expected[0] != expected[1]) {
            QVERIFY(qAbs(expected[0] - 1000) < 100);
            QVERIFY(qAbs(expected[1] - 3000) < 100);
            QCOMPARE(probe.audioStreams()[1].durationText, QStringLiteral("00:00:03"));
        }
    }

    void languages() {
        const QString mkv = m_dir.filePath(QStringLiteral("languages.mka"));
        QVERIFY(TestSupport::RunFFmpeg(QStringList({"-f",
                                                    "lavfi",
                                                    "-i",
                                                    "sine=duration=1",
                                                    "-f",
                                                    "lavfi",
                                                    "-i",
                                                    "sine=duration=1",
                                                    "-f",
                                                    "lavfi",
                                                    "-i",
                                                    "sine=duration=1",
                                                    "-map",
                                                    "0",
                                                    "-map",
                                                    "1",
                                                    "-map",
                                                    "2",
                                                    "-c:a",
                                                    "libvorbis",
                                                    "-metadata:s:a:0",
                                                    "language=eng",
                                                    "-metadata:s:a:1",
                                                    "language=ger"}) +
                                       QStringList{mkv}));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, mkv);
        QStringList languages;
        for (const AudioStream& stream : probe.audioStreams())
            languages << stream.lang;
        QCOMPARE(languages, QStringList({"eng", "ger", "UND"}));
        QCOMPARE(probe.audioStreams()[2].streamIndex, 2);
        QCOMPARE(probe.audioStreams()[2].codec, QStringLiteral("vorbis"));
    }

    // The cover next to a film must show the cover, not a frame of the film.
    void coverBesideAFilm() {
        const QString mkv = m_dir.filePath(QStringLiteral("film.mkv"));
        QVERIFY(MediaFixtures::makeFilmWithCover(mkv, QStringLiteral("green"), QStringLiteral("red")));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, mkv);
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.audioStreams().size(), 1);
        QCOMPARE(probe.coverArtStreams().size(), 1);
        const CoverArt cover = probe.coverArtStreams().first();
        QCOMPARE(cover.streamIndex, 2);
        QCOMPARE(QImage(cover.tempFilePath).size(), QSize(40, 30));
        const QColor color = centreColor(cover.tempFilePath);
        QVERIFY2(color.red() > 200 && color.green() < 60, qPrintable(color.name()));
    }

    void twoDifferentCovers() {
        const QString mp3 = m_dir.filePath(QStringLiteral("two covers.mp3"));
        QVERIFY(MediaFixtures::makeMp3WithCovers(mp3, {QStringLiteral("red"), QStringLiteral("blue")}));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, mp3);
        QCOMPARE(probe.coverArtStreams().size(), 2);
        const CoverArt first = probe.coverArtStreams()[0];
        const CoverArt second = probe.coverArtStreams()[1];
        QCOMPARE(first.streamIndex, 1);
        QCOMPARE(second.streamIndex, 2);
        QCOMPARE(second.codec, QStringLiteral("mjpeg(Motion JPEG)"));
        QVERIFY(first.tempFilePath != second.tempFilePath);
        QVERIFY(centreColor(first.tempFilePath).red() > 200);
        QVERIFY(centreColor(second.tempFilePath).blue() > 200);
        QVERIFY(centreColor(second.tempFilePath).red() < 60);
    }

    void badInputs_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("errorStart");
        const QString folder = m_dir.filePath(QStringLiteral("bad"));
        QDir().mkpath(folder);
        for (const MediaFixtures::BadInput& input : MediaFixtures::makeBadInputs(folder))
            QTest::newRow(qPrintable(input.name)) << input.path << input.errorStart;
    }

    // Each bad input fails with a message that names it, quickly, and leaves nothing behind.
    void badInputs() {
        QFETCH(QString, path);
        QFETCH(QString, errorStart);
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, path);
        QVERIFY(probe.audioStreams().isEmpty());
        QVERIFY(probe.coverArtStreams().isEmpty());
        QVERIFY2(probe.errorText().startsWith(errorStart + path), qPrintable(probe.errorText()));
        if (errorStart.startsWith(QStringLiteral("Unable to open")))
            QVERIFY2(probe.errorText().startsWith(errorStart + path + QStringLiteral(". Error: ") + path +
                                                  QStringLiteral(": ")),
                     qPrintable(probe.errorText()));
        else
            QCOMPARE(probe.errorText(), errorStart + path + u'.');
        QVERIFY(!m_decoder.isLoaded());
        QVERIFY(coverFiles().isEmpty());
    }

    // A FLAC cut short after its header still has its stream; only the length shrinks.
    void truncatedFlacKeepsItsStream() {
        const QString flac = m_dir.filePath(QStringLiteral("whole.flac"));
        QVERIFY(TestSupport::makeTone(flac, 4.0));
        QFile whole(flac);
        QVERIFY(whole.open(QIODevice::ReadWrite));
        QVERIFY(whole.resize(whole.size() / 3));
        whole.close();
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, flac);
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.audioStreams().size(), 1);
        QCOMPARE(probe.audioStreams().first().samplingRate, 44100);
    }

    void oddNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("blanks") << QStringLiteral("  two  blanks .mp3");
        QTest::newRow("quotes") << QStringLiteral("say \"hi\" it's.mp3");
        QTest::newRow("newline") << QStringLiteral("line\nbreak.mp3");
        QTest::newRow("non-Latin") << QStringLiteral("Ψαλμός Песня 歌.mp3");
        QTest::newRow("placeholders") << QStringLiteral("%1 %2 %%.mp3");
        QTest::newRow("protocol-like") << QStringLiteral("concat:a.mp3|b.mp3");
        QTest::newRow("leading dash") << QStringLiteral("-i.mp3");
    }

    void oddNames() {
        QFETCH(QString, name);
        const QString path = m_dir.filePath(name);
        QVERIFY(QFile::copy(m_mp3WithCover, path));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, path);
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.fileName(), path);
        QCOMPARE(probe.audioStreams().size(), 1);
        QCOMPARE(probe.coverArtStreams().size(), 1);
    }

    void stopDiscardsTheRun() {
        const QString mp3 = m_dir.filePath(QStringLiteral("stop.mp3"));
        QVERIFY(MediaFixtures::makeMp3WithCovers(mp3, {QStringLiteral("red"), QStringLiteral("blue")}));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        int stopped = 0;
        for (int i = 0; i < 20; ++i) {
            probe.start(mp3);
            probe.stop();
            QVERIFY(probe.waitForFinished(60000));
            if (probe.errorText() == QStringLiteral("Stopped by user.")) {
                ++stopped;
                QVERIFY(probe.audioStreams().isEmpty());
                QVERIFY(probe.coverArtStreams().isEmpty());
            } else {
                QCOMPARE(probe.errorText(), QString());
                QCOMPARE(probe.coverArtStreams().size(), 2);
                for (const CoverArt& artwork : probe.coverArtStreams())
                    QFile::remove(artwork.tempFilePath);
            }
            QVERIFY(coverFiles().isEmpty());
        }
        QVERIFY(stopped > 0);
        // The stop flag belongs to one run: the next Start probes again.
        runProbe(probe, mp3);
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.audioStreams().size(), 1);
    }

    // A second Start while the first run goes on waits for it; the results are the second file's.
    void startWhileRunning() {
        const QString flac = m_dir.filePath(QStringLiteral("second.flac"));
        QVERIFY(TestSupport::makeTone(flac, 1.0));
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        QSignalSpy finished(&probe, &ProbeWorker::finished);
        for (int i = 0; i < 10; ++i) {
            probe.start(m_mp3WithCover);
            probe.start(flac);
            QVERIFY(probe.waitForFinished(60000));
            QCOMPARE(probe.fileName(), flac);
            QCOMPARE(probe.errorText(), QString());
            QCOMPARE(probe.audioStreams().size(), 1);
            QCOMPARE(probe.audioStreams().first().codec, QStringLiteral("flac"));
            QVERIFY(probe.coverArtStreams().isEmpty());
        }
        QTRY_COMPARE(finished.size(), 20);
    }

    void resetForgetsResults() {
        ProbeWorker probe(&m_decoder, m_coverDir.path());
        runProbe(probe, m_dir.filePath(QStringLiteral("gone.mp3")));
        QVERIFY(!probe.errorText().isEmpty());
        probe.reset();
        QCOMPARE(probe.errorText(), QString());
        QCOMPARE(probe.fileName(), QString());
    }
};

QTEST_GUILESS_MAIN(TestProbeWorker)
#include "tst_probeworker.moc"
