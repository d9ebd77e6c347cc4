#include "model/Codecs.h"

#include <QtTest>

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    void displayTexts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sr96000") << displayText(SampleRate::Hz96000) << QStringLiteral("96000");
        QTest::newRow("bdOriginal") << displayText(BitDepth::Original) << QStringLiteral("Original");
        QTest::newRow("ch4_1") << displayText(ChannelType::FourPointOne) << QStringLiteral("4_1");
        QTest::newRow("etCBR") << displayText(EncodeType::Cbr) << QStringLiteral("CBR");
        QTest::newRow("ocMP3") << displayText(OutputCodec::Mp3) << QStringLiteral("MP3");
        QTest::newRow("ch4_1 count") << channelCountText(ChannelType::FourPointOne) << QStringLiteral("5");
        QTest::newRow("ch2_1 count") << channelCountText(ChannelType::TwoPointOne) << QStringLiteral("3");
        QTest::newRow("chOriginal count") << channelCountText(ChannelType::Original) << QString();
        QTest::newRow("bdOriginal format") << sampleFormatText(BitDepth::Original) << QString();
        QTest::newRow("ogg name") << formatName(OutputCodec::Ogg) << QStringLiteral("Ogg Vorbis");
        QTest::newRow("aac m4b") << outputExtension(OutputCodec::Aac, 2) << QStringLiteral(".m4b");
        QTest::newRow("alac ignores aac index")
            << outputExtension(OutputCodec::Alac, 2) << QStringLiteral(".m4a");
        QTest::newRow("aac index out of range")
            << outputExtension(OutputCodec::Aac, 7) << QStringLiteral(".m4a");
    }
    void displayTexts() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
    // Lists, presets and the command line find values by these texts: a value
    // left out of a table, or two values sharing a text, would make one unreachable.
    void everyValueHasATextOfItsOwn() {
        checkTexts<OutputCodec>(OutputCodecCount);
        checkTexts<EncodeType>(4);
        checkTexts<BitDepth>(3);
        checkTexts<ChannelType>(5);
        checkTexts<SampleRate>(9);
        for (int codec = 0; codec < OutputCodecCount; ++codec) {
            QVERIFY(!formatName(fromOrdinal<OutputCodec>(codec)).isEmpty());
            QVERIFY(outputExtension(fromOrdinal<OutputCodec>(codec), 0).startsWith(u'.'));
        }
        QVERIFY(displayText(fromOrdinal<SampleRate>(9)).isEmpty());
    }

private:
    template <typename Enum> void checkTexts(int count) {
        QStringList texts;
        for (int value = 0; value < count; ++value)
            texts.append(displayText(fromOrdinal<Enum>(value)));
        QVERIFY2(!texts.contains(QString()), qPrintable(texts.join(u',')));
        QCOMPARE(QSet<QString>(texts.cbegin(), texts.cend()).size(), count);
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
