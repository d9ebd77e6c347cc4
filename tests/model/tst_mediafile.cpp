#include "base/Log.h"
#include "model/MediaFile.h"

#include "TestSupport.h"

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
    MediaFile file;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.selectedAudioStream());
    AudioStream first;
    first.streamIndex = 1;
    AudioStream second;
    second.streamIndex = 3;
    file.audioStreams << first << second;
    QCOMPARE(file.selectedAudioStream().streamIndex, 1);
    file.selectedStreamIndex = 1;
    QCOMPARE(file.selectedAudioStream().streamIndex, 3);
    file.selectedStreamIndex = 2;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.selectedAudioStream());
    file.selectedStreamIndex = -1;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, file.selectedAudioStream());
}

void TestMediaFile::selectedArtwork() {
    MediaFile file;
    QCOMPARE(file.selectedCoverArt(), nullptr);
    CoverArt first;
    first.tempFilePath = QStringLiteral("/tmp/first.jpg");
    CoverArt second;
    second.tempFilePath = QStringLiteral("/tmp/second.jpg");
    file.coverArtStreams << first << second;
    // Only the first picture is ever used.
    QVERIFY(file.selectedCoverArt());
    QCOMPARE(file.selectedCoverArt()->tempFilePath, first.tempFilePath);
}

void TestMediaFile::deleteCoverArtTempFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    configureProgramLog(dir.filePath(QStringLiteral("log")));
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

    MediaFile file;
    for (const QString& path : {present, alreadyGone, undeletable, last}) {
        CoverArt artwork;
        artwork.tempFilePath = path;
        file.coverArtStreams << artwork;
    }
    file.deleteCoverArtTempFiles();
    QVERIFY(!QFile::exists(present));
    QVERIFY(!QFile::exists(last));
    QVERIFY(QFileInfo(undeletable).isDir());
    QCOMPARE(file.coverArtStreams.size(), 4); // the records stay

    const QString text = TestSupport::programLogText();
    QCOMPARE(text.count(QLatin1String("|exception|DeleteCoverArtTempFiles|")), 1);

    // Without pictures nothing happens.
    MediaFile empty;
    empty.deleteCoverArtTempFiles();
}

QTEST_GUILESS_MAIN(TestMediaFile)
#include "tst_mediafile.moc"
