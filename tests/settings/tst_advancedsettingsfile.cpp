#include "model/Codecs.h"
#include "settings/AdvancedSettingsFile.h"

#include "TestSupport.h"
#include <QTemporaryDir>

#include <QtTest>

class TestAdvancedSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void missingFileGivesDefaults() {
        const AdvancedSettings settings = loadAdvancedSettings(path(QStringLiteral("none/advanced.ini")));
        QVERIFY(settings.customFFmpegParams.isEmpty());
        QCOMPARE(outputExtension(OutputCodec::Aac, settings.aacExtensionIndex), QStringLiteral(".m4a"));
    }

    void roundTrip() {
        const QString file = path(QStringLiteral("advanced.ini"));
        const AdvancedSettings settings{QStringLiteral("-af \"volume=2\" -metadata comment=%FILENAME%"), 2};
        QVERIFY(saveAdvancedSettings(file, settings));
        const AdvancedSettings loaded = loadAdvancedSettings(file);
        QCOMPARE(loaded, settings);
        QCOMPARE(outputExtension(OutputCodec::Aac, loaded.aacExtensionIndex), QStringLiteral(".m4b"));
        QCOMPARE(outputExtension(OutputCodec::Alac, loaded.aacExtensionIndex), QStringLiteral(".m4a"));
    }

    void lineBreaksAreJoined_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("unix") << QStringLiteral("-af volume=2\n-ac 1")
                              << QStringLiteral("-af volume=2 -ac 1");
        QTest::newRow("windows") << QStringLiteral("-af volume=2\r\n-ac 1")
                                 << QStringLiteral("-af volume=2 -ac 1");
        QTest::newRow("empty lines") << QStringLiteral("a\n\n\nb") << QStringLiteral("a b");
        QTest::newRow("none") << QStringLiteral("-vn") << QStringLiteral("-vn");
    }
    void lineBreaksAreJoined() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(joinCustomParamLines(typed), stored);
        const QString file = path(QStringLiteral("lines.ini"));
        QVERIFY(saveAdvancedSettings(file, {typed, 0}));
        QCOMPARE(loadAdvancedSettings(file).customFFmpegParams, stored);
    }

    void extensionIndex_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("extension");
        QTest::newRow("aac") << QByteArray("1") << 1 << QStringLiteral(".aac");
        QTest::newRow("beyond the list") << QByteArray("3") << -1 << QStringLiteral(".m4a");
        QTest::newRow("negative") << QByteArray("-1") << -1 << QStringLiteral(".m4a");
        QTest::newRow("junk") << QByteArray("m4b") << 0 << QStringLiteral(".m4a");
    }
    void extensionIndex() {
        QFETCH(QByteArray, stored);
        QFETCH(int, index);
        QFETCH(QString, extension);
        const QString file = path(QStringLiteral("ext.ini"));
        QVERIFY(TestSupport::writeFile(file, "[AAC]\nEXT=" + stored + "\n[General]\nCustomParams=-vn\n"));
        const AdvancedSettings settings = loadAdvancedSettings(file);
        QCOMPARE(settings.aacExtensionIndex, index);
        QCOMPARE(outputExtension(OutputCodec::Aac, settings.aacExtensionIndex), extension);
        QCOMPARE(settings.customFFmpegParams, QStringLiteral("-vn"));
    }

    void saveKeepsOtherKeys() {
        const QString file = path(QStringLiteral("keep.ini"));
        QVERIFY(TestSupport::writeFile(file, "[general]\ncustomparams=old\nother=kept\n[extra]\nx=1\n"));
        QVERIFY(saveAdvancedSettings(file, {QString(), 0}));
        QFile read(file);
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QByteArray text = read.readAll();
        QVERIFY(text.contains("other=kept"));
        QVERIFY(text.contains("x=1"));
        QVERIFY(text.contains("customparams=\n"));
    }
};

QTEST_GUILESS_MAIN(TestAdvancedSettings)
#include "tst_advancedsettingsfile.moc"
