#include "MediaFixtures.h"
#include "TestSupport.h"
#include "engine/ConversionEngine.h"
#include "engine/MediaFileAdder.h"

#include <QtTest>

// Adding files to the run's list: the reasons a file is refused, the extension
// gate of folders, and an abort that keeps what was added before it.
class TestMediaFileAdder : public QObject {
    Q_OBJECT

    QTemporaryDir FFolder;

    QString path(const QString& name) const { return QDir(FFolder.path()).filePath(name); }

    QString tone(const QString& name) const {
        const QString file = path(name);
        if (!QFileInfo::exists(file) && !TestSupport::MakeTone(file, 0.5))
            return QString();
        return file;
    }

    static QStringList listedPaths(const TConversionEngine& engine) {
        QStringList paths;
        for (const TMediaFile& file : engine.MediaFiles())
            paths << file.FilePath;
        return paths;
    }

private slots:
    void initTestCase() {
        QVERIFY(FFolder.isValid());
        qputenv("XDG_CONFIG_HOME", FFolder.path().toUtf8());
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
        QCOMPARE(TMediaFileAdder::HasMediaExtension(QStringLiteral("/music/") + name), taken);
    }

    // Every refused file says why, with its path where the reason is about the file.
    void refusedFilesAreNotListed() {
        TConversionEngine engine;
        TMediaFileAdder adder(engine, path(QStringLiteral("covers")));
        adder.SetSettings({QStringLiteral("aiff;WAV"), QString(), QString()});

        const QString wav = tone(QStringLiteral("ignored.wav"));
        TMediaFileAdder::TAddResult result = adder.AddMediaFile(wav);
        QCOMPARE(result.Status, TMediaFileAdder::TAddStatus::Failed);
        QCOMPARE(result.Error, QStringLiteral("This file type is ignored"));

        const QList<MediaFixtures::TBadInput> inputs =
            MediaFixtures::MakeBadInputs(path(QStringLiteral("bad")));
        for (const MediaFixtures::TBadInput& input : inputs) {
            result = adder.AddMediaFile(input.Path);
            QVERIFY2(result.Status == TMediaFileAdder::TAddStatus::Failed, qPrintable(input.Name));
            const QFileInfo info(input.Path);
            if (!info.exists() || info.isDir())
                QCOMPARE(result.Error, QStringLiteral("Cannot find ") + input.Path +
                                           QStringLiteral(" to add to the list."));
            else if (input.Name == QLatin1String("video without audio"))
                QCOMPARE(result.Error,
                         QStringLiteral("Cannot find any audio stream in ") + input.Path + u'.');
            else
                QVERIFY2(result.Error.startsWith(input.ErrorStart) &&
                             result.Error.endsWith(u' ' + input.Path),
                         qPrintable(input.Name + QStringLiteral(": ") + result.Error));
        }
        QCOMPARE(engine.MediaFiles().size(), 0);
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
        QVERIFY(TestSupport::WriteFile(path(QStringLiteral("tree/notes.txt")), "not audio"));

        TConversionEngine engine;
        TMediaFileAdder adder(engine, path(QStringLiteral("covers")));
        QSignalSpy finished(&adder, &TMediaFileAdder::Finished);
        adder.AddFolder(path(QStringLiteral("tree")), withSubFolders);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), added);
        QCOMPARE(finished.at(0).at(1).toInt(), 0);
        QCOMPARE(engine.MediaFiles().size(), added);
        QCOMPARE(engine.LogItems().last().Msg, QStringLiteral("Added %1 file(s) in 00:00:00").arg(added));
    }

    // The abort button ends the operation before the next file; the files added
    // so far stay, and a drop while adding is ignored.
    void abortKeepsWhatWasAdded() {
        QStringList files;
        for (int index = 0; index < 4; ++index)
            files << tone(QStringLiteral("abort%1.flac").arg(index));
        const QString dropped = tone(QStringLiteral("dropped.flac"));

        TConversionEngine engine;
        TMediaFileAdder adder(engine, path(QStringLiteral("covers")));
        connect(&adder, &TMediaFileAdder::ProgressDialogBarChanged, this, [&](int, int position) {
            if (position == 2) {
                adder.AddPaths({dropped});
                adder.Abort();
            }
        });
        QSignalSpy finished(&adder, &TMediaFileAdder::Finished);
        adder.AddFiles(files);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 2);
        QCOMPARE(finished.at(0).at(1).toInt(), 0);
        QVERIFY(adder.WasAborted());
        QCOMPARE(listedPaths(engine), files.mid(0, 2));
        QVERIFY(!adder.IsBusy());
    }
};

QTEST_GUILESS_MAIN(TestMediaFileAdder)
#include "tst_mediafileadder.moc"
