#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct TToolResult {
    int ExitCode = -1;
    QString ErrorOutput;
};

TToolResult RunCoverstamp(const QStringList& arguments) {
    QProcess process;
    process.start(QDir(TestSupport::ProgramDir()).filePath(QStringLiteral("coverstamp")), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

// The decoded audio, codec and duration: what must not change when a picture is written.
QString AudioFingerprint(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostdin", "-loglevel", "error", "-i", path,
                                            "-map", "0:a", "-f", "md5", "-"});
    ffmpeg.waitForFinished(60000);
    const QJsonObject probe =
        QJsonDocument::fromJson(TestSupport::RunFFprobe({"-select_streams", "a:0", "-show_entries",
                                                         "stream=codec_name,duration:format=duration", path}))
            .object();
    const QJsonObject stream = probe["streams"].toArray().at(0).toObject();
    return QString::fromUtf8(ffmpeg.readAllStandardOutput()).trimmed() + u' ' +
           stream["codec_name"].toString() + u' ' + stream["duration"].toString() + u' ' +
           probe["format"].toObject()["duration"].toString();
}

struct TPictures {
    int Count = 0;
    QString Codec; // of the last one
};

TPictures AttachedPictures(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::RunFFprobe(
                {"-show_entries", "stream=codec_name:stream_disposition=attached_pic", path}))
            .object();
    TPictures pictures;
    for (const QJsonValue& stream : probe["streams"].toArray()) {
        if (stream["disposition"]["attached_pic"].toInt() == 1) {
            ++pictures.Count;
            pictures.Codec = stream["codec_name"].toString();
        }
    }
    return pictures;
}

// The title wherever the container keeps it (format or stream tags, any case).
QString Title(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(TestSupport::RunFFprobe({"-show_entries", "format_tags:stream_tags", path}))
            .object();
    QList<QJsonObject> tagSets{probe["format"]["tags"].toObject()};
    for (const QJsonValue& stream : probe["streams"].toArray())
        tagSets << stream["tags"].toObject();
    for (const QJsonObject& tags : tagSets) {
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            if (it.key().compare(QStringLiteral("title"), Qt::CaseInsensitive) == 0)
                return it.value().toString();
        }
    }
    return {};
}

