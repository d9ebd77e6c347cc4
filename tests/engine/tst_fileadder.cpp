#include "MediaFixtures.h"
#include "TestSupport.h"
#include "engine/FileAdder.h"
#include "engine/FileListModel.h"
#include "engine/LogModel.h"

#include <QtTest>

// Adding files to the run's list: the reasons a file is refused, the extension
// gate of folders, and an abort that keeps what was added before it.
class TestFileAdder : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

    QString path(const QString& name) const { return QDir(m_folder.path()).filePath(name); }

    QString tone(const QString& name) const {
        const QString file = path(name);
        if (!QFileInfo::exists(file) && !TestSupport::makeTone(file, 0.5))
            return QString();
        return file;
    }

    static QStringList listedPaths(const FileListModel& files) {
        QStringList paths;
        for (const MediaFile& file : files.mediaFiles())
            paths << file.filePath;
        return paths;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8());
    }

    void gateTakesAudioAndVideoExtensionsInAnyCase_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("audio") << "song.flac" << true;
        QTest::newRow("upper case") << "SONG.FLAC" << true;
        QTest::newRow("rare audio") << "film.dtsma" << true;
        QTest::newRow("video") << "clip.mkv" << true;
        QTest::newRow("text") << "notes.txt" << false;
        QTest::newRow("audio name, other extension") << "song.mp3.txt" << false;
        QTest::newRow("no extension") << "mp3" << false;
    }
    void gateTakesAudioAndVideoExtensionsInAnyCase() {
        QFETCH(QString, name);
        QFETCH(bool, taken);
        QCOMPARE(FileAdder::hasMediaExtension(QStringLiteral("/music/") + name), taken);
    }

    // Every refused file says why, with its path where the reason is about the file.
    void refusedFilesAreNotListed() {
        FileListModel files;
        LogModel log;
        FileAdder adder(files, log, path(QStringLiteral("covers")));
        adder.setSettings({QStringLiteral("aiff;WAV"), QString(), QString()});

        const QString wav = tone(QStringLiteral("ignored.wav"));
        FileAdder::AddResult result = adder.addMediaFile(wav);
        QCOMPARE(result.status, FileAdder::AddStatus::Failed);
        QCOMPARE(result.error, QStringLiteral("This file type is ignored"));

        const QList<MediaFixtures::BadInput> inputs =
            MediaFixtures::makeBadInputs(path(QStringLiteral("bad")));
        for (const MediaFixtures::BadInput& input : inputs) {
            result = adder.addMediaFile(input.path);
            QVERIFY2(result.status == FileAdder::AddStatus::Failed, qPrintable(input.name));
            const QFileInfo info(input.path);
            if (!info.exists() || info.isDir())
                QCOMPARE(result.error, QStringLiteral("Cannot find ") + input.path +
                                           QStringLiteral(" to add to the list."));
            else if (input.name == QLatin1String("video without audio"))
                QCOMPARE(result.error,
                         QStringLiteral("Cannot find any audio stream in ") + input.path + u'.');
            else
                QVERIFY2(result.error.startsWith(input.errorStart) &&
                             result.error.endsWith(u' ' + input.path),
                         qPrintable(input.name + QStringLiteral(": ") + result.error));
        }
        QCOMPARE(files.mediaFiles().size(), 0);
    }

    void folderGateSkipsOtherFilesSilently_data() {
        QTest::addColumn<bool>("withSubFolders");
        QTest::addColumn<int>("added");
        QTest::newRow("own files") << false << 1;
        QTest::newRow("with sub-folders") << true << 2;
    }
    void folderGateSkipsOtherFilesSilently() {
        QFETCH(bool, withSubFolders);
        QFETCH(int, added);
        QVERIFY(QDir().mkpath(path(QStringLiteral("tree/sub"))));
        QVERIFY(!tone(QStringLiteral("tree/top.flac")).isEmpty());
        QVERIFY(!tone(QStringLiteral("tree/sub/deep.wav")).isEmpty());
        QVERIFY(TestSupport::writeFile(path(QStringLiteral("tree/notes.txt")), "not audio"));

        FileListModel files;
        LogModel log;
        FileAdder adder(files, log, path(QStringLiteral("covers")));
        QSignalSpy finished(&adder, &FileAdder::finished);
        adder.addFolder(path(QStringLiteral("tree")), withSubFolders);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), added);
        QCOMPARE(finished.at(0).at(1).toInt(), 0);
        QCOMPARE(files.mediaFiles().size(), added);
        QCOMPARE(log.entries().last().message, QStringLiteral("Added %1 file(s) in 00:00:00").arg(added));
    }

    // The abort button ends the operation before the next file; the files added
    // so far stay, and a drop while adding is ignored.
    void abortKeepsWhatWasAdded() {
        QStringList sources;
        for (int index = 0; index < 4; ++index)
            sources << tone(QStringLiteral("abort%1.flac").arg(index));
        const QString dropped = tone(QStringLiteral("dropped.flac"));

        FileListModel list;
        LogModel log;
        FileAdder adder(list, log, path(QStringLiteral("covers")));
        connect(&adder, &FileAdder::busyProgressChanged, this, [&](int, int position) {
            if (position == 2) {
                adder.addPaths({dropped});
                adder.abort();
            }
        });
        QSignalSpy finished(&adder, &FileAdder::finished);
        adder.addFiles(sources);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 2);
        QCOMPARE(finished.at(0).at(1).toInt(), 0);
        QVERIFY(adder.wasAborted());
        QCOMPARE(listedPaths(list), sources.mid(0, 2));
        QVERIFY(!adder.isBusy());
    }
};

QTEST_GUILESS_MAIN(TestFileAdder)
#include "tst_fileadder.moc"
