#include "model/Codecs.h"

#include <QtTest>

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    void displayTexts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sr96000") << EnumDisplayText(sr96000) << QStringLiteral("96000");
        QTest::newRow("bdOriginal") << EnumDisplayText(bdOriginal) << QStringLiteral("Original");
        QTest::newRow("ch4_1") << EnumDisplayText(ch4_1) << QStringLiteral("4_1");
        QTest::newRow("etCBR") << EnumDisplayText(etCBR) << QStringLiteral("CBR");
        QTest::newRow("ocMP3") << EnumDisplayText(ocMP3) << QStringLiteral("MP3");
        QTest::newRow("no prefix") << TExtensions::RemoveEnumPrefix(QStringLiteral("Quality"))
                                   << QStringLiteral("Quality");
        QTest::newRow("ch4_1 count") << TExtensions::TChannelTypeToStr(ch4_1) << QStringLiteral("5");
        QTest::newRow("ch2_1 count") << TExtensions::TChannelTypeToStr(ch2_1) << QStringLiteral("3");
        QTest::newRow("chOriginal count") << TExtensions::TChannelTypeToStr(chOriginal) << QString();
        QTest::newRow("bdOriginal format") << TExtensions::TBitDepthToStr(bdOriginal) << QString();
        QTest::newRow("ogg name") << TExtensions::TOutputCodecsToStr(ocOGG) << QStringLiteral("Ogg Vorbis");
        QTest::newRow("aac m4b") << GetOutputExtension(ocAAC, 2) << QStringLiteral(".m4b");
        QTest::newRow("alac ignores aac index") << GetOutputExtension(ocALAC, 2) << QStringLiteral(".m4a");
        QTest::newRow("aac index out of range") << GetOutputExtension(ocAAC, 7) << QStringLiteral(".m4a");
    }
    void displayTexts() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
