#include "media/FFDecoder.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The colour of a plain picture, from its centre pixel.
QColor CentreColor(const QImage& image) {
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool IsMostlyRed(const QColor& color) {
    return color.red() > 200 && color.green() < 60 && color.blue() < 60;
}

bool IsMostlyGreen(const QColor& color) {
    return color.green() > 90 && color.red() < 60 && color.blue() < 60;
}

} // namespace

class TestFFDecoder : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FMp3WithCover;
    QString FFilm;

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FMp3WithCover = FDir.filePath(QStringLiteral("cover.mp3"));
        QVERIFY(MediaFixtures::MakeMp3WithCovers(FMp3WithCover, {QStringLiteral("red")}));
        FFilm = FDir.filePath(QStringLiteral("film.mkv"));
        QVERIFY(MediaFixtures::MakeFilmWithCover(FFilm, QStringLiteral("green"), QStringLiteral("red")));
    }

    void nothingOpen() {
        TFFDecoder decoder;
        QVERIFY(decoder.AVLibLoaded());
        QVERIFY(decoder.LoadAVLib(QStringLiteral("/nowhere")));
        const TFileStreamInfo info = decoder.FileStreamInfo();
        QCOMPARE(info.StartTime, std::numeric_limits<qint64>::min());
        QCOMPARE(info.Duration, -1);
        QCOMPARE(info.BitRate, -1);
        QCOMPARE(info.Year, -1);
        QVERIFY(info.Title.isEmpty());
        QCOMPARE(decoder.LastErrMsg(), QStringLiteral("file not loaded."));
        QCOMPARE(decoder.StreamCount(), -1);
        QCOMPARE(decoder.FirstAudioStreamIndex(), -1);
        QVERIFY(!decoder.IsAudioStream(0));
        QVERIFY(!decoder.Decode(-1));
        QCOMPARE(decoder.GetAudioStreamInfos(-1).SampleRate, -1);
        decoder.CloseFile();
    }

    void streamFacts() {
        TFFDecoder decoder;
        QVERIFY2(decoder.LoadFile(FMp3WithCover), qPrintable(decoder.LastErrMsg()));
        QCOMPARE(decoder.StreamCount(), 2);
        QCOMPARE(decoder.AudioStreamCount(), 1);
        QCOMPARE(decoder.VideoStreamCount(), 1);
        QCOMPARE(decoder.SubtitleStreamCount(), 0);
        QCOMPARE(decoder.FirstAudioStreamIndex(), 0);
        QCOMPARE(decoder.FirstVideoStreamIndex(), 1);
        QCOMPARE(decoder.FirstSubtitleStreamIndex(), -1);
        QVERIFY(decoder.IsAudioStream(0));
        QVERIFY(decoder.IsVideoStream(1));
        QVERIFY(!decoder.IsAudioStream(1));

        const TAudioStreamInfo audio = decoder.GetAudioStreamInfos(-1);
        QCOMPARE(audio.CodecName, QStringLiteral("mp3(MP3 (MPEG audio layer 3))"));
        QCOMPARE(audio.Channels, 2);
        QCOMPARE(audio.SampleRate, 44100);
        QVERIFY(audio.BitRate > 0);
        QVERIFY(audio.Language.isEmpty());
        const TFileStreamInfo file = decoder.FileStreamInfo();
        QVERIFY(qAbs(file.Duration - 1'000'000) < 100'000);
        QVERIFY(file.BitRate > 0);

        const TVideoStreamInfo picture = decoder.GetVideoStreamInfos(-1);
        QCOMPARE(picture.CodecName, QStringLiteral("png(PNG (Portable Network Graphics) image)"));
        QCOMPARE(picture.Width, 48);
        QCOMPARE(picture.Height, 32);

        // Asking for the wrong kind, or past the last stream, gives the failed-call record.
        const TAudioStreamInfo pastEnd = decoder.GetAudioStreamInfos(decoder.StreamCount());
        QVERIFY(pastEnd.CodecName.isEmpty());
        QCOMPARE(pastEnd.SampleRate, -1);
        QCOMPARE(pastEnd.DurationScaled, -1);
        QVERIFY(!decoder.LastErrMsg().isEmpty());
        QCOMPARE(decoder.GetVideoStreamInfos(0).Width, -1);
        QCOMPARE(decoder.GetVideoStreamInfos(0).SAR.Den, 1);
        QVERIFY(!decoder.IsVideoStream(decoder.StreamCount()));

        decoder.CloseFile();
        QCOMPARE(decoder.StreamCount(), -1);
        QCOMPARE(decoder.FirstVideoStreamIndex(), -1);
    }

    void attachedPictureDecodesOnce() {
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(FMp3WithCover));
        QImage bitmap(3, 3, QImage::Format_RGB32);
        bitmap.fill(Qt::white);
        QVERIFY(!decoder.CopyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(3, 3));
        QCOMPARE(bitmap.pixelColor(1, 1), QColor(Qt::white));

        QVERIFY(decoder.Decode(-1));
        QVERIFY(!decoder.Decode(-1));
        QVERIFY(decoder.CopyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(48, 32));
        QVERIFY(IsMostlyRed(CentreColor(bitmap)));

        // A new file starts without a picture.
        QVERIFY(decoder.LoadFile(FMp3WithCover));
        QVERIFY(!decoder.CopyToBitmap(bitmap));
        QVERIFY(!decoder.Decode(0));
    }

    void eachPictureFromItsOwnStream() {
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(FFilm));
        QCOMPARE(decoder.GetVideoStreamInfos(0).CodecName, QStringLiteral("mpeg4(MPEG-4 part 2)"));
        const int coverStream = decoder.StreamCount() - 1;
        QVERIFY(decoder.IsVideoStream(coverStream));

        QImage bitmap;
        QVERIFY(decoder.Decode(-1));
        QVERIFY(decoder.CopyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(64, 48));
        QVERIFY(IsMostlyGreen(CentreColor(bitmap)));

        QVERIFY(decoder.Decode(coverStream));
        QVERIFY(decoder.CopyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(40, 30));
        QVERIFY(IsMostlyRed(CentreColor(bitmap)));
        // -1 now means the cover stream, whose single picture has been handed out.
        QVERIFY(!decoder.Decode(-1));
    }

    void filmDecodesToItsEnd() {
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(FFilm));
        int pictures = 0;
        while (decoder.Decode(0) && pictures < 1000)
            ++pictures;
        QCOMPARE(pictures, 25);
        QVERIFY(!decoder.Decode(0));
    }

    void noContainerDuration() {
        const QString raw = FDir.filePath(QStringLiteral("raw.h264"));
        QVERIFY(TestSupport::RunFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("testsrc=duration=1:size=64x48"),
                                        QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                        QStringLiteral("-f"), QStringLiteral("h264"), raw}));
        TFFDecoder decoder;
        QVERIFY(decoder.LoadFile(raw));
        QCOMPARE(decoder.FileStreamInfo().Duration, -1);
        QCOMPARE(decoder.GetVideoStreamInfos(-1).DurationScaled, -1);
    }

    void refusedFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("formatName");
        QTest::addColumn<QString>("message");
        const QString missing = FDir.filePath(QStringLiteral("missing.mp3"));
        QTest::newRow("missing") << missing << QString()
                                 << missing + QStringLiteral(": No such file or directory");
        const QString folder = FDir.filePath(QStringLiteral("folder.mp3"));
        QDir(FDir.path()).mkpath(QStringLiteral("folder.mp3"));
        QTest::newRow("folder") << folder << QString() << folder + QStringLiteral(": Is a directory");
        const QString pipe = FDir.filePath(QStringLiteral("pipe.mp3"));
        ::mkfifo(QFile::encodeName(pipe).constData(), 0600);
        QTest::newRow("named pipe") << pipe << QString() << pipe + QStringLiteral(": Not a regular file");
        QTest::newRow("unknown format") << FMp3WithCover << QStringLiteral("nosuchformat")
                                        << QStringLiteral("Unknown input format: nosuchformat");
        const QString text = FDir.filePath(QStringLiteral("text.mp3"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("plain words, no sound\n").repeated(100));
        file.close();
        QTest::newRow("text") << text << QString()
                              << text + QStringLiteral(": Invalid data found when processing input");
    }

    void refusedFiles() {
        QFETCH(QString, path);
        QFETCH(QString, formatName);
        QFETCH(QString, message);
        TFFDecoder decoder;
        QVERIFY(!decoder.LoadFile(path, formatName));
        QCOMPARE(decoder.LastErrMsg(), message);
        QCOMPARE(decoder.StreamCount(), -1);
        QVERIFY(!decoder.Decode(-1));
    }
};

QTEST_GUILESS_MAIN(TestFFDecoder)
#include "tst_ffdecoder.moc"
