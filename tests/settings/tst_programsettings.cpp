
#include "base/Log.h"
#include "settings/IniStore.h"
#include "settings/LanguageCodes.h"
#include "settings/MainSettings.h"
#include "settings/ProgramSettings.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    CodecTable m_table = buildCodecTable();
    QString path(const QString& name) const { return m_home.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        // Documents and Music then lie in the temporary home, not the user's.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".config"))));
        configureProgramLog(m_home.filePath(QStringLiteral("log")));
    }

    void firstStartDefaults() {
        const QString file = path(QStringLiteral("first/settings.ini"));
        const int ceiling = threadCountCeiling(6);
        const ProgramSettings settings = loadProgramSettings(file, ceiling);
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(m_home.path()));
        QCOMPARE(settings.outputFolder, documents + QStringLiteral("/VelmoAudio/"));
        QVERIFY(settings.checkUpdatesOnStart && settings.createFolderStruct && settings.deleteUnfinished &&
                settings.copyCoverArt && settings.splitCue);
        QCOMPARE(settings.overwriteOption, ordinal(OverwriteOption::NewFileName));
        QCOMPARE(settings.postEncodeAction, ordinal(PostEncodeAction::DoNothing));
        QCOMPARE(settings.threadCount, 7);
        QVERIFY(settings.ignoredTypes.isEmpty() && settings.addOnlyTypes.isEmpty());
        QCOMPARE(settings.preferredLanguageIndex, 0);
        QCOMPARE(settings, defaultProgramSettings(ceiling));

        const MainSettings main = loadMainSettings(file, m_table);
        QCOMPARE(main.lastOpenedDirectory, QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
        QCOMPARE(main.lastExtIndex, -1);
        QCOMPARE(main.volume, 75);
        QCOMPARE(main.panel.format, int(OutputCodec::Mp3));
        QVERIFY(!main.panel.oggManagedBitrate && !main.panel.opusVbr);
        QCOMPARE(m_table[ordinal(OutputCodec::Flac)].supportedQualities.value(
                     main.panel.page(OutputCodec::Flac).quality),
                 QStringLiteral("12"));
        QCOMPARE(main.panel.page(OutputCodec::Mp3), (CodecPagePositions{0, 2, 2, 0, 0, 0}));
        QCOMPARE(main.panel.page(OutputCodec::Aac), (CodecPagePositions{0, 2, 4, 0, 0, 0}));
        QCOMPARE(main.postEncodeAction, 0);
        QCOMPARE(main, defaultMainSettings(m_table));

        // Start-up then makes the output folder.
        QVERIFY(!QFileInfo::exists(settings.outputFolder));
        QVERIFY(ensureOutputFolder(settings.outputFolder, QStringLiteral("TMainForm.LoadSettings")));
        QVERIFY(QFileInfo(settings.outputFolder).isDir());
        QVERIFY(!QFileInfo::exists(file));
    }

    void handWrittenCapitals() {
        const QString file = path(QStringLiteral("capitals.ini"));
        QVERIFY(TestSupport::writeFile(file,
                                       "[GENERAL]\nOUTPUTFOLDER=/srv/Out put\nFORMAT=5\n[encode]\ncpu=3\n"
                                       "[MP3]\nM=1\n"));
        QCOMPARE(loadProgramSettings(file, 8).outputFolder, QStringLiteral("/srv/Out put"));
        QCOMPARE(loadProgramSettings(file, 8).threadCount, 3);
        const MainSettings main = loadMainSettings(file, m_table);
        QCOMPARE(main.panel.format, int(OutputCodec::Flac));
        QCOMPARE(main.panel.page(OutputCodec::Mp3).method, 1);
    }

    void threadCounts_data() {
        QTest::addColumn<int>("processors");
        QTest::addColumn<int>("ceiling");
        QTest::addColumn<int>("defaultCount");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("loaded");
        QTest::newRow("1 processor") << 1 << 1 << 1 << QByteArray() << 1;
        QTest::newRow("1 processor, 0 stored") << 1 << 1 << 1 << QByteArray("0") << 1;
        QTest::newRow("1 processor, 12 stored") << 1 << 1 << 1 << QByteArray("12") << 1;
        QTest::newRow("6 processors") << 6 << 8 << 7 << QByteArray() << 7;
        QTest::newRow("6 processors, 8 stored") << 6 << 8 << 7 << QByteArray("8") << 8;
        QTest::newRow("6 processors, 9 stored") << 6 << 8 << 7 << QByteArray("9") << 8;
        QTest::newRow("6 processors, -2 stored") << 6 << 8 << 7 << QByteArray("-2") << 1;
        QTest::newRow("6 processors, junk stored") << 6 << 8 << 7 << QByteArray("many") << 7;
        QTest::newRow("2 processors") << 2 << 2 << 1 << QByteArray() << 1;
        QTest::newRow("64 processors") << 64 << 32 << 31 << QByteArray() << 31;
        QTest::newRow("64 processors, 64 stored") << 64 << 32 << 31 << QByteArray("64") << 32;
    }
    void threadCounts() {
        QFETCH(int, processors);
        QFETCH(int, ceiling);
        QFETCH(int, defaultCount);
        QFETCH(QByteArray, stored);
        QFETCH(int, loaded);
        QCOMPARE(threadCountCeiling(processors), ceiling);
        QCOMPARE(defaultThreadCount(ceiling), defaultCount);
        const QString file = path(QStringLiteral("threads.ini"));
        QVERIFY(
            TestSupport::writeFile(file, stored.isNull() ? QByteArray() : "[Encode]\nCPU=" + stored + "\n"));
        QCOMPARE(loadProgramSettings(file, ceiling).threadCount, loaded);
    }

    void programSettingsRoundTrip() {
        const QString file = path(QStringLiteral("roundtrip/settings.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        ProgramSettings settings = defaultProgramSettings(8);
        settings.outputFolder = path(QStringLiteral("Ausgabe ä/Sub"));
        settings.createFolderStruct = false;
        settings.checkUpdatesOnStart = false;
        settings.overwriteOption = ordinal(OverwriteOption::Skip);
        settings.threadCount = 5;
        settings.postEncodeAction = ordinal(PostEncodeAction::ShutdownPc);
        settings.deleteUnfinished = false;
        settings.copyCoverArt = false;
        settings.ignoredTypes = QStringLiteral("mp3;wav");
        settings.addOnlyTypes = QStringLiteral("flac");
        settings.splitCue = false;
        settings.preferredLanguageIndex = 17;
        QVERIFY(saveProgramSettings(file, settings));
        QCOMPARE(loadProgramSettings(file, 8), settings);
        // The output folder is made with its parents.
        QVERIFY(QFileInfo(settings.outputFolder).isDir());

        // The update and folder-structure choices go out before the output folder.
        const QString text = QString::fromUtf8(TestSupport::readFile(file));
        QVERIFY(text.indexOf(QStringLiteral("[Update]")) < text.indexOf(QStringLiteral("[Path]")));
        QVERIFY(text.indexOf(QStringLiteral("[Path]")) < text.indexOf(QStringLiteral("[General]")));
        QVERIFY(text.contains(QStringLiteral("CPU=5\n")));
    }

    void outOfRangeChoices_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("overwrite");
        QTest::addColumn<int>("post");
        QTest::newRow("too large") << QByteArray("[Encode]\nOverwrite=3\nPost=4\n") << 0 << 0;
        QTest::newRow("negative") << QByteArray("[Encode]\nOverwrite=-1\nPost=-1\n") << 0 << 0;
        QTest::newRow("last valid") << QByteArray("[Encode]\nOverwrite=2\nPost=3\n") << 2 << 3;
    }
    void outOfRangeChoices() {
        QFETCH(QByteArray, content);
        QFETCH(int, overwrite);
        QFETCH(int, post);
        const QString file = path(QStringLiteral("range.ini"));
        QVERIFY(TestSupport::writeFile(file, content));
        const ProgramSettings settings = loadProgramSettings(file, 8);
        QCOMPARE(settings.overwriteOption, overwrite);
        QCOMPARE(settings.postEncodeAction, post);
        QCOMPARE(loadMainSettings(file, m_table).postEncodeAction, post);
    }

    void mainSettingsRoundTrip() {
        const QString file = path(QStringLiteral("main.ini"));
        QFile::remove(file);
        MainSettings settings = defaultMainSettings(m_table);
        settings.lastOpenedDirectory = QStringLiteral("/home/u/Música");
        settings.lastExtIndex = 3;
        settings.volume = 0;
        settings.panel.format = ordinal(OutputCodec::Opus);
        settings.panel.oggManagedBitrate = true;
        settings.panel.opusVbr = true;
        settings.panel.page(OutputCodec::Mp3) = {1, 0, 9, 5, 1, 0};
        settings.panel.page(OutputCodec::Aac) = {1, 10, 21, 7, 2, 0};
        settings.panel.page(OutputCodec::Ogg) = {1, 3, 9, 1, 1, 0};
        settings.panel.page(OutputCodec::Opus).bitrate = 4;
        settings.panel.page(OutputCodec::Wma).sampleRate = 4;
        settings.panel.page(OutputCodec::Flac) = {0, 0, 8, 8, 1, 0};
        settings.panel.page(OutputCodec::Alac).channel = 2;
        settings.panel.page(OutputCodec::Wav).sampleRate = 3;
        settings.postEncodeAction = 2;
        QVERIFY(saveMainSettings(file, settings));
        QCOMPARE(loadMainSettings(file, m_table), settings);
    }

    void bitDepthsAreNeverStored() {
        const QString file = path(QStringLiteral("bitdepth.ini"));
        QFile::remove(file);
        MainSettings settings = defaultMainSettings(m_table);
        settings.panel.page(OutputCodec::Flac).bitDepth = 2;
        settings.panel.page(OutputCodec::Wav).bitDepth = 1;
        QVERIFY(saveMainSettings(file, settings));
        const MainSettings loaded = loadMainSettings(file, m_table);
        QCOMPARE(loaded.panel.page(OutputCodec::Flac).bitDepth, 0);
        QCOMPARE(loaded.panel.page(OutputCodec::Wav).bitDepth, 0);
    }

    void storedPositionsOutsideTheirLists() {
        const QString file = path(QStringLiteral("positions.ini"));
        QVERIFY(TestSupport::writeFile(file,
                                       "[General]\nformat=8\nVolume=500\n[mp3]\nm=2\nb=11\nq=-1\nsr=6\nch=3\n"
                                       "[aac]\nq=21\nsr=7\n[flac]\nc=13\n[wma]\nb=junk\n"));
        const MainSettings settings = loadMainSettings(file, m_table);
        QCOMPARE(settings.panel.format, int(OutputCodec::Mp3));
        QCOMPARE(settings.volume, 128);
        QCOMPARE(settings.panel.page(OutputCodec::Mp3), (CodecPagePositions{-1, -1, -1, -1, -1, 0}));
        QCOMPARE(settings.panel.page(OutputCodec::Aac).quality, 21);
        QCOMPARE(settings.panel.page(OutputCodec::Aac).sampleRate, 7);
        QCOMPARE(settings.panel.page(OutputCodec::Flac).quality, -1);
        QCOMPARE(settings.panel.page(OutputCodec::Wma).bitrate, 2);
    }

    void twoWritersKeepEachOthersKeys() {
        const QString file = path(QStringLiteral("shared.ini"));
        QFile::remove(file);
        ProgramSettings program = defaultProgramSettings(8);
        program.outputFolder = path(QStringLiteral("out"));
        program.postEncodeAction = ordinal(PostEncodeAction::ShutdownPc);
        QVERIFY(saveProgramSettings(file, program));
        MainSettings main = defaultMainSettings(m_table);
        main.volume = 33;
        main.postEncodeAction = ordinal(PostEncodeAction::OpenOutputFolder);
        QVERIFY(saveMainSettings(file, main));

        // The main window wrote last, so its post-encode action is the one kept.
        const ProgramSettings reloaded = loadProgramSettings(file, 8);
        QCOMPARE(reloaded.postEncodeAction, ordinal(PostEncodeAction::OpenOutputFolder));
        QCOMPARE(reloaded.outputFolder, program.outputFolder);
        QCOMPARE(loadMainSettings(file, m_table).volume, 33);
        // The update choice belongs to the settings window; the main window's save leaves it alone.
        program.checkUpdatesOnStart = false;
        QVERIFY(saveProgramSettings(file, program));
        QVERIFY(saveMainSettings(file, main));
        QVERIFY(!loadProgramSettings(file, 8).checkUpdatesOnStart);
        QCOMPARE(TestSupport::readFile(file).count("Active="), 1);
    }

    void outputFolderThatCannotBeMade() {
        const QString blocker = path(QStringLiteral("blocker"));
        QVERIFY(TestSupport::writeFile(blocker, "a file"));
        const QString file = path(QStringLiteral("blocked.ini"));
        ProgramSettings settings = defaultProgramSettings(8);
        settings.outputFolder = blocker + QStringLiteral("/Out");
        settings.threadCount = 3;
        // The settings are still written; the folder failure only goes to the log.
        QVERIFY(saveProgramSettings(file, settings));
        QCOMPARE(loadProgramSettings(file, 8).threadCount, 3);
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("TSettingsForm.SaveSettings")));
    }

    void languageList() {
        const QStringList codes =
            loadLanguageCodes(TestSupport::programDir() + QStringLiteral("/langcodes.dat"));
        QCOMPARE(codes.value(0), QStringLiteral("eng"));
        for (const char* code : {"ger", "deu", "fre", "fra", "chi", "zho", "jpn", "und"})
            QVERIFY2(codes.contains(QLatin1String(code)), code);
        static const QRegularExpression threeLetters(QStringLiteral("^[a-z]{3}$"));
        for (const QString& code : codes)
            QVERIFY2(threeLetters.match(code).hasMatch(), qPrintable(code));
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), codes.size());

        ProgramSettings settings;
        settings.preferredLanguageIndex = int(codes.indexOf(QStringLiteral("ger")));
        QCOMPARE(preferredLanguage(settings, codes), QStringLiteral("ger"));
        settings.preferredLanguageIndex = int(codes.size());
        QCOMPARE(preferredLanguage(settings, codes), QString());
    }

    void missingLanguageListStillLoadsSettings() {
        const QStringList codes = loadLanguageCodes(path(QStringLiteral("nowhere/langcodes.dat")));
        QVERIFY(codes.isEmpty());
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("Unable to read the language list")));
        const QString file = path(QStringLiteral("lang.ini"));
        QVERIFY(TestSupport::writeFile(file, "[FileAdd]\nPrefLang=4\n[Encode]\nCPU=2\n"));
        const ProgramSettings settings = loadProgramSettings(file, 8);
        QCOMPARE(settings.threadCount, 2);
        QCOMPARE(preferredLanguage(settings, codes), QString());
    }

    void fileTypeLists() {
        QCOMPARE(fileTypeList(QStringLiteral("mp3; wav;;flac ")),
                 (QStringList{QStringLiteral("mp3"), QStringLiteral("wav"), QStringLiteral("flac")}));
        QVERIFY(fileTypeList(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
