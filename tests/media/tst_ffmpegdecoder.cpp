#include "media/FFmpegDecoder.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The colour of a plain picture, from its centre pixel.
QColor centreColor(const QImage& image) {
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool isMostlyRed(const QColor& color) {
    return color.red() > 200 && color.green() < 60 && color.blue() < 60;
}

bool isMostlyGreen(const QColor& color) {
    return color.green() > 90 && color.red() < 60 && color.blue() < 60;
}

} // namespace

class TestFFmpegDecoder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_mp3WithCover;
    QString m_film;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_mp3WithCover = m_dir.filePath(QStringLiteral("cover.mp3"));
        QVERIFY(MediaFixtures::makeMp3WithCovers(m_mp3WithCover, {QStringLiteral("red")}));
        m_film = m_dir.filePath(QStringLiteral("film.mkv"));
        QVERIFY(MediaFixtures::makeFilmWithCover(m_film, QStringLiteral("green"), QStringLiteral("red")));
    }

    void nothingOpen() {
        FFmpegDecoder decoder;
        QVERIFY(decoder.avLibLoaded());
        const FileStreamInfo info = decoder.fileStreamInfo();
        QCOMPARE(info.startTime, std::numeric_limits<qint64>::min());
        QCOMPARE(info.duration, -1);
        QCOMPARE(info.bitRate, -1);
        QCOMPARE(info.year, -1);
        QVERIFY(info.title.isEmpty());
        QCOMPARE(decoder.lastError(), QStringLiteral("file not loaded."));
        QCOMPARE(decoder.streamCount(), -1);
        QCOMPARE(decoder.firstAudioStreamIndex(), -1);
        QVERIFY(!decoder.isAudioStream(0));
        QVERIFY(!decoder.decode(-1));
        QCOMPARE(decoder.audioStreamInfo(-1).sampleRate, -1);
        decoder.closeFile();
    }

    void streamFacts() {
        FFmpegDecoder decoder;
        QVERIFY2(decoder.loadFile(m_mp3WithCover), qPrintable(decoder.lastError()));
        QCOMPARE(decoder.streamCount(), 2);
        QCOMPARE(decoder.audioStreamCount(), 1);
        QCOMPARE(decoder.videoStreamCount(), 1);
        QCOMPARE(decoder.subtitleStreamCount(), 0);
        QCOMPARE(decoder.firstAudioStreamIndex(), 0);
        QCOMPARE(decoder.firstVideoStreamIndex(), 1);
        QCOMPARE(decoder.firstSubtitleStreamIndex(), -1);
        QVERIFY(decoder.isAudioStream(0));
        QVERIFY(decoder.isVideoStream(1));
        QVERIFY(!decoder.isAudioStream(1));

        const AudioStreamInfo audio = decoder.audioStreamInfo(-1);
        QCOMPARE(audio.codecName, QStringLiteral("mp3(MP3 (MPEG audio layer 3))"));
        QCOMPARE(audio.channels, 2);
        QCOMPARE(audio.sampleRate, 44100);
        QVERIFY(audio.bitRate > 0);
        QVERIFY(audio.language.isEmpty());
        const FileStreamInfo file = decoder.fileStreamInfo();
        QVERIFY(qAbs(file.duration - 1'000'000) < 100'000);
        QVERIFY(file.bitRate > 0);

        const VideoStreamInfo picture = decoder.videoStreamInfo(-1);
        QCOMPARE(picture.codecName, QStringLiteral("png(PNG (Portable Network Graphics) image)"));
        QCOMPARE(picture.width, 48);
        QCOMPARE(picture.height, 32);

        // Asking for the wrong kind, or past the last stream, gives the failed-call record.
        const AudioStreamInfo pastEnd = decoder.audioStreamInfo(decoder.streamCount());
        QVERIFY(pastEnd.codecName.isEmpty());
        QCOMPARE(pastEnd.sampleRate, -1);
        QCOMPARE(pastEnd.durationScaled, -1);
        QVERIFY(!decoder.lastError().isEmpty());
        QCOMPARE(decoder.videoStreamInfo(0).width, -1);
        QCOMPARE(decoder.videoStreamInfo(0).sar.den, 1);
        QVERIFY(!decoder.isVideoStream(decoder.streamCount()));

        decoder.closeFile();
        QCOMPARE(decoder.streamCount(), -1);
        QCOMPARE(decoder.firstVideoStreamIndex(), -1);
    }

    void attachedPictureDecodesOnce() {
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(m_mp3WithCover));
        QImage bitmap(3, 3, QImage::Format_RGB32);
        bitmap.fill(Qt::white);
        QVERIFY(!decoder.copyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(3, 3));
        QCOMPARE(bitmap.pixelColor(1, 1), QColor(Qt::white));

        QVERIFY(decoder.decode(-1));
        QVERIFY(!decoder.decode(-1));
        QVERIFY(decoder.copyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(48, 32));
        QVERIFY(isMostlyRed(centreColor(bitmap)));

        // A new file starts without a picture.
        QVERIFY(decoder.loadFile(m_mp3WithCover));
        QVERIFY(!decoder.copyToBitmap(bitmap));
        QVERIFY(!decoder.decode(0));
    }

    void eachPictureFromItsOwnStream() {
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(m_film));
        QCOMPARE(decoder.videoStreamInfo(0).codecName, QStringLiteral("mpeg4(MPEG-4 part 2)"));
        const int coverStream = decoder.streamCount() - 1;
        QVERIFY(decoder.isVideoStream(coverStream));

        QImage bitmap;
        QVERIFY(decoder.decode(-1));
        QVERIFY(decoder.copyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(64, 48));
        QVERIFY(isMostlyGreen(centreColor(bitmap)));

        QVERIFY(decoder.decode(coverStream));
        QVERIFY(decoder.copyToBitmap(bitmap));
        QCOMPARE(bitmap.size(), QSize(40, 30));
        QVERIFY(isMostlyRed(centreColor(bitmap)));
        // -1 now means the cover stream, whose single picture has been handed out.
        QVERIFY(!decoder.decode(-1));
    }

    void filmDecodesToItsEnd() {
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(m_film));
        int pictures = 0;
        while (decoder.decode(0) && pictures < 1000)
            ++pictures;
        QCOMPARE(pictures, 25);
        QVERIFY(!decoder.decode(0));
    }

    void noContainerDuration() {
        const QString raw = m_dir.filePath(QStringLiteral("raw.h264"));
        QVERIFY(TestSupport::RunFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("testsrc=duration=1:size=64x48"),
                                        QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                        QStringLiteral("-f"), QStringLiteral("h264"), raw}));
        FFmpegDecoder decoder;
        QVERIFY(decoder.loadFile(raw));
        QCOMPARE(decoder.fileStreamInfo().duration, -1);
        QCOMPARE(decoder.videoStreamInfo(-1).durationScaled, -1);
    }

    void refusedFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("formatName");
        QTest::addColumn<QString>("message");
        const QString missing = m_dir.filePath(QStringLiteral("missing.mp3"));
        QTest::newRow("missing") << missing << QString()
                                 << missing + QStringLiteral(": No such file or directory");
        const QString folder = m_dir.filePath(QStringLiteral("folder.mp3"));
        QDir(m_dir.path()).mkpath(QStringLiteral("folder.mp3"));
        QTest::newRow("folder") << folder << QString() << folder + QStringLiteral(": Is a directory");
        const QString pipe = m_dir.filePath(QStringLiteral("pipe.mp3"));
        ::mkfifo(QFile::encodeName(pipe).constData(), 0600);
        QTest::newRow("named pipe") << pipe << QString() << pipe + QStringLiteral(": Not a regular file");
        QTest::newRow("unknown format") << m_mp3WithCover << QStringLiteral("nosuchformat")
                                        << QStringLiteral("Unknown input format: nosuchformat");
        const QString text = m_dir.filePath(QStringLiteral("text.mp3"));
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
        FFmpegDecoder decoder;
        QVERIFY(!decoder.loadFile(path, formatName));
        QCOMPARE(decoder.lastError(), message);
        QCOMPARE(decoder.streamCount(), -1);
        QVERIFY(!decoder.decode(-1));
    }
};

QTEST_GUILESS_MAIN(TestFFmpegDecoder)
#include "tst_ffmpegdecoder.moc"