QByteArray FileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestCoverstamp : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString FJpeg;
    QString FPng;

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FJpeg = FDir.filePath(QStringLiteral("cover.jpg"));
        FPng = FDir.filePath(QStringLiteral("cover.png"));
        QVERIFY(TestSupport::MakePicture(FJpeg, 64, 64, QStringLiteral("red")));
        QVERIFY(TestSupport::MakePicture(FPng, 48, 48, QStringLiteral("blue")));
    }

    // Each output format: the picture goes in as the one front cover, a second
    // run replaces it, the title stays and the audio does not change.
    void writesOneFrontCover_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("codecArgs");
        QTest::addColumn<bool>("carriedCover"); // ffmpeg already put the source's picture in
        QTest::newRow("mp3") << "a.mp3" << QStringList{"-c:a", "libmp3lame"} << false;
        QTest::newRow("mp3 with carried cover") << "b.mp3" << QStringList{"-c:a", "libmp3lame"} << true;
        QTest::newRow("aac m4a") << "a.m4a" << QStringList{"-c:a", "aac"} << false;
        QTest::newRow("aac m4b") << "a.m4b" << QStringList{"-c:a", "aac"} << true;
        QTest::newRow("alac") << "alac.m4a" << QStringList{"-c:a", "alac"} << false;
        QTest::newRow("ogg vorbis") << "a.ogg" << QStringList{"-c:a", "libvorbis"} << false;
        QTest::newRow("opus") << "a.opus" << QStringList{"-c:a", "libopus"} << false;
        QTest::newRow("wma") << "a.wma" << QStringList{"-c:a", "wmav2"} << false;
        QTest::newRow("flac") << "a.flac" << QStringList{"-c:a", "flac"} << true;
        QTest::newRow("wav") << "a.wav" << QStringList{"-c:a", "pcm_s16le"} << false;
    }
    void writesOneFrontCover() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, codecArgs);
        QFETCH(bool, carriedCover);
        const QString path = FDir.filePath(fileName);
        QStringList args{"-f", "lavfi", "-i", "sine=frequency=440:duration=2"};
        if (carriedCover)
            args << "-i" << FJpeg << "-map"
                 << "0"
                 << "-map"
                 << "1"
                 << "-c:v"
                 << "copy"
                 << "-disposition:v"
                 << "attached_pic";
        args << codecArgs << "-metadata"
             << "title=Keep me" << path;
        QVERIFY(TestSupport::RunFFmpeg(args));
        QCOMPARE(AttachedPictures(path).Count, carriedCover ? 1 : 0);
        const QString audioBefore = AudioFingerprint(path);

        TToolResult result = RunCoverstamp({path, FJpeg});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.ErrorOutput));
        QCOMPARE(AttachedPictures(path).Count, 1);
        QCOMPARE(AttachedPictures(path).Codec, QStringLiteral("mjpeg"));

        result = RunCoverstamp({path, FPng});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.ErrorOutput));
        const TPictures pictures = AttachedPictures(path);
        QCOMPARE(pictures.Count, 1);
        QCOMPARE(pictures.Codec, QStringLiteral("png"));
        QCOMPARE(Title(path), QStringLiteral("Keep me"));
        QCOMPARE(AudioFingerprint(path), audioBefore);
        QVERIFY(result.ErrorOutput.isEmpty());
        // No work copy is left beside the file.
        QCOMPARE(QDir(FDir.path()).entryList({".coverstamp*"}, QDir::Hidden | QDir::Files), QStringList());
    }

    // Every failure: its own exit code, one line saying why, and the file as it was.
    void failures_data() {
        QTest::addColumn<QString>("fileName"); // "" for no arguments at all
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("wrong arguments") << ""
                                         << "" << 2;
        QTest::newRow("missing file") << "missing.mp3"
                                      << "cover.jpg" << 3;
        QTest::newRow("not audio") << "junk.mp3"
                                   << "cover.jpg" << 3;
        QTest::newRow("missing picture") << "ok.flac"
                                         << "missing.jpg" << 4;
        QTest::newRow("picture that is no picture") << "ok.flac"
                                                    << "notes.jpg" << 5;
        QTest::newRow("raw aac cannot hold a picture") << "raw.aac"
                                                       << "cover.jpg" << 6;
    }
    void failures() {
        QFETCH(QString, fileName);
        QFETCH(QString, picture);
        QFETCH(int, exitCode);
        const QString path = FDir.filePath(fileName);
        if (fileName == QStringLiteral("junk.mp3") || picture == QStringLiteral("notes.jpg")) {
            QFile junk(FDir.filePath(fileName == QStringLiteral("junk.mp3") ? fileName : picture));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("this is not a picture nor a sound\n");
        }
        if (fileName == QStringLiteral("ok.flac") || fileName == QStringLiteral("raw.aac"))
            QVERIFY(TestSupport::MakeTone(path, 1));
        const QByteArray before = FileHash(path);

        const TToolResult result =
            fileName.isEmpty() ? RunCoverstamp({}) : RunCoverstamp({path, FDir.filePath(picture)});
        QCOMPARE(result.ExitCode, exitCode);
        QCOMPARE(result.ErrorOutput.count(u'\n'), 1);
        QVERIFY(result.ErrorOutput.startsWith(QStringLiteral("coverstamp: ")));
        QCOMPARE(FileHash(path), before);
        if (fileName == QStringLiteral("raw.aac"))
            QCOMPARE(AttachedPictures(path).Count, 0);
    }
};

QTEST_GUILESS_MAIN(TestCoverstamp)
#include "tst_coverstamp.moc"
