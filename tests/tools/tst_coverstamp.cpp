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

struct ToolResult {
    int ExitCode = -1;
    QString errorOutput;
};

ToolResult runCoverstamp(const QStringList& arguments) {
    QProcess process;
    process.start(QDir(TestSupport::programDir()).filePath(QStringLiteral("coverstamp")), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

// The decoded audio, codec and duration: what must not change when a picture is written.
QString audioFingerprint(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostdin", "-loglevel", "error", "-i", path,
                                            "-map", "0:a", "-f", "md5", "-"});
    ffmpeg.waitForFinished(60000);
    const QJsonObject probe =
        QJsonDocument::fromJson(TestSupport::runFFprobe({"-select_streams", "a:0", "-show_entries",
                                                         "stream=codec_name,duration:format=duration", path}))
            .object();
    const QJsonObject stream = probe["streams"].toArray().at(0).toObject();
    return QString::fromUtf8(ffmpeg.readAllStandardOutput()).trimmed() + u' ' +
           stream["codec_name"].toString() + u' ' + stream["duration"].toString() + u' ' +
           probe["format"].toObject()["duration"].toString();
}

struct Pictures {
    int count = 0;
    QString codec; // of the last one
};

Pictures attachedPictures(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::runFFprobe(
                {"-show_entries", "stream=codec_name:stream_disposition=attached_pic", path}))
            .object();
    Pictures pictures;
    for (const QJsonValue& stream : probe["streams"].toArray()) {
        if (stream["disposition"]["attached_pic"].toInt() == 1) {
            ++pictures.count;
            pictures.codec = stream["codec_name"].toString();
        }
    }
    return pictures;
}

// The title wherever the container keeps it (format or stream tags, any case).
QString title(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(TestSupport::runFFprobe({"-show_entries", "format_tags:stream_tags", path}))
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

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestCoverstamp : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_jpeg;
    QString m_png;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_jpeg = m_dir.filePath(QStringLiteral("cover.jpg"));
        m_png = m_dir.filePath(QStringLiteral("cover.png"));
        QVERIFY(TestSupport::makePicture(m_jpeg, 64, 64, QStringLiteral("red")));
        QVERIFY(TestSupport::makePicture(m_png, 48, 48, QStringLiteral("blue")));
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
        const QString path = m_dir.filePath(fileName);
        QStringList args{"-f", "lavfi", "-i", "sine=frequency=440:duration=2"};
        if (carriedCover)
            args << "-i" << m_jpeg << "-map"
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
        QCOMPARE(attachedPictures(path).count, carriedCover ? 1 : 0);
        const QString audioBefore = audioFingerprint(path);

        ToolResult result = runCoverstamp({path, m_jpeg});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.errorOutput));
        QCOMPARE(attachedPictures(path).count, 1);
        QCOMPARE(attachedPictures(path).codec, QStringLiteral("mjpeg"));

        result = runCoverstamp({path, m_png});
        QVERIFY2(result.ExitCode == 0, qPrintable(result.errorOutput));
        const Pictures pictures = attachedPictures(path);
        QCOMPARE(pictures.count, 1);
        QCOMPARE(pictures.codec, QStringLiteral("png"));
        QCOMPARE(title(path), QStringLiteral("Keep me"));
        QCOMPARE(audioFingerprint(path), audioBefore);
        QVERIFY(result.errorOutput.isEmpty());
        // No work copy is left beside the file.
        QCOMPARE(QDir(m_dir.path()).entryList({".coverstamp*"}, QDir::Hidden | QDir::Files), QStringList());
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
        const QString path = m_dir.filePath(fileName);
        if (fileName == QStringLiteral("junk.mp3") || picture == QStringLiteral("notes.jpg")) {
            QFile junk(m_dir.filePath(fileName == QStringLiteral("junk.mp3") ? fileName : picture));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("this is not a picture nor a sound\n");
        }
        if (fileName == QStringLiteral("ok.flac") || fileName == QStringLiteral("raw.aac"))
            QVERIFY(TestSupport::makeTone(path, 1));
        const QByteArray before = fileHash(path);

        const ToolResult result =
            fileName.isEmpty() ? runCoverstamp({}) : runCoverstamp({path, m_dir.filePath(picture)});
        QCOMPARE(result.ExitCode, exitCode);
        QCOMPARE(result.errorOutput.count(u'\n'), 1);
        QVERIFY(result.errorOutput.startsWith(QStringLiteral("coverstamp: ")));
        QCOMPARE(fileHash(path), before);
        if (fileName == QStringLiteral("raw.aac"))
            QCOMPARE(attachedPictures(path).count, 0);
    }
};

QTEST_GUILESS_MAIN(TestCoverstamp)
#include "tst_coverstamp.moc"
