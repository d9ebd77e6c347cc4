#include "base/Log.h"
#include "model/EncodingProfileBuilder.h"
#include "settings/IniStore.h"
#include "settings/ProfileManager.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(TCodecPagePositions)

namespace {

QStringList titles(const QList<TProfile>& profiles) {
    QStringList list;
    for (const TProfile& profile : profiles)
        list.append(profile.FTitle);
    return list;
}

// A panel where every list of every page is without a selection.
TCodecPanelPositions emptyPanel() {
    TCodecPanelPositions panel;
    for (TCodecPagePositions& page : panel.Pages)
        page = {-1, -1, -1, -1, -1, -1};
    return panel;
}

} // namespace

class TestPresets : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FDir;
    TCodecTable FTable = BuildCodecTable();
    QString FBuiltIn;
    QString FUser;

    QString logText() const { return QString::fromUtf8(TestSupport::ReadFile(ProgramLogFilePath())); }
    TProfile presetFile(TOutputCodec codec, const QString& title) {
        TProfile profile;
        profile.FCodecId = codec;
        profile.FTitle = title;
        return profile;
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        ConfigureProgramLog(FDir.filePath(QStringLiteral("log")));
    }

    void init() {
        // Fresh folders for every test: the user list decides what is listed.
        static int round = 0;
        ++round;
        FBuiltIn = FDir.filePath(QStringLiteral("builtin%1").arg(round));
        FUser = FDir.filePath(QStringLiteral("user%1").arg(round));
        QVERIFY(QDir().mkpath(FBuiltIn) && QDir().mkpath(FUser));
    }

    void panelToPresetAndBack_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<TCodecPagePositions>("page");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("vbr");
        QTest::newRow("mp3 quality 44100 mono")
            << int(ocMP3) << TCodecPagePositions{1, 3, 0, 2, 1, 0} << false << false;
        QTest::newRow("aac cbr 8000")
            << int(ocAAC) << TCodecPagePositions{0, 10, 21, 7, 2, 0} << false << false;
        QTest::newRow("ogg managed") << int(ocOGG) << TCodecPagePositions{0, 2, 5, 3, 0, 0} << true << false;
        QTest::newRow("opus vbr") << int(ocOPUS) << TCodecPagePositions{0, 4, 0, 1, 2, 0} << false << true;
        QTest::newRow("wma") << int(ocWMA) << TCodecPagePositions{0, 1, 0, 6, 1, 0} << false << false;
        QTest::newRow("flac 24 bit 96000")
            << int(ocFLAC) << TCodecPagePositions{0, 0, 8, 1, 2, 2} << false << false;
        QTest::newRow("alac 16 bit") << int(ocALAC) << TCodecPagePositions{0, 0, 0, 8, 1, 1} << false
                                     << false;
        QTest::newRow("wav original")
            << int(ocWAV) << TCodecPagePositions{0, 0, 0, 0, 0, 0} << false << false;
    }
    void panelToPresetAndBack() {
        QFETCH(int, format);
        QFETCH(TCodecPagePositions, page);
        QFETCH(bool, managed);
        QFETCH(bool, vbr);
        const auto codec = TOutputCodec(format);
        TCodecPanelPositions panel = DefaultPanelPositions(FTable);
        panel.Format = format;
        panel.Page(codec) = page;
        panel.OggManagedBitrate = managed;
        panel.OpusVbr = vbr;

        QString error;
        const auto preset = PresetFromPanel(FTable, panel, QStringLiteral("x"), &error);
        QVERIFY2(preset, qPrintable(error));
        QVERIFY(preset->FUserProfile);

        // Through a file, as a restart would do.
        TProfileManager manager(FBuiltIn, FUser);
        const QString written = manager.WriteProfileToFile(*preset, FUser + QStringLiteral("/x.prf"),
                                                           QStringLiteral("x"), &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        const auto reread = TProfileManager::ReadProfileFromFile(written, true);
        QVERIFY(reread);
        QCOMPARE(*reread, *preset);

        TCodecPanelPositions other = DefaultPanelPositions(FTable);
        other.Format = codec == ocMP3 ? ocWAV : ocMP3;
        const TCodecPanelPositions applied = ApplyPreset(FTable, *reread, other);
        QCOMPARE(applied.Format, format);
        // The page's meaningful lists come back; lists the format lacks keep what they had.
        const TEncodingProfile expected = CreateEncodingProfile(FTable, panel);
        const TEncodingProfile actual = CreateEncodingProfile(FTable, applied);
        QCOMPARE(actual.FEncodeType, expected.FEncodeType);
        QCOMPARE(actual.FBitrate, expected.FBitrate);
        QCOMPARE(actual.FQuality, expected.FQuality);
        QCOMPARE(actual.FCompression, expected.FCompression);
        QCOMPARE(actual.FSampleRate, expected.FSampleRate);
        QCOMPARE(actual.FChannel, expected.FChannel);
        QCOMPARE(actual.FBitDepth, expected.FBitDepth);
        QCOMPARE(actual.FOggManagedBitrateMode, expected.FOggManagedBitrateMode);
    }

    void storedValuesAreEnumerationValues() {
        TCodecPanelPositions panel = DefaultPanelPositions(FTable);
        panel.Page(ocMP3).SampleRate = 2; // 44100 in the MP3 list
        const auto mp3 = PresetFromPanel(FTable, panel, QStringLiteral("mp3"));
        QVERIFY(mp3);
        panel.Format = ocFLAC;
        panel.Page(ocFLAC).BitDepth = 2;
        const auto flac = PresetFromPanel(FTable, panel, QStringLiteral("flac"));
        QVERIFY(flac);

        TProfileManager manager(FBuiltIn, FUser);
        const QString mp3Path =
            manager.WriteProfileToFile(*mp3, FUser + QStringLiteral("/mp3.prf"), mp3->FTitle);
        const QString flacPath =
            manager.WriteProfileToFile(*flac, FUser + QStringLiteral("/flac.prf"), flac->FTitle);
        QCOMPARE(TIniStore(mp3Path).ReadInteger(QStringLiteral("SampleRate"), QStringLiteral("Index"), -1),
                 3);
        QCOMPARE(TIniStore(flacPath).ReadInteger(QStringLiteral("BitDepth"), QStringLiteral("Index"), -1), 2);

        const TCodecPanelPositions start = DefaultPanelPositions(FTable);
        const auto mp3Read = TProfileManager::ReadProfileFromFile(mp3Path, true);
        QCOMPARE(ApplyPreset(FTable, *mp3Read, start).Page(ocMP3).SampleRate, 2);
        const auto flacRead = TProfileManager::ReadProfileFromFile(flacPath, true);
        const TCodecPanelPositions applied = ApplyPreset(FTable, *flacRead, start);
        QCOMPARE(DisplayTexts(FTable[ocFLAC].FSupportedBitDepths).value(applied.Page(ocFLAC).BitDepth),
                 QStringLiteral("24"));
    }

    void valuesOutsideTheFormatsListsLeaveThePanel() {
        TProfile preset = presetFile(ocMP3, QStringLiteral("odd"));
        preset.FSampleRate = sr96000; // MP3 offers no 96000
        preset.FEncodingType = etCompression;
        preset.FBitrateIndex = 11;
        preset.FQualityIndex = -1;
        preset.FChannel = ch4_1;
        const TCodecPanelPositions start = DefaultPanelPositions(FTable);
        QCOMPARE(ApplyPreset(FTable, preset, start).Page(ocMP3), start.Page(ocMP3));

        preset = presetFile(ocWAV, QStringLiteral("wav"));
        preset.FBitDepth = bd24;
        preset.FSampleRate = sr96000;
        const TCodecPanelPositions wav = ApplyPreset(FTable, preset, start);
        QCOMPARE(wav.Page(ocWAV).SampleRate, 1);
        QCOMPARE(wav.Page(ocWAV).BitDepth, 2);
        QCOMPARE(wav.Page(ocMP3), start.Page(ocMP3));
    }

    void presetFromPanelRefusesMissingSelections_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("error");
        QTest::newRow("mp3") << int(ocMP3) << QStringLiteral("No channel layout is selected.");
        QTest::newRow("flac") << int(ocFLAC) << QStringLiteral("No channel layout is selected.");
        QTest::newRow("unknown format") << 8 << QStringLiteral("Unable to decidec the selected codec type.");
        QTest::newRow("no format") << -1 << QStringLiteral("Unable to decidec the selected codec type.");
    }
    void presetFromPanelRefusesMissingSelections() {
        QFETCH(int, format);
        QFETCH(QString, error);
        TCodecPanelPositions panel = emptyPanel();
        panel.Format = format;
        QString reason;
        QVERIFY(!PresetFromPanel(FTable, panel, QStringLiteral("x"), &reason));
        QCOMPARE(reason, error);

        // Only the bit rate missing is refused too.
        if (format == ocMP3) {
            panel = DefaultPanelPositions(FTable);
            panel.Page(ocMP3).Bitrate = 11;
            QVERIFY(!PresetFromPanel(FTable, panel, QStringLiteral("x"), &reason));
            QCOMPARE(reason, QStringLiteral("No bit rate is selected."));
        }
    }

    void twoPresetsNamedLoud() {
        {
            TProfileManager manager(FBuiltIn, FUser);
            manager.ListProfiles();
            QVERIFY(manager.SaveUserProfile(presetFile(ocMP3, {}), QStringLiteral("Loud")));
            QVERIFY(manager.SaveUserProfile(presetFile(ocMP3, {}), QStringLiteral("Loud")));
            QCOMPARE(titles(manager.Profiles()),
                     (QStringList{QStringLiteral("Loud"), QStringLiteral("Loud")}));
        }
        QVERIFY(QFileInfo::exists(FUser + QStringLiteral("/Loud.prf")));
        QVERIFY(QFileInfo::exists(FUser + QStringLiteral("/Loud1.prf")));
        QCOMPARE(TIniStore(FUser + QStringLiteral("/Loud1.prf"))
                     .ReadString(QStringLiteral("General"), QStringLiteral("Title")),
                 QStringLiteral("Loud"));

        TProfileManager restarted(FBuiltIn, FUser);
        restarted.ListProfiles();
        QCOMPARE(titles(restarted.Profiles()), (QStringList{QStringLiteral("Loud"), QStringLiteral("Loud")}));
        QVERIFY(restarted.Profiles().first().FUserProfile);
    }

    void unsafeNameBecomesASafeFileName() {
        TProfileManager manager(FBuiltIn, FUser);
        const auto saved = manager.SaveUserProfile(presetFile(ocOPUS, {}), QStringLiteral("a/b:c"));
        QVERIFY(saved);
        QCOMPARE(saved->FTitle, QStringLiteral("a/b:c"));
        const QString file = FUser + QStringLiteral("/a_b_c.prf");
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(TIniStore(file).ReadString(QStringLiteral("General"), QStringLiteral("Title")),
                 QStringLiteral("a/b:c"));
        QCOMPARE(manager.UserProfilePath(QStringLiteral("..")), FUser + QStringLiteral("/...prf"));
    }

    void firstUserPresetCopiesTheBuiltInList() {
        QVERIFY(
            TestSupport::WriteFile(FBuiltIn + QStringLiteral("/one.prf"), "[General]\nTitle=One\nCodec=0\n"));
        QVERIFY(
            TestSupport::WriteFile(FBuiltIn + QStringLiteral("/two.prf"), "[General]\nTitle=Two\nCodec=3\n"));
        QVERIFY(TestSupport::WriteFile(FBuiltIn + QStringLiteral("/profiles.dat"), "one.prf\r\ntwo.prf\r\n"));
        {
            TProfileManager manager(FBuiltIn, FUser);
            manager.ListProfiles();
            QCOMPARE(titles(manager.Profiles()), (QStringList{QStringLiteral("One"), QStringLiteral("Two")}));
            QVERIFY(manager.SaveUserProfile(presetFile(ocMP3, {}), QStringLiteral("Größer")));
            QCOMPARE(titles(manager.ProfilesOfCodec(ocMP3)),
                     (QStringList{QStringLiteral("One"), QStringLiteral("Größer")}));
            QCOMPARE(titles(manager.ProfilesOfCodec(ocOPUS)), QStringList{QStringLiteral("Two")});
        }
        const QString userList =
            QString::fromUtf8(TestSupport::ReadFile(FUser + QStringLiteral("/profiles.dat")));
        QCOMPARE(userList.split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("one.prf"), QStringLiteral("two.prf"),
                              FUser + QStringLiteral("/Größer.prf")}));

        TProfileManager restarted(FBuiltIn, FUser);
        restarted.ListProfiles();
        QCOMPARE(titles(restarted.Profiles()),
                 (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Größer")}));
        QCOMPARE(restarted.Profiles()[2].FUserProfile, true);
        QCOMPARE(restarted.Profiles()[0].FUserProfile, false);
    }

    void builtInHidesUserFileOfTheSameName() {
        QVERIFY(
            TestSupport::WriteFile(FBuiltIn + QStringLiteral("/same.prf"), "[General]\nTitle=Built in\n"));
        QVERIFY(TestSupport::WriteFile(FUser + QStringLiteral("/same.prf"), "[General]\nTitle=Mine\n"));
        QVERIFY(TestSupport::WriteFile(FUser + QStringLiteral("/only.prf"), "[General]\nTitle=Only mine\n"));
        // Entries written elsewhere name their files by any path; only the name counts.
        QVERIFY(
            TestSupport::WriteFile(FUser + QStringLiteral("/profiles.dat"),
                                   "C:\\Users\\x\\AppData\\same.prf\n/old/home/only.prf\nmissing.prf\n\n"));
        TProfileManager manager(FBuiltIn, FUser);
        manager.ListProfiles();
        QCOMPARE(titles(manager.Profiles()),
                 (QStringList{QStringLiteral("Built in"), QStringLiteral("Only mine")}));
        QCOMPARE(manager.Profiles()[0].FUserProfile, false);
        QCOMPARE(manager.Profiles()[1].FUserProfile, true);
    }

    void userListNamingNoFilesListsNothing() {
        QVERIFY(TestSupport::WriteFile(FBuiltIn + QStringLiteral("/one.prf"), "[General]\nTitle=One\n"));
        QVERIFY(TestSupport::WriteFile(FBuiltIn + QStringLiteral("/profiles.dat"), "one.prf\n"));
        QVERIFY(TestSupport::WriteFile(FUser + QStringLiteral("/profiles.dat"), ""));
        TProfileManager manager(FBuiltIn, FUser);
        manager.ListProfiles();
        QVERIFY(manager.Profiles().isEmpty());
    }

    void missingListFilesListNothing() {
        TProfileManager manager(FBuiltIn + QStringLiteral("/nothing"), FUser + QStringLiteral("/nothing"));
        manager.ListProfiles();
        QVERIFY(manager.Profiles().isEmpty());
        QVERIFY(manager.ProfilesList().isEmpty());
    }

    void badPresetFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("bitDepth");
        QTest::newRow("empty") << QByteArray() << true << 0 << 0;
        QTest::newRow("junk") << QByteArray("\x01\xff\xfe[[[==\n\x00\x07", 11) << true << 0 << 0;
        QTest::newRow("sections without keys") << QByteArray("[General]\n[Bitrate]\n") << true << 0 << 0;
        QTest::newRow("enumerations out of range")
            << QByteArray(
                   "[General]\nCodec=5\nEncodingType=9\n[SampleRate]\nIndex=300\n[BitDepth]\nIndex=-1\n")
            << true << 0 << 0;
        QTest::newRow("valid values")
            << QByteArray("[general]\ncodec=5\n[samplerate]\nindex=8\n[bitdepth]\nindex=2\n") << true << 8
            << 2;
        QTest::newRow("unknown codec")
            << QByteArray("[General]\nTitle=Future\nCodec=12\n") << false << 0 << 0;
        QTest::newRow("duplicate keys")
            << QByteArray("[General]\nCodec=1\nCodec=5\n[BitDepth]\nIndex=1\n") << true << 0 << 1;
    }
    void badPresetFiles() {
        QFETCH(QByteArray, content);
        QFETCH(bool, listed);
        QFETCH(int, sampleRate);
        QFETCH(int, bitDepth);
        QVERIFY(TestSupport::WriteFile(FUser + QStringLiteral("/bad.prf"), content));
        QVERIFY(TestSupport::WriteFile(FUser + QStringLiteral("/profiles.dat"), "bad.prf\n"));
        TProfileManager manager(FBuiltIn, FUser);
        manager.ListProfiles();
        QCOMPARE(manager.Profiles().size(), listed ? 1 : 0);
        if (!listed) {
            QVERIFY(logText().contains(QStringLiteral("TProfileManager.ReadProfileFromFile")));
            return;
        }
        const TProfile& profile = manager.Profiles().first();
        QCOMPARE(int(profile.FSampleRate), sampleRate);
        QCOMPARE(int(profile.FBitDepth), bitDepth);
        QVERIFY(int(profile.FEncodingType) <= etNone);
        // Applying it never produces a panel without a usable profile.
        const TCodecPanelPositions applied = ApplyPreset(FTable, profile, DefaultPanelPositions(FTable));
        QCOMPARE(CreateEncodingProfile(FTable, applied).FCodecId, profile.FCodecId);
    }

    void unwritableUserFolderLosesNothing() {
        QVERIFY(TestSupport::WriteFile(FBuiltIn + QStringLiteral("/one.prf"), "[General]\nTitle=One\n"));
        QVERIFY(TestSupport::WriteFile(FBuiltIn + QStringLiteral("/profiles.dat"), "one.prf\n"));
        const QString blocker = FDir.filePath(QStringLiteral("blocker"));
        QVERIFY(TestSupport::WriteFile(blocker, "a file, not a folder"));
        TProfileManager manager(FBuiltIn, blocker + QStringLiteral("/Profiles"));
        manager.ListProfiles();
        QString error;
        QVERIFY(!manager.SaveUserProfile(presetFile(ocMP3, {}), QStringLiteral("New"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(titles(manager.Profiles()), QStringList{QStringLiteral("One")});
        QCOMPARE(manager.ProfilesList(), QStringList{QStringLiteral("one.prf")});
        QCOMPARE(TestSupport::ReadFile(blocker), QByteArray("a file, not a folder"));
        QVERIFY(logText().contains(QStringLiteral("AddPresetBtnClick")));
        QVERIFY(logText().contains(QStringLiteral("Error while saving the preset. ")));
    }

    void shippedPresets() {
        const QString folder = TestSupport::ProgramDir() + QStringLiteral("/profiles");
        TProfileManager manager(folder, FUser);
        manager.ListProfiles();
        QCOMPARE(manager.Profiles().size(), manager.ProfilesList().size());
        for (int codec = 0; codec < OutputCodecCount; ++codec)
            QVERIFY2(!manager.ProfilesOfCodec(TOutputCodec(codec)).isEmpty(),
                     qPrintable(QString::number(codec)));
        for (const TProfile& preset : manager.Profiles()) {
            QVERIFY(!preset.FTitle.isEmpty());
            QVERIFY(!preset.FUserProfile);
            // Every stored value is one the format offers, so applying it sets every list.
            const TCodecPanelPositions applied = ApplyPreset(FTable, preset, emptyPanel());
            const TCodec& codec = FTable[preset.FCodecId];
            const TCodecPagePositions& page = applied.Page(preset.FCodecId);
            QVERIFY2(page.SampleRate >= 0 && page.Channel >= 0, qPrintable(preset.FTitle));
            QVERIFY2(codec.FSupportedBitDepths.isEmpty() || page.BitDepth >= 0, qPrintable(preset.FTitle));
            QVERIFY2(codec.FSupportedBitrates.isEmpty() || page.Bitrate >= 0, qPrintable(preset.FTitle));
            QVERIFY2(codec.FSupportedQualities.isEmpty() || page.Quality >= 0, qPrintable(preset.FTitle));
            const bool hasMethodList =
                preset.FCodecId == ocMP3 || preset.FCodecId == ocAAC || preset.FCodecId == ocOGG;
            QVERIFY2(!hasMethodList || page.Method >= 0, qPrintable(preset.FTitle));
            QVERIFY2(preset.FCodecId != ocOPUS || preset.FOpusVbr == (preset.FEncodingType == etQuality),
                     qPrintable(preset.FTitle));
        }
    }
};

QTEST_GUILESS_MAIN(TestPresets)
#include "tst_presets.moc"
