#include "model/EncodingProfileBuilder.h"

#include <QtTest>

using TypedBitrate = std::optional<QString>;
Q_DECLARE_METATYPE(CodecPanelPositions)
Q_DECLARE_METATYPE(TypedBitrate)

namespace {

CodecPanelPositions panelFor(OutputCodec codec, CodecPagePositions page) {
    CodecPanelPositions panel = defaultPanelPositions(buildCodecTable());
    panel.format = ordinal(codec);
    panel.page(codec) = page;
    return panel;
}

// Profile fields compared as one text, so a failing row shows every field at once.
QString describe(const EncodingProfile& p) {
    return QStringLiteral(
               "codec=%1 type=%2 bitrate=%3 quality=%4 compression=%5 sr=%6/%7 ch=%8/%9 bd=%10/%11 "
               "managed=%12")
        .arg(ordinal(p.codecId))
        .arg(ordinal(p.encodeType))
        .arg(p.bitrate, p.quality, p.compression, p.sampleRate)
        .arg(p.changeSampleRate)
        .arg(ordinal(p.channel))
        .arg(p.changeChannel)
        .arg(ordinal(p.bitDepth))
        .arg(p.changeBitDepth)
        .arg(p.oggManagedBitrateMode);
}

} // namespace

class TestEncodingProfileBuilder : public QObject {
    Q_OBJECT
private slots:
    void profileFromPanel_data() {
        QTest::addColumn<CodecPanelPositions>("panel");
        QTest::addColumn<TypedBitrate>("typed");
        QTest::addColumn<QString>("expected");

        // Page positions: method, bit rate, quality, sample rate, channel, bit depth.
        QTest::newRow("mp3 cbr 192 keeps quality empty")
            << panelFor(OutputCodec::Mp3, {0, 2, 3, 0, 0, 0}) << TypedBitrate()
            << "codec=0 type=0 bitrate=192 quality= compression= sr=Original/0 ch=0/0 bd=0/0 managed=0";
        QTest::newRow("mp3 quality position is the text, 44100 stereo")
            << panelFor(OutputCodec::Mp3, {1, 2, 7, 2, 2, 0}) << TypedBitrate()
            << "codec=0 type=1 bitrate= quality=7 compression= sr=44100/1 ch=2/1 bd=0/0 managed=0";
        QTest::newRow("typed bit rate reaches the profile as typed")
            << panelFor(OutputCodec::Mp3, {0, 4, 0, 0, 1, 0}) << TypedBitrate(QStringLiteral("200"))
            << "codec=0 type=0 bitrate=200 quality= compression= sr=Original/0 ch=1/1 bd=0/0 managed=0";
        QTest::newRow("aac first quality")
            << panelFor(OutputCodec::Aac, {1, 0, 0, 0, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=0.1 compression= sr=Original/0 "
               "ch=0/0 bd=0/0 managed=0";
        QTest::newRow("aac tenth quality is whole")
            << panelFor(OutputCodec::Aac, {1, 0, 9, 0, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=1 compression= "
               "sr=Original/0 ch=0/0 bd=0/0 managed=0";
        QTest::newRow("aac last quality")
            << panelFor(OutputCodec::Aac, {1, 0, 21, 7, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=2.2 compression= sr=8000/1 ch=0/0 "
               "bd=0/0 managed=0";
        QTest::newRow("aac eleventh quality")
            << panelFor(OutputCodec::Aac, {1, 0, 10, 0, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=1.1 compression= "
               "sr=Original/0 ch=0/0 bd=0/0 managed=0";
        QTest::newRow("aac twentieth quality")
            << panelFor(OutputCodec::Aac, {1, 0, 19, 0, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=2 compression= "
               "sr=Original/0 ch=0/0 bd=0/0 managed=0";
        CodecPanelPositions oggQuality = panelFor(OutputCodec::Ogg, {1, 0, 5, 3, 0, 0});
        oggQuality.oggManagedBitrate = true;
        QTest::newRow("ogg quality is position plus one, managed carried")
            << oggQuality << TypedBitrate()
            << "codec=2 type=1 bitrate= quality=6 compression= sr=32000/1 ch=0/0 bd=0/0 managed=1";
        QTest::newRow("ogg cbr")
            << panelFor(OutputCodec::Ogg, {0, 10, 9, 0, 0, 0}) << TypedBitrate()
            << "codec=2 type=0 bitrate=32 quality= compression= sr=Original/0 ch=0/0 bd=0/0 "
               "managed=0";
        CodecPanelPositions opusVbr = panelFor(OutputCodec::Opus, {0, 4, 0, 1, 2, 0});
        opusVbr.opusVbr = true;
        QTest::newRow("opus vbr is quality and keeps the bit rate")
            << opusVbr << TypedBitrate()
            << "codec=3 type=1 bitrate=128 quality= compression= sr=48000/1 ch=2/1 bd=0/0 managed=0";
        QTest::newRow("opus cbr")
            << panelFor(OutputCodec::Opus, {0, 4, 0, 0, 0, 0}) << TypedBitrate()
            << "codec=3 type=0 bitrate=128 quality= compression= sr=Original/0 ch=0/0 bd=0/0 "
               "managed=0";
        // The method list of WMA is never shown; a stale position must not make it a quality encode.
        QTest::newRow("wma always cbr")
            << panelFor(OutputCodec::Wma, {1, 1, 0, 0, 0, 0}) << TypedBitrate()
            << "codec=4 type=0 bitrate=256 quality= compression= sr=Original/0 ch=0/0 "
               "bd=0/0 managed=0";
        QTest::newRow("flac level and 24 bit")
            << panelFor(OutputCodec::Flac, {0, 0, 12, 1, 0, 2}) << TypedBitrate()
            << "codec=5 type=2 bitrate= quality= compression=12 sr=96000/1 "
               "ch=0/0 bd=2/1 managed=0";
        QTest::newRow("alac 16 bit mono")
            << panelFor(OutputCodec::Alac, {0, 0, 0, 0, 1, 1}) << TypedBitrate()
            << "codec=6 type=3 bitrate= quality= compression= sr=Original/0 ch=1/1 "
               "bd=1/1 managed=0";
        QTest::newRow("wav original everything")
            << panelFor(OutputCodec::Wav, {0, 0, 0, 0, 0, 0}) << TypedBitrate()
            << "codec=7 type=3 bitrate= quality= compression= sr=Original/0 "
               "ch=0/0 bd=0/0 managed=0";
        // A stale bit-depth position on a lossy page must not ask for a sample format.
        QTest::newRow("bit depth ignored for mp3")
            << panelFor(OutputCodec::Mp3, {0, 0, 0, 0, 0, 2}) << TypedBitrate()
            << "codec=0 type=0 bitrate=320 quality= compression= "
               "sr=Original/0 ch=0/0 bd=0/0 managed=0";
        // Lists without a selection: never an empty rate that ffmpeg cannot read.
        QTest::newRow("no selection falls back")
            << panelFor(OutputCodec::Mp3, {-1, 99, -1, 17, -1, -1}) << TypedBitrate()
            << "codec=0 type=0 bitrate=128 quality= compression= sr=Original/0 ch=0/0 bd=0/0 managed=0";
        QTest::newRow("no quality selection takes the default")
            << panelFor(OutputCodec::Aac, {1, 0, 40, 0, 0, 0}) << TypedBitrate()
            << "codec=1 type=1 bitrate= quality=0.1 compression= sr=Original/0 ch=0/0 bd=0/0 managed=0";
        CodecPanelPositions unknownFormat = defaultPanelPositions(buildCodecTable());
        unknownFormat.format = 11;
        QTest::newRow("unknown format gives mp3")
            << unknownFormat << TypedBitrate()
            << "codec=0 type=0 bitrate=128 quality= compression= sr=44100/1 ch=2/1 bd=0/0 managed=0";
    }
    void profileFromPanel() {
        QFETCH(CodecPanelPositions, panel);
        QFETCH(TypedBitrate, typed);
        QFETCH(QString, expected);

        const EncodingProfile profile = createEncodingProfile(buildCodecTable(), panel, typed);
        QCOMPARE(describe(profile), expected);

        QCOMPARE(profile.changeSampleRate, profile.sampleRate != QStringLiteral("Original"));
        QCOMPARE(profile.changeChannel, profile.channel != ChannelType::Original);
        QCOMPARE(profile.changeBitDepth, profile.bitDepth != BitDepth::Original);
        const bool hasBitDepth = profile.codecId == OutputCodec::Flac ||
                                 profile.codecId == OutputCodec::Alac || profile.codecId == OutputCodec::Wav;
        QVERIFY(hasBitDepth || !profile.changeBitDepth);
        QVERIFY(profile.bitrates.isEmpty() && profile.qualities.isEmpty() && profile.encodeTypes.isEmpty());
        QVERIFY(profile.title.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEncodingProfileBuilder)
#include "tst_encodingprofilebuilder.moc"
