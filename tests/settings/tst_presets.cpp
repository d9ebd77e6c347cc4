#include "base/Log.h"
#include "model/EncodingProfileBuilder.h"
#include "settings/IniStore.h"
#include "settings/PresetManager.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CodecPagePositions)

namespace {

QStringList titles(const QList<Preset>& profiles) {
    QStringList list;
    for (const Preset& profile : profiles)
        list.append(profile.title);
    return list;
}

// A panel where every list of every page is without a selection.
CodecPanelPositions emptyPanel() {
    CodecPanelPositions panel;
    for (CodecPagePositions& page : panel.pages)
        page = {-1, -1, -1, -1, -1, -1};
    return panel;
}

} // namespace

class TestPresets : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    CodecTable m_table = buildCodecTable();
    QString m_builtIn;
    QString m_user;

    Preset presetFile(OutputCodec codec, const QString& title) {
        Preset profile;
        profile.codecId = codec;
        profile.title = title;
        return profile;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        configureProgramLog(m_dir.filePath(QStringLiteral("log")));
    }

    void init() {
        // Fresh folders for every test: the user list decides what is listed.
        static int round = 0;
        ++round;
        m_builtIn = m_dir.filePath(QStringLiteral("builtin%1").arg(round));
        m_user = m_dir.filePath(QStringLiteral("user%1").arg(round));
        QVERIFY(QDir().mkpath(m_builtIn) && QDir().mkpath(m_user));
    }

    void panelToPresetAndBack_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<CodecPagePositions>("page");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("vbr");
        QTest::newRow("mp3 quality 44100 mono")
            << int(OutputCodec::Mp3) << CodecPagePositions{1, 3, 0, 2, 1, 0} << false << false;
        QTest::newRow("aac cbr 8000")
            << int(OutputCodec::Aac) << CodecPagePositions{0, 10, 21, 7, 2, 0} << false << false;
        QTest::newRow("ogg managed") << int(OutputCodec::Ogg) << CodecPagePositions{0, 2, 5, 3, 0, 0} << true
                                     << false;
        QTest::newRow("opus vbr") << int(OutputCodec::Opus) << CodecPagePositions{0, 4, 0, 1, 2, 0} << false
                                  << true;
        QTest::newRow("wma") << int(OutputCodec::Wma) << CodecPagePositions{0, 1, 0, 6, 1, 0} << false
                             << false;
        QTest::newRow("flac 24 bit 96000")
            << int(OutputCodec::Flac) << CodecPagePositions{0, 0, 8, 1, 2, 2} << false << false;
        QTest::newRow("alac 16 bit") << int(OutputCodec::Alac) << CodecPagePositions{0, 0, 0, 8, 1, 1}
                                     << false << false;
        QTest::newRow("wav original")
            << int(OutputCodec::Wav) << CodecPagePositions{0, 0, 0, 0, 0, 0} << false << false;
    }
    void panelToPresetAndBack() {
        QFETCH(int, format);
        QFETCH(CodecPagePositions, page);
        QFETCH(bool, managed);
        QFETCH(bool, vbr);
        const auto codec = OutputCodec(format);
        CodecPanelPositions panel = defaultPanelPositions(m_table);
        panel.format = format;
        panel.page(codec) = page;
        panel.oggManagedBitrate = managed;
        panel.opusVbr = vbr;

        QString error;
        const auto preset = presetFromPanel(m_table, panel, QStringLiteral("x"), &error);
        QVERIFY2(preset, qPrintable(error));
        QVERIFY(preset->userPreset);

        // Through a file, as a restart would do.
        PresetManager manager(m_builtIn, m_user);
        const QString written = manager.writeProfileToFile(*preset, m_user + QStringLiteral("/x.prf"),
                                                           QStringLiteral("x"), &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        const auto reread = PresetManager::readPresetFromFile(written, true);
        QVERIFY(reread);
        QCOMPARE(*reread, *preset);

        CodecPanelPositions other = defaultPanelPositions(m_table);
        other.format = ordinal(OutputCodec(codec) == OutputCodec::Mp3 ? OutputCodec::Wav : OutputCodec::Mp3);
        const CodecPanelPositions applied = applyPreset(m_table, *reread, other);
        QCOMPARE(applied.format, format);
        // The page's meaningful lists come back; lists the format lacks keep what they had.
        const EncodingProfile expected = createEncodingProfile(m_table, panel);
        const EncodingProfile actual = createEncodingProfile(m_table, applied);
        QCOMPARE(actual.encodeType, expected.encodeType);
        QCOMPARE(actual.bitrate, expected.bitrate);
        QCOMPARE(actual.quality, expected.quality);
        QCOMPARE(actual.compression, expected.compression);
        QCOMPARE(actual.sampleRate, expected.sampleRate);
        QCOMPARE(actual.channel, expected.channel);
        QCOMPARE(actual.bitDepth, expected.bitDepth);
        QCOMPARE(actual.oggManagedBitrateMode, expected.oggManagedBitrateMode);
    }

    void storedValuesAreEnumerationValues() {
        CodecPanelPositions panel = defaultPanelPositions(m_table);
        panel.page(OutputCodec::Mp3).sampleRate = 2; // 44100 in the MP3 list
        const auto mp3 = presetFromPanel(m_table, panel, QStringLiteral("mp3"));
        QVERIFY(mp3);
        panel.format = ordinal(OutputCodec::Flac);
        panel.page(OutputCodec::Flac).bitDepth = 2;
        const auto flac = presetFromPanel(m_table, panel, QStringLiteral("flac"));
        QVERIFY(flac);

        PresetManager manager(m_builtIn, m_user);
        const QString mp3Path =
            manager.writeProfileToFile(*mp3, m_user + QStringLiteral("/mp3.prf"), mp3->title);
        const QString flacPath =
            manager.writeProfileToFile(*flac, m_user + QStringLiteral("/flac.prf"), flac->title);
        QCOMPARE(IniStore(mp3Path).readInteger(QStringLiteral("SampleRate"), QStringLiteral("Index"), -1), 3);
        QCOMPARE(IniStore(flacPath).readInteger(QStringLiteral("BitDepth"), QStringLiteral("Index"), -1), 2);

        const CodecPanelPositions start = defaultPanelPositions(m_table);
        const auto mp3Read = PresetManager::readPresetFromFile(mp3Path, true);
        QCOMPARE(applyPreset(m_table, *mp3Read, start).page(OutputCodec::Mp3).sampleRate, 2);
        const auto flacRead = PresetManager::readPresetFromFile(flacPath, true);
        const CodecPanelPositions applied = applyPreset(m_table, *flacRead, start);
        QCOMPARE(displayTexts(m_table[ordinal(OutputCodec::Flac)].supportedBitDepths)
                     .value(applied.page(OutputCodec::Flac).bitDepth),
                 QStringLiteral("24"));
    }

    void valuesOutsideTheFormatsListsLeaveThePanel() {
        Preset preset = presetFile(OutputCodec::Mp3, QStringLiteral("odd"));
        preset.sampleRate = SampleRate::Hz96000; // MP3 offers no 96000
        preset.encodingType = EncodeType::Compression;
        preset.bitrateIndex = 11;
        preset.qualityIndex = -1;
        preset.channel = ChannelType::FourPointOne;
        const CodecPanelPositions start = defaultPanelPositions(m_table);
        QCOMPARE(applyPreset(m_table, preset, start).page(OutputCodec::Mp3), start.page(OutputCodec::Mp3));

        preset = presetFile(OutputCodec::Wav, QStringLiteral("wav"));
        preset.bitDepth = BitDepth::Bits24;
        preset.sampleRate = SampleRate::Hz96000;
        const CodecPanelPositions wav = applyPreset(m_table, preset, start);
        QCOMPARE(wav.page(OutputCodec::Wav).sampleRate, 1);
        QCOMPARE(wav.page(OutputCodec::Wav).bitDepth, 2);
        QCOMPARE(wav.page(OutputCodec::Mp3), start.page(OutputCodec::Mp3));
    }

    void presetFromPanelRefusesMissingSelections_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("error");
        QTest::newRow("mp3") << int(OutputCodec::Mp3) << QStringLiteral("No channel layout is selected.");
        QTest::newRow("flac") << int(OutputCodec::Flac) << QStringLiteral("No channel layout is selected.");
        QTest::newRow("unknown format") << 8 << QStringLiteral("Unable to decidec the selected codec type.");
        QTest::newRow("no format") << -1 << QStringLiteral("Unable to decidec the selected codec type.");
    }
    void presetFromPanelRefusesMissingSelections() {
        QFETCH(int, format);
        QFETCH(QString, error);
        CodecPanelPositions panel = emptyPanel();
        panel.format = format;
        QString reason;
        QVERIFY(!presetFromPanel(m_table, panel, QStringLiteral("x"), &reason));
        QCOMPARE(reason, error);

        // Only the bit rate missing is refused too.
        if (OutputCodec(format) == OutputCodec::Mp3) {
            panel = defaultPanelPositions(m_table);
            panel.page(OutputCodec::Mp3).bitrate = 11;
            QVERIFY(!presetFromPanel(m_table, panel, QStringLiteral("x"), &reason));
            QCOMPARE(reason, QStringLiteral("No bit rate is selected."));
        }
    }

    void twoPresetsNamedLoud() {
        {
            PresetManager manager(m_builtIn, m_user);
            manager.listPresets();
            QVERIFY(manager.saveUserPreset(presetFile(OutputCodec::Mp3, {}), QStringLiteral("Loud")));
            QVERIFY(manager.saveUserPreset(presetFile(OutputCodec::Mp3, {}), QStringLiteral("Loud")));
            QCOMPARE(titles(manager.presets()),
                     (QStringList{QStringLiteral("Loud"), QStringLiteral("Loud")}));
        }
        QVERIFY(QFileInfo::exists(m_user + QStringLiteral("/Loud.prf")));
        QVERIFY(QFileInfo::exists(m_user + QStringLiteral("/Loud1.prf")));
        QCOMPARE(IniStore(m_user + QStringLiteral("/Loud1.prf"))
                     .readString(QStringLiteral("General"), QStringLiteral("Title")),
                 QStringLiteral("Loud"));

        PresetManager restarted(m_builtIn, m_user);
        restarted.listPresets();
        QCOMPARE(titles(restarted.presets()), (QStringList{QStringLiteral("Loud"), QStringLiteral("Loud")}));
        QVERIFY(restarted.presets().first().userPreset);
    }

    void unsafeNameBecomesASafeFileName() {
        PresetManager manager(m_builtIn, m_user);
        const auto saved = manager.saveUserPreset(presetFile(OutputCodec::Opus, {}), QStringLiteral("a/b:c"));
        QVERIFY(saved);
        QCOMPARE(saved->title, QStringLiteral("a/b:c"));
        const QString file = m_user + QStringLiteral("/a_b_c.prf");
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(IniStore(file).readString(QStringLiteral("General"), QStringLiteral("Title")),
                 QStringLiteral("a/b:c"));
        QCOMPARE(manager.userProfilePath(QStringLiteral("..")), m_user + QStringLiteral("/...prf"));
    }

    void firstUserPresetCopiesTheBuiltInList() {
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/one.prf"),
                                       "[General]\nTitle=One\nCodec=0\n"));
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/two.prf"),
                                       "[General]\nTitle=Two\nCodec=3\n"));
        QVERIFY(
            TestSupport::writeFile(m_builtIn + QStringLiteral("/profiles.dat"), "one.prf\r\ntwo.prf\r\n"));
        {
            PresetManager manager(m_builtIn, m_user);
            manager.listPresets();
            QCOMPARE(titles(manager.presets()), (QStringList{QStringLiteral("One"), QStringLiteral("Two")}));
            QVERIFY(manager.saveUserPreset(presetFile(OutputCodec::Mp3, {}), QStringLiteral("Größer")));
            QCOMPARE(titles(manager.presetsOfCodec(OutputCodec::Mp3)),
                     (QStringList{QStringLiteral("One"), QStringLiteral("Größer")}));
            QCOMPARE(titles(manager.presetsOfCodec(OutputCodec::Opus)), QStringList{QStringLiteral("Two")});
        }
        const QString userList =
            QString::fromUtf8(TestSupport::readFile(m_user + QStringLiteral("/profiles.dat")));
        QCOMPARE(userList.split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("one.prf"), QStringLiteral("two.prf"),
                              m_user + QStringLiteral("/Größer.prf")}));

        PresetManager restarted(m_builtIn, m_user);
        restarted.listPresets();
        QCOMPARE(titles(restarted.presets()),
                 (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Größer")}));
        QCOMPARE(restarted.presets()[2].userPreset, true);
        QCOMPARE(restarted.presets()[0].userPreset, false);
    }

    void builtInHidesUserFileOfTheSameName() {
        QVERIFY(
            TestSupport::writeFile(m_builtIn + QStringLiteral("/same.prf"), "[General]\nTitle=Built in\n"));
        QVERIFY(TestSupport::writeFile(m_user + QStringLiteral("/same.prf"), "[General]\nTitle=Mine\n"));
        QVERIFY(TestSupport::writeFile(m_user + QStringLiteral("/only.prf"), "[General]\nTitle=Only mine\n"));
        // Entries written elsewhere name their files by any path; only the name counts.
        QVERIFY(
            TestSupport::writeFile(m_user + QStringLiteral("/profiles.dat"),
                                   "C:\\Users\\x\\AppData\\same.prf\n/old/home/only.prf\nmissing.prf\n\n"));
        PresetManager manager(m_builtIn, m_user);
        manager.listPresets();
        QCOMPARE(titles(manager.presets()),
                 (QStringList{QStringLiteral("Built in"), QStringLiteral("Only mine")}));
        QCOMPARE(manager.presets()[0].userPreset, false);
        QCOMPARE(manager.presets()[1].userPreset, true);
    }

    void userListNamingNoFilesListsNothing() {
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/one.prf"), "[General]\nTitle=One\n"));
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/profiles.dat"), "one.prf\n"));
        QVERIFY(TestSupport::writeFile(m_user + QStringLiteral("/profiles.dat"), ""));
        PresetManager manager(m_builtIn, m_user);
        manager.listPresets();
        QVERIFY(manager.presets().isEmpty());
    }

    void missingListFilesListNothing() {
        PresetManager manager(m_builtIn + QStringLiteral("/nothing"), m_user + QStringLiteral("/nothing"));
        manager.listPresets();
        QVERIFY(manager.presets().isEmpty());
        QVERIFY(manager.profilesList().isEmpty());
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
        QVERIFY(TestSupport::writeFile(m_user + QStringLiteral("/bad.prf"), content));
        QVERIFY(TestSupport::writeFile(m_user + QStringLiteral("/profiles.dat"), "bad.prf\n"));
        PresetManager manager(m_builtIn, m_user);
        manager.listPresets();
        QCOMPARE(manager.presets().size(), listed ? 1 : 0);
        if (!listed) {
            QVERIFY(TestSupport::programLogText().contains(
                QStringLiteral("TProfileManager.ReadProfileFromFile")));
            return;
        }
        const Preset& profile = manager.presets().first();
        QCOMPARE(int(profile.sampleRate), sampleRate);
        QCOMPARE(int(profile.bitDepth), bitDepth);
        QVERIFY(int(profile.encodingType) <= ordinal(EncodeType::None));
        // Applying it never produces a panel without a usable profile.
        const CodecPanelPositions applied = applyPreset(m_table, profile, defaultPanelPositions(m_table));
        QCOMPARE(createEncodingProfile(m_table, applied).codecId, profile.codecId);
    }

    void unwritableUserFolderLosesNothing() {
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/one.prf"), "[General]\nTitle=One\n"));
        QVERIFY(TestSupport::writeFile(m_builtIn + QStringLiteral("/profiles.dat"), "one.prf\n"));
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QVERIFY(TestSupport::writeFile(blocker, "a file, not a folder"));
        PresetManager manager(m_builtIn, blocker + QStringLiteral("/Profiles"));
        manager.listPresets();
        QString error;
        QVERIFY(!manager.saveUserPreset(presetFile(OutputCodec::Mp3, {}), QStringLiteral("New"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(titles(manager.presets()), QStringList{QStringLiteral("One")});
        QCOMPARE(manager.profilesList(), QStringList{QStringLiteral("one.prf")});
        QCOMPARE(TestSupport::readFile(blocker), QByteArray("a file, not a folder"));
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("AddPresetBtnClick")));
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("Error while saving the preset. ")));
    }

    void shippedPresets() {
        const QString folder = TestSupport::programDir() + QStringLiteral("/profiles");
        PresetManager manager(folder, m_user);
        manager.listPresets();
        QCOMPARE(manager.presets().size(), manager.profilesList().size());
        for (int codec = 0; codec < OutputCodecCount; ++codec)
            QVERIFY2(!manager.presetsOfCodec(OutputCodec(codec)).isEmpty(),
                     qPrintable(QString::number(codec)));
        for (const Preset& preset : manager.presets()) {
            QVERIFY(!preset.title.isEmpty());
            QVERIFY(!preset.userPreset);
            // Every stored value is one the format offers, so applying it sets every list.
            const CodecPanelPositions applied = applyPreset(m_table, preset, emptyPanel());
            const CodecCapabilities& codec = m_table[ordinal(preset.codecId)];
            const CodecPagePositions& page = applied.page(preset.codecId);
            QVERIFY2(page.sampleRate >= 0 && page.channel >= 0, qPrintable(preset.title));
            QVERIFY2(codec.supportedBitDepths.isEmpty() || page.bitDepth >= 0, qPrintable(preset.title));
            QVERIFY2(codec.supportedBitrates.isEmpty() || page.bitrate >= 0, qPrintable(preset.title));
            QVERIFY2(codec.supportedQualities.isEmpty() || page.quality >= 0, qPrintable(preset.title));
            const bool hasMethodList = preset.codecId == OutputCodec::Mp3 ||
                                       preset.codecId == OutputCodec::Aac ||
                                       preset.codecId == OutputCodec::Ogg;
            QVERIFY2(!hasMethodList || page.method >= 0, qPrintable(preset.title));
            QVERIFY2(preset.codecId != OutputCodec::Opus ||
                         preset.opusVbr == (preset.encodingType == EncodeType::Quality),
                     qPrintable(preset.title));
        }
    }
};

QTEST_GUILESS_MAIN(TestPresets)
#include "tst_presets.moc"
