#include "model/CodecPanelPositions.h"
#include "model/CodecTable.h"

#include <QtTest>

// The panel is filled from this table; a wrong entry shows the user a list
// ffmpeg cannot honour or selects the wrong default at first start.
class TestCodecTable : public QObject {
    Q_OBJECT
private slots:
    void everyCodecOnceInOrder() {
        const CodecTable table = buildCodecTable();
        QCOMPARE(table.size(), OutputCodecCount);
        for (int i = 0; i < table.size(); ++i)
            QCOMPARE(int(table[i].codecId), i);
        QCOMPARE(formatListTexts(),
                 QStringList({"Mpeg-1 Audio Layer III (.mp3)", "Advandec Audio Coding (.m4a)",
                              "Ogg Vorbis (.ogg)", "Opus Codec (.opus)", "Windows Media Audio (.wma)",
                              "Free Lossless Audio Codec (.flac)", "Apple Lossless Codec (.m4a)",
                              "PCM Audio (.wav)"}));
    }

    void listsAndDefaults_data() {
        QTest::addColumn<int>("codec");
        QTest::addColumn<QStringList>("methods");
        QTest::addColumn<QStringList>("sampleRates");
        QTest::addColumn<QStringList>("qualities");
        QTest::addColumn<bool>("hasBitrates");
        QTest::addColumn<bool>("hasBitDepths");
        // The texts shown at the default positions: method, bit rate, sample rate, quality, channel.
        QTest::addColumn<QStringList>("shownDefaults");

        const QStringList setA = QStringList({"Original", "48000", "44100", "32000", "22050", "16000"});
        const QStringList setB = setA + QStringList({"11025", "8000"});
        const QStringList setC =
            QStringList({"Original", "96000", "48000", "44100", "32000", "22050", "16000", "11025", "8000"});
        QStringList aacQualities;
        for (int i = 1; i <= 22; ++i)
            aacQualities.append(QString::number(i));

        QTest::newRow("mp3") << int(OutputCodec::Mp3) << QStringList({"CBR", "Quality"}) << setA
                             << QStringList({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}) << true
                             << false << QStringList({"CBR", "128", "44100", "5", "Stereo"});
        QTest::newRow("aac") << int(OutputCodec::Aac) << QStringList({"CBR", "Quality"}) << setB
                             << aacQualities << true << false
                             << QStringList({"CBR", "112", "44100", "1", "Stereo"});
        QTest::newRow("ogg") << int(OutputCodec::Ogg) << QStringList({"CBR", "Quality"}) << setB
                             << QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}) << true
                             << false << QStringList({"CBR", "112", "32000", "4", "Stereo"});
        QTest::newRow("opus") << int(OutputCodec::Opus) << QStringList({"CBR"}) << setB << QStringList()
                              << true << false << QStringList({"CBR", "112", "32000", "", "Stereo"});
        QTest::newRow("wma") << int(OutputCodec::Wma) << QStringList({"CBR", "Quality"}) << setB
                             << QStringList() << true << false
                             << QStringList({"CBR", "112", "32000", "", "Stereo"});
        QTest::newRow("flac") << int(OutputCodec::Flac) << QStringList({"Compression"}) << setC
                              << QStringList(
                                     {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"})
                              << false << true << QStringList({"Compression", "", "Original", "0", "Stereo"});
        QTest::newRow("alac") << int(OutputCodec::Alac) << QStringList({"None"}) << setC << QStringList()
                              << false << true << QStringList({"None", "", "Original", "", "Stereo"});
        QTest::newRow("wav") << int(OutputCodec::Wav) << QStringList({"None"}) << setC << QStringList()
                             << false << true << QStringList({"None", "", "Original", "", "Original"});
    }
    void listsAndDefaults() {
        QFETCH(int, codec);
        QFETCH(QStringList, methods);
        QFETCH(QStringList, sampleRates);
        QFETCH(QStringList, qualities);
        QFETCH(bool, hasBitrates);
        QFETCH(bool, hasBitDepths);
        QFETCH(QStringList, shownDefaults);

        const CodecCapabilities entry = buildCodecTable().at(codec);
        QCOMPARE(displayTexts(entry.supportedEncodingTypes), methods);
        QCOMPARE(displayTexts(entry.supportedSampleRates), sampleRates);
        QCOMPARE(entry.supportedQualities, qualities);
        QCOMPARE(displayTexts(entry.supportedChannels), QStringList({"Original", "Mono", "Stereo"}));
        QCOMPARE(entry.supportedBitrates, hasBitrates ? QStringList({"320", "256", "192", "160", "128", "112",
                                                                     "96", "80", "64", "48", "32"})
                                                      : QStringList());
        QCOMPARE(displayTexts(entry.supportedBitDepths),
                 hasBitDepths ? QStringList({"Original", "16", "24"}) : QStringList());
        QCOMPARE(entry.defaultBitDepthIndex, 0);

        const QStringList shown = {
            displayTexts(entry.supportedEncodingTypes).value(entry.defaultEncodingTypeIndex),
            entry.supportedBitrates.value(entry.defaultBitrateIndex),
            displayTexts(entry.supportedSampleRates).value(entry.defaultSampleRateIndex),
            entry.supportedQualities.value(entry.defaultQualityIndex),
            displayTexts(entry.supportedChannels).value(entry.defaultChannelIndex)};
        QCOMPARE(shown, shownDefaults);
    }

    void defaultPanelPositionsFollowTable() {
        const CodecTable table = buildCodecTable();
        const CodecPanelPositions panel = defaultPanelPositions(table);
        QCOMPARE(panel.format, int(OutputCodec::Mp3));
        QCOMPARE(panel.page(OutputCodec::Mp3).bitrate, 4);
        QCOMPARE(panel.page(OutputCodec::Ogg).sampleRate, 3);
        QCOMPARE(panel.page(OutputCodec::Wav).channel, 0);
        QCOMPARE(panel.page(OutputCodec::Flac).bitDepth, 0);
        QVERIFY(!panel.oggManagedBitrate);
        QVERIFY(!panel.opusVbr);
    }
};

QTEST_GUILESS_MAIN(TestCodecTable)
#include "tst_codectable.moc"
