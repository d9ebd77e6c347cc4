
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

namespace {} // namespace

class TestProgramSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FHome;
    TCodecTable FTable = BuildCodecTable();
    QString path(const QString& name) const { return FHome.filePath(name); }
    QString logText() const { return QString::fromUtf8(TestSupport::ReadFile(ProgramLogFilePath())); }

private slots:
    void initTestCase() {
        QVERIFY(FHome.isValid());
        // Documents and Music then lie in the temporary home, not the user's.
        qputenv("HOME", QFile::encodeName(FHome.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome.filePath(QStringLiteral(".config"))));
        ConfigureProgramLog(FHome.filePath(QStringLiteral("log")));
    }

    void firstStartDefaults() {
        const QString file = path(QStringLiteral("first/settings.ini"));
        const int ceiling = GetThreadCountCeiling(6);
        const TProgramSettings settings = LoadProgramSettings(file, ceiling);
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(FHome.path()));
        QCOMPARE(settings.OutputFolder, documents + QStringLiteral("/VelmoAudio/"));
        QVERIFY(settings.CheckUpdatesOnStart && settings.CreateFolderStruct && settings.DeleteUnfinished &&
                settings.CopyCoverArt && settings.SplitCue);
        QCOMPARE(settings.OverwriteOption, int(TProgramSettings::CreateNewFileName));
        QCOMPARE(settings.PostEncodeAction, int(TProgramSettings::DoNothing));
        QCOMPARE(settings.ThreadCount, 7);
        QVERIFY(settings.IgnoredTypes.isEmpty() && settings.AddOnlyTypes.isEmpty());
        QCOMPARE(settings.PreferredLanguageIndex, 0);
        QCOMPARE(settings, DefaultProgramSettings(ceiling));

        const TMainSettings main = LoadMainSettings(file, FTable);
        QCOMPARE(main.LastOpenedDirectory, QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
        QCOMPARE(main.LastExtIndex, -1);
        QCOMPARE(main.Volume, 75);
        QCOMPARE(main.Panel.Format, int(ocMP3));
        QVERIFY(!main.Panel.OggManagedBitrate && !main.Panel.OpusVbr);
        QCOMPARE(FTable[ocFLAC].FSupportedQualities.value(main.Panel.Page(ocFLAC).Quality),
                 QStringLiteral("12"));
        QCOMPARE(main.Panel.Page(ocMP3), (TCodecPagePositions{0, 2, 2, 0, 0, 0}));
        QCOMPARE(main.Panel.Page(ocAAC), (TCodecPagePositions{0, 2, 4, 0, 0, 0}));
        QCOMPARE(main.PostEncodeAction, 0);
        QCOMPARE(main, DefaultMainSettings(FTable));

        // Start-up then makes the output folder.
        QVERIFY(!QFileInfo::exists(settings.OutputFolder));
        QVERIFY(EnsureOutputFolder(settings.OutputFolder, QStringLiteral("TMainForm.LoadSettings")));
        QVERIFY(QFileInfo(settings.OutputFolder).isDir());
        QVERIFY(!QFileInfo::exists(file));
    }

    void handWrittenCapitals() {
        const QString file = path(QStringLiteral("capitals.ini"));
        QVERIFY(TestSupport::WriteFile(file,
                                       "[GENERAL]\nOUTPUTFOLDER=/srv/Out put\nFORMAT=5\n[encode]\ncpu=3\n"
                                       "[MP3]\nM=1\n"));
        QCOMPARE(LoadProgramSettings(file, 8).OutputFolder, QStringLiteral("/srv/Out put"));
        QCOMPARE(LoadProgramSettings(file, 8).ThreadCount, 3);
        const TMainSettings main = LoadMainSettings(file, FTable);
        QCOMPARE(main.Panel.Format, int(ocFLAC));
        QCOMPARE(main.Panel.Page(ocMP3).Method, 1);
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
        QCOMPARE(GetThreadCountCeiling(processors), ceiling);
        QCOMPARE(DefaultThreadCount(ceiling), defaultCount);
        const QString file = path(QStringLiteral("threads.ini"));
        QVERIFY(
            TestSupport::WriteFile(file, stored.isNull() ? QByteArray() : "[Encode]\nCPU=" + stored + "\n"));
        QCOMPARE(LoadProgramSettings(file, ceiling).ThreadCount, loaded);
    }

    void programSettingsRoundTrip() {
        const QString file = path(QStringLiteral("roundtrip/settings.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        TProgramSettings settings = DefaultProgramSettings(8);
        settings.OutputFolder = path(QStringLiteral("Ausgabe ä/Sub"));
        settings.CreateFolderStruct = false;
        settings.CheckUpdatesOnStart = false;
        settings.OverwriteOption = TProgramSettings::SkipEncoding;
        settings.ThreadCount = 5;
        settings.PostEncodeAction = TProgramSettings::ShutdownPC;
        settings.DeleteUnfinished = false;
        settings.CopyCoverArt = false;
        settings.IgnoredTypes = QStringLiteral("mp3;wav");
        settings.AddOnlyTypes = QStringLiteral("flac");
        settings.SplitCue = false;
        settings.PreferredLanguageIndex = 17;
        QVERIFY(SaveProgramSettings(file, settings));
        QCOMPARE(LoadProgramSettings(file, 8), settings);
        // The output folder is made with its parents.
        QVERIFY(QFileInfo(settings.OutputFolder).isDir());

        // The update and folder-structure choices go out before the output folder.
        const QString text = QString::fromUtf8(TestSupport::ReadFile(file));
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
        QVERIFY(TestSupport::WriteFile(file, content));
        const TProgramSettings settings = LoadProgramSettings(file, 8);
        QCOMPARE(settings.OverwriteOption, overwrite);
        QCOMPARE(settings.PostEncodeAction, post);
        QCOMPARE(LoadMainSettings(file, FTable).PostEncodeAction, post);
    }

    void mainSettingsRoundTrip() {
        const QString file = path(QStringLiteral("main.ini"));
        QFile::remove(file);
        TMainSettings settings = DefaultMainSettings(FTable);
        settings.LastOpenedDirectory = QStringLiteral("/home/u/Música");
        settings.LastExtIndex = 3;
        settings.Volume = 0;
        settings.Panel.Format = ocOPUS;
        settings.Panel.OggManagedBitrate = true;
        settings.Panel.OpusVbr = true;
        settings.Panel.Page(ocMP3) = {1, 0, 9, 5, 1, 0};
        settings.Panel.Page(ocAAC) = {1, 10, 21, 7, 2, 0};
        settings.Panel.Page(ocOGG) = {1, 3, 9, 1, 1, 0};
        settings.Panel.Page(ocOPUS).Bitrate = 4;
        settings.Panel.Page(ocWMA).SampleRate = 4;
        settings.Panel.Page(ocFLAC) = {0, 0, 8, 8, 1, 0};
        settings.Panel.Page(ocALAC).Channel = 2;
        settings.Panel.Page(ocWAV).SampleRate = 3;
        settings.PostEncodeAction = 2;
        QVERIFY(SaveMainSettings(file, settings));
        QCOMPARE(LoadMainSettings(file, FTable), settings);
    }

    void bitDepthsAreNeverStored() {
        const QString file = path(QStringLiteral("bitdepth.ini"));
        QFile::remove(file);
        TMainSettings settings = DefaultMainSettings(FTable);
        settings.Panel.Page(ocFLAC).BitDepth = 2;
        settings.Panel.Page(ocWAV).BitDepth = 1;
        QVERIFY(SaveMainSettings(file, settings));
        const TMainSettings loaded = LoadMainSettings(file, FTable);
        QCOMPARE(loaded.Panel.Page(ocFLAC).BitDepth, 0);
        QCOMPARE(loaded.Panel.Page(ocWAV).BitDepth, 0);
    }

    void storedPositionsOutsideTheirLists() {
        const QString file = path(QStringLiteral("positions.ini"));
        QVERIFY(TestSupport::WriteFile(file,
                                       "[General]\nformat=8\nVolume=500\n[mp3]\nm=2\nb=11\nq=-1\nsr=6\nch=3\n"
                                       "[aac]\nq=21\nsr=7\n[flac]\nc=13\n[wma]\nb=junk\n"));
        const TMainSettings settings = LoadMainSettings(file, FTable);
        QCOMPARE(settings.Panel.Format, int(ocMP3));
        QCOMPARE(settings.Volume, 128);
        QCOMPARE(settings.Panel.Page(ocMP3), (TCodecPagePositions{-1, -1, -1, -1, -1, 0}));
        QCOMPARE(settings.Panel.Page(ocAAC).Quality, 21);
        QCOMPARE(settings.Panel.Page(ocAAC).SampleRate, 7);
        QCOMPARE(settings.Panel.Page(ocFLAC).Quality, -1);
        QCOMPARE(settings.Panel.Page(ocWMA).Bitrate, 2);
    }

    void twoWritersKeepEachOthersKeys() {
        const QString file = path(QStringLiteral("shared.ini"));
        QFile::remove(file);
        TProgramSettings program = DefaultProgramSettings(8);
        program.OutputFolder = path(QStringLiteral("out"));
        program.PostEncodeAction = TProgramSettings::ShutdownPC;
        QVERIFY(SaveProgramSettings(file, program));
        TMainSettings main = DefaultMainSettings(FTable);
        main.Volume = 33;
        main.PostEncodeAction = TProgramSettings::OpenOutputFolder;
        QVERIFY(SaveMainSettings(file, main));

        // The main window wrote last, so its post-encode action is the one kept.
        const TProgramSettings reloaded = LoadProgramSettings(file, 8);
        QCOMPARE(reloaded.PostEncodeAction, int(TProgramSettings::OpenOutputFolder));
        QCOMPARE(reloaded.OutputFolder, program.OutputFolder);
        QCOMPARE(LoadMainSettings(file, FTable).Volume, 33);
        // The main window reads the update choice but leaves it to the settings window.
        QVERIFY(!TestSupport::ReadFile(file).contains("Active=1\nActive"));
        program.CheckUpdatesOnStart = false;
        QVERIFY(SaveProgramSettings(file, program));
        QVERIFY(!LoadMainSettings(file, FTable).CheckUpdateOnStart);
    }

    void outputFolderThatCannotBeMade() {
        const QString blocker = path(QStringLiteral("blocker"));
        QVERIFY(TestSupport::WriteFile(blocker, "a file"));
        const QString file = path(QStringLiteral("blocked.ini"));
        TProgramSettings settings = DefaultProgramSettings(8);
        settings.OutputFolder = blocker + QStringLiteral("/Out");
        settings.ThreadCount = 3;
        // The settings are still written; the folder failure only goes to the log.
        QVERIFY(SaveProgramSettings(file, settings));
        QCOMPARE(LoadProgramSettings(file, 8).ThreadCount, 3);
        QVERIFY(logText().contains(QStringLiteral("TSettingsForm.SaveSettings")));
    }

    void languageList() {
        const QStringList codes =
            LoadLanguageCodes(TestSupport::ProgramDir() + QStringLiteral("/langcodes.dat"));
        QCOMPARE(codes.value(0), QStringLiteral("eng"));
        for (const char* code : {"ger", "deu", "fre", "fra", "chi", "zho", "jpn", "und"})
            QVERIFY2(codes.contains(QLatin1String(code)), code);
        static const QRegularExpression threeLetters(QStringLiteral("^[a-z]{3}$"));
        for (const QString& code : codes)
            QVERIFY2(threeLetters.match(code).hasMatch(), qPrintable(code));
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), codes.size());

        TProgramSettings settings;
        settings.PreferredLanguageIndex = int(codes.indexOf(QStringLiteral("ger")));
        QCOMPARE(PreferredLanguage(settings, codes), QStringLiteral("ger"));
        settings.PreferredLanguageIndex = int(codes.size());
        QCOMPARE(PreferredLanguage(settings, codes), QString());
    }

    void missingLanguageListStillLoadsSettings() {
        const QStringList codes = LoadLanguageCodes(path(QStringLiteral("nowhere/langcodes.dat")));
        QVERIFY(codes.isEmpty());
        QVERIFY(logText().contains(QStringLiteral("Unable to read the language list")));
        const QString file = path(QStringLiteral("lang.ini"));
        QVERIFY(TestSupport::WriteFile(file, "[FileAdd]\nPrefLang=4\n[Encode]\nCPU=2\n"));
        const TProgramSettings settings = LoadProgramSettings(file, 8);
        QCOMPARE(settings.ThreadCount, 2);
        QCOMPARE(PreferredLanguage(settings, codes), QString());
    }

    void fileTypeLists() {
        QCOMPARE(FileTypeList(QStringLiteral("mp3; wav;;flac ")),
                 (QStringList{QStringLiteral("mp3"), QStringLiteral("wav"), QStringLiteral("flac")}));
        QVERIFY(FileTypeList(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
