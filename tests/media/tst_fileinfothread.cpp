#include "media/FileInfoThread.h"

#include "media/FFDecoder.h"

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

QStringList Args(std::initializer_list<const char*> args) {
    QStringList list;
    for (const char* arg : args)
        list << QString::fromUtf8(arg);
    return list;
}

// Two tones of different lengths in one file, with the given container.
bool MakeTwoStreams(const QString& path, const QStringList& extraArgs) {
    return TestSupport::RunFFmpeg(Args({"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-f", "lavfi",
                                        "-i", "sine=frequency=660:duration=3", "-map", "0", "-map", "1"}) +
                                  extraArgs + QStringList{path});
}

QColor CentreColor(const QString& jpegPath) {
    const QImage image(jpegPath);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

qint64 ContainerBitRate(const QString& path) {
    const QJsonObject format =
        QJsonDocument::fromJson(TestSupport::RunFFprobe({QStringLiteral("-show_format"), path}))
            .object()
            .value(QStringLiteral("format"))
            .toObject();
    return format.value(QStringLiteral("bit_rate")).toString().toLongLong();
}

} // namespace

class TestFileInfoThread : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QTemporaryDir FCoverDir;
    TFFDecoder FDecoder;
    QString FMp3WithCover;

    // Probes a file to its end; the cover folder is emptied first so each test sees its own pictures.
    void Probe(TFileInfoThread& probe, const QString& path) {
        probe.Start(path);
        QVERIFY2(probe.WaitForFinished(60000), "the probe did not finish");
        QVERIFY(!probe.Running());
    }

    QStringList CoverFiles() const { return QDir(FCoverDir.path()).entryList(QDir::Files); }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY(FCoverDir.isValid());
        FMp3WithCover = FDir.filePath(QStringLiteral("cover.mp3"));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(FMp3WithCover, {QStringLiteral("red")}));
    }

    void cleanup() {
        for (const QString& name : CoverFiles())
            QFile::remove(QDir(FCoverDir.path()).filePath(name));
    }

    void mp3WithCover() {
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, FMp3WithCover);
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.AudioStreams().size(), 1);
        const TAudioStream audio = probe.AudioStreams().first();
        QCOMPARE(audio.StreamIndex, 0);
        QCOMPARE(audio.Codec, QStringLiteral("mp3"));
        QCOMPARE(audio.SamplingRate, 44100);
        QVERIFY(audio.Bitrate > 0);
        QCOMPARE(audio.Lang, QStringLiteral("UND"));
        QCOMPARE(audio.DurationAsStr, QStringLiteral("00:00:01"));
        QCOMPARE(audio.BitDepth, 0);

        QCOMPARE(probe.ArtkworkStreams().size(), 1);
        const TArtwork cover = probe.ArtkworkStreams().first();
        QCOMPARE(cover.StreamIndex, 1);
        QVERIFY(cover.IsEmbedded);
        QCOMPARE(cover.Codec, QStringLiteral("png(PNG (Portable Network Graphics) image)"));
        const QFileInfo file(cover.TempFilePath);
        QCOMPARE(file.absolutePath(), QDir(FCoverDir.path()).absolutePath());
        static const QRegularExpression guidName(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.jpg$"));
        QVERIFY2(guidName.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        QImageReader reader(cover.TempFilePath);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(48, 32));
        QCOMPARE(CoverFiles().size(), 1);

        // Taking the records leaves the probe empty, as a media file owns them afterwards.
        QCOMPARE(probe.TakeAudioStreams().size(), 1);
        QCOMPARE(probe.TakeArtkworkStreams().size(), 1);
        QVERIFY(probe.AudioStreams().isEmpty());
        QVERIFY(probe.ArtkworkStreams().isEmpty());
    }

    void flacTakesTheContainerBitRate() {
        const QString flac = FDir.filePath(QStringLiteral("tone.flac"));
        QVERIFY(TestSupport::MakeTone(flac, 2.0));
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(flac));
        QCOMPARE(decoder.GetAudioStreamInfos(-1).BitRate, 0);

        TFileInfoThread probe(QString(), nullptr, FCoverDir.path());
        Probe(probe, flac);
        QCOMPARE(probe.AudioStreams().size(), 1);
        QCOMPARE(probe.AudioStreams().first().Bitrate, ContainerBitRate(flac));
        QCOMPARE(probe.AudioStreams().first().Codec, QStringLiteral("flac"));
        QVERIFY(probe.ArtkworkStreams().isEmpty());
    }

    void durations_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<qint64>>("expected");
        // One audio stream of 1 s beside a film of 3 s: the container lasts 3 s.
        const QString single = FDir.filePath(QStringLiteral("single.mp4"));
        QVERIFY(
            TestSupport::RunFFmpeg(Args({"-f", "lavfi", "-i", "sine=duration=1", "-f", "lavfi", "-i",
                                         "testsrc=duration=3:size=32x32", "-c:v", "mpeg4", "-c:a", "aac"}) +
                                   QStringList{single}));
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(single));
        const qint64 container = decoder.FileStreamInfo().Duration / 1000;
        const qint64 own = decoder.GetAudioStreamInfos(-1).DurationScaled / 1000;
        QVERIFY2(own != container, "the fixture's stream should differ from its container");
        QTest::newRow("single stream takes the container's") << single << QList<qint64>{container};

        // Streams that know their own length keep it.
        const QString mp4 = FDir.filePath(QStringLiteral("two.m4a"));
        QVERIFY(MakeTwoStreams(mp4, Args({"-c:a", "aac"})));
        QVERIFY(decoder.LoadFile(mp4));
        QTest::newRow("two streams keep their own")
            << mp4
            << QList<qint64>{decoder.GetAudioStreamInfos(0).DurationScaled / 1000,
                             decoder.GetAudioStreamInfos(1).DurationScaled / 1000};

        // Matroska streams carry no length of their own: both take the container's.
        const QString mkv = FDir.filePath(QStringLiteral("two.mka"));
        QVERIFY(MakeTwoStreams(mkv, Args({"-c:a", "flac"})));
        QVERIFY(decoder.LoadFile(mkv));
        QCOMPARE(decoder.GetAudioStreamInfos(0).DurationScaled, -1);
        const qint64 mkvContainer = decoder.FileStreamInfo().Duration / 1000;
        QTest::newRow("streams without a length") << mkv << QList<qint64>{mkvContainer, mkvContainer};
    }

    void durations() {
        QFETCH(QString, path);
        QFETCH(QList<qint64>, expected);
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, path);
        QCOMPARE(probe.ErrorMsg(), QString());
        QList<qint64> durations;
        for (const TAudioStream& stream : probe.AudioStreams())
            durations << stream.Duration;
        QCOMPARE(durations, expected);
        if (expected.size() == 2 && expected[0] != expected[1]) {
            QVERIFY(qAbs(expected[0] - 1000) < 100);
            QVERIFY(qAbs(expected[1] - 3000) < 100);
            QCOMPARE(probe.AudioStreams()[1].DurationAsStr, QStringLiteral("00:00:03"));
        }
    }

    void languages() {
        const QString mkv = FDir.filePath(QStringLiteral("languages.mka"));
        QVERIFY(TestSupport::RunFFmpeg(Args({"-f",
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
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, mkv);
        QStringList languages;
        for (const TAudioStream& stream : probe.AudioStreams())
            languages << stream.Lang;
        QCOMPARE(languages, Args({"eng", "ger", "UND"}));
        QCOMPARE(probe.AudioStreams()[2].StreamIndex, 2);
        QCOMPARE(probe.AudioStreams()[2].Codec, QStringLiteral("vorbis"));
    }

    // The cover next to a film must show the cover, not a frame of the film.
    void coverBesideAFilm() {
        const QString mkv = FDir.filePath(QStringLiteral("film.mkv"));
        QVERIFY(MediaFixtures::MakeFilmWithCover(mkv, QStringLiteral("green"), QStringLiteral("red")));
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, mkv);
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.AudioStreams().size(), 1);
        QCOMPARE(probe.ArtkworkStreams().size(), 1);
        const TArtwork cover = probe.ArtkworkStreams().first();
        QCOMPARE(cover.StreamIndex, 2);
        QCOMPARE(QImage(cover.TempFilePath).size(), QSize(40, 30));
        const QColor color = CentreColor(cover.TempFilePath);
        QVERIFY2(color.red() > 200 && color.green() < 60, qPrintable(color.name()));
    }

    void twoDifferentCovers() {
        const QString mp3 = FDir.filePath(QStringLiteral("two covers.mp3"));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(mp3, {QStringLiteral("red"), QStringLiteral("blue")}));
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, mp3);
        QCOMPARE(probe.ArtkworkStreams().size(), 2);
        const TArtwork first = probe.ArtkworkStreams()[0];
        const TArtwork second = probe.ArtkworkStreams()[1];
        QCOMPARE(first.StreamIndex, 1);
        QCOMPARE(second.StreamIndex, 2);
        QCOMPARE(second.Codec, QStringLiteral("mjpeg(Motion JPEG)"));
        QVERIFY(first.TempFilePath != second.TempFilePath);
        QVERIFY(CentreColor(first.TempFilePath).red() > 200);
        QVERIFY(CentreColor(second.TempFilePath).blue() > 200);
        QVERIFY(CentreColor(second.TempFilePath).red() < 60);
    }

    void badInputs_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("errorStart");
        const QString folder = FDir.filePath(QStringLiteral("bad"));
        QDir().mkpath(folder);
        for (const MediaFixtures::TBadInput& input : MediaFixtures::MakeBadInputs(folder))
            QTest::newRow(qPrintable(input.Name)) << input.Path << input.ErrorStart;
    }

    // Each bad input fails with a message that names it, quickly, and leaves nothing behind.
    void badInputs() {
        QFETCH(QString, path);
        QFETCH(QString, errorStart);
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, path);
        QVERIFY(probe.AudioStreams().isEmpty());
        QVERIFY(probe.ArtkworkStreams().isEmpty());
        QVERIFY2(probe.ErrorMsg().startsWith(errorStart + path), qPrintable(probe.ErrorMsg()));
        if (errorStart.startsWith(QStringLiteral("Unable to open")))
            QVERIFY2(probe.ErrorMsg().startsWith(errorStart + path + QStringLiteral(". Error: ") + path +
                                                 QStringLiteral(": ")),
                     qPrintable(probe.ErrorMsg()));
        else
            QCOMPARE(probe.ErrorMsg(), errorStart + path + u'.');
        QVERIFY(!FDecoder.IsLoaded());
        QVERIFY(CoverFiles().isEmpty());
    }

    // A FLAC cut short after its header still has its stream; only the length shrinks.
    void truncatedFlacKeepsItsStream() {
        const QString flac = FDir.filePath(QStringLiteral("whole.flac"));
        QVERIFY(TestSupport::MakeTone(flac, 4.0));
        QFile whole(flac);
        QVERIFY(whole.open(QIODevice::ReadWrite));
        QVERIFY(whole.resize(whole.size() / 3));
        whole.close();
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, flac);
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.AudioStreams().size(), 1);
        QCOMPARE(probe.AudioStreams().first().SamplingRate, 44100);
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
        const QString path = FDir.filePath(name);
        QVERIFY(QFile::copy(FMp3WithCover, path));
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, path);
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.FileName(), path);
        QCOMPARE(probe.AudioStreams().size(), 1);
        QCOMPARE(probe.ArtkworkStreams().size(), 1);
    }

    void stopDiscardsTheRun() {
        const QString mp3 = FDir.filePath(QStringLiteral("stop.mp3"));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(mp3, {QStringLiteral("red"), QStringLiteral("blue")}));
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        int stopped = 0;
        for (int i = 0; i < 20; ++i) {
            probe.Start(mp3);
            probe.Stop();
            QVERIFY(probe.WaitForFinished(60000));
            if (probe.ErrorMsg() == QStringLiteral("Stopped by user.")) {
                ++stopped;
                QVERIFY(probe.AudioStreams().isEmpty());
                QVERIFY(probe.ArtkworkStreams().isEmpty());
            } else {
                QCOMPARE(probe.ErrorMsg(), QString());
                QCOMPARE(probe.ArtkworkStreams().size(), 2);
                for (const TArtwork& artwork : probe.ArtkworkStreams())
                    QFile::remove(artwork.TempFilePath);
            }
            QVERIFY(CoverFiles().isEmpty());
        }
        QVERIFY(stopped > 0);
        // The stop flag belongs to one run: the next Start probes again.
        Probe(probe, mp3);
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.AudioStreams().size(), 1);
    }

    // A second Start while the first run goes on waits for it; the results are the second file's.
    void startWhileRunning() {
        const QString flac = FDir.filePath(QStringLiteral("second.flac"));
        QVERIFY(TestSupport::MakeTone(flac, 1.0));
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        QSignalSpy finished(&probe, &TFileInfoThread::Finished);
        for (int i = 0; i < 10; ++i) {
            probe.Start(FMp3WithCover);
            probe.Start(flac);
            QVERIFY(probe.WaitForFinished(60000));
            QCOMPARE(probe.FileName(), flac);
            QCOMPARE(probe.ErrorMsg(), QString());
            QCOMPARE(probe.AudioStreams().size(), 1);
            QCOMPARE(probe.AudioStreams().first().Codec, QStringLiteral("flac"));
            QVERIFY(probe.ArtkworkStreams().isEmpty());
        }
        QTRY_COMPARE(finished.size(), 20);
    }

    void resetForgetsResults() {
        TFileInfoThread probe(QString(), &FDecoder, FCoverDir.path());
        Probe(probe, FDir.filePath(QStringLiteral("gone.mp3")));
        QVERIFY(!probe.ErrorMsg().isEmpty());
        probe.Reset();
        QCOMPARE(probe.ErrorMsg(), QString());
        QCOMPARE(probe.FileName(), QString());
    }
};

QTEST_GUILESS_MAIN(TestFileInfoThread)
#include "tst_fileinfothread.moc"
