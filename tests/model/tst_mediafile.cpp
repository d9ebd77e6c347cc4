#include "base/Log.h"
#include "model/MediaFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

class TestMediaFile : public QObject {
    Q_OBJECT

private slots:
    void selectedAudioStream();
    void selectedArtwork();
    void deleteCoverArtTempFiles();
};

void TestMediaFile::selectedAudioStream() {
    TMediaFile file;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.GetSelectedAudioStream());
    TAudioStream first;
    first.StreamIndex = 1;
    TAudioStream second;
    second.StreamIndex = 3;
    file.AudioStreams << first << second;
    QCOMPARE(file.GetSelectedAudioStream().StreamIndex, 1);
    file.SelectedAudioStream = 1;
    QCOMPARE(file.GetSelectedAudioStream().StreamIndex, 3);
    file.SelectedAudioStream = 2;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.GetSelectedAudioStream());
    file.SelectedAudioStream = -1;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.GetSelectedAudioStream());
}

void TestMediaFile::selectedArtwork() {
    TMediaFile file;
    QCOMPARE(file.GetSelectedArtworkStream(), nullptr);
    TArtwork first;
    first.TempFilePath = QStringLiteral("/tmp/first.jpg");
    TArtwork second;
    second.TempFilePath = QStringLiteral("/tmp/second.jpg");
    file.ArtworkStreams << first << second;
    // Only the first picture is ever used.
    QVERIFY(file.GetSelectedArtworkStream());
    QCOMPARE(file.GetSelectedArtworkStream()->TempFilePath, first.TempFilePath);
}

void TestMediaFile::deleteCoverArtTempFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ConfigureProgramLog(dir.filePath(QStringLiteral("log")));
    const QString present = dir.filePath(QStringLiteral("a.jpg"));
    const QString alreadyGone = dir.filePath(QStringLiteral("gone.jpg"));
    // A folder where a picture should be cannot be removed as a file: the failure
    // is logged and the pictures after it are still removed.
    const QString undeletable = dir.filePath(QStringLiteral("folder.jpg"));
    const QString last = dir.filePath(QStringLiteral("z.jpg"));
    QVERIFY(QFile(present).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkdir(undeletable));
    QVERIFY(QFile(undeletable + QStringLiteral("/inside")).open(QIODevice::WriteOnly));
    QVERIFY(QFile(last).open(QIODevice::WriteOnly));

    TMediaFile file;
    for (const QString& path : {present, alreadyGone, undeletable, last}) {
        TArtwork artwork;
        artwork.TempFilePath = path;
        file.ArtworkStreams << artwork;
    }
    file.DeleteCoverArtTempFiles();
    QVERIFY(!QFile::exists(present));
    QVERIFY(!QFile::exists(last));
    QVERIFY(QFileInfo(undeletable).isDir());
    QCOMPARE(file.ArtworkStreams.size(), 4); // the records stay

    QFile log(ProgramLogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QCOMPARE(text.count(QLatin1String("|exception|DeleteCoverArtTempFiles|")), 1);

    // Without pictures nothing happens.
    TMediaFile empty;
    empty.DeleteCoverArtTempFiles();
}

QTEST_GUILESS_MAIN(TestMediaFile)
#include "tst_mediafile.moc"
