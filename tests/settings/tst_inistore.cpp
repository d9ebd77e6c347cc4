#include "base/Log.h"
#include "settings/IniStore.h"

#include "TestSupport.h"
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr qsizetype PayloadSize = 8 * 1024 * 1024;

QString payloadFor(int generation) {
    return QString(PayloadSize, QChar(u'a' + generation % 26));
}

// Child: saves ever newer generations of a large file until it is killed.
int saveForever(const QString& path) {
    for (int generation = 1;; ++generation) {
        IniStore store(path);
        store.writeInteger(QStringLiteral("Save"), QStringLiteral("Generation"), generation);
        store.writeString(QStringLiteral("Save"), QStringLiteral("Payload"), payloadFor(generation));
        if (!store.save())
            return 1;
        std::printf("%d\n", generation);
        std::fflush(stdout);
    }
}

// Child: saves into a folder it may not write, as an ordinary user.
int saveWithoutPermission(const QString& path, const QString& logFolder) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 3;
    configureProgramLog(logFolder);
    IniStore store(path);
    store.writeString(QStringLiteral("General"), QStringLiteral("OutputFolder"),
                      QStringLiteral("/elsewhere"));
    return store.save() ? 1 : 0;
}

} // namespace

class TestIniStore : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        configureProgramLog(m_dir.filePath(QStringLiteral("log")));
    }

    void namesIgnoreCase() {
        const QString file = path(QStringLiteral("case.ini"));
        QVERIFY(TestSupport::writeFile(file, "[GENERAL]\nOUTPUTFOLDER=/home/u/Out\n[encode]\ncpu=3\n"));
        IniStore store(file);
        QCOMPARE(store.readString(QStringLiteral("General"), QStringLiteral("OutputFolder")),
                 QStringLiteral("/home/u/Out"));
        QCOMPARE(store.readInteger(QStringLiteral("Encode"), QStringLiteral("CPU"), 0), 3);

        // Writing under the other spelling replaces the key instead of adding a second one.
        store.writeInteger(QStringLiteral("Encode"), QStringLiteral("CPU"), 5);
        QVERIFY(store.save());
        const QByteArray written = TestSupport::readFile(file);
        QCOMPARE(written.count("cpu="), 1);
        QCOMPARE(written.count("CPU="), 0);
        QVERIFY(written.contains("cpu=5"));
    }

    void integers_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("12") << 12;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("blanks around") << QByteArray(" 7 ") << 7;
        QTest::newRow("empty") << QByteArray("") << 99;
        QTest::newRow("word") << QByteArray("abc") << 99;
        QTest::newRow("fraction") << QByteArray("1.5") << 99;
        QTest::newRow("hex is not decimal") << QByteArray("0x10") << 99;
        QTest::newRow("trailing junk") << QByteArray("12abc") << 99;
        QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << 99;
    }
    void integers() {
        QFETCH(QByteArray, stored);
        QFETCH(int, expected);
        const QString file = path(QStringLiteral("int.ini"));
        QVERIFY(TestSupport::writeFile(file, "[s]\nk=" + stored + "\n"));
        IniStore store(file);
        QCOMPARE(store.readInteger(QStringLiteral("s"), QStringLiteral("k"), 99), expected);
        QCOMPARE(store.readInteger(QStringLiteral("s"), QStringLiteral("missing"), 99), 99);
    }

    void booleans_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << false << true;
        QTest::newRow("0") << QByteArray("0") << true << false;
        QTest::newRow("any non-zero") << QByteArray("5") << false << true;
        QTest::newRow("negative") << QByteArray("-3") << false << true;
        QTest::newRow("large") << QByteArray("99999999999") << false << true;
        QTest::newRow("word gives default") << QByteArray("true") << false << false;
        QTest::newRow("empty gives default") << QByteArray("") << true << true;
    }
    void booleans() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        const QString file = path(QStringLiteral("bool.ini"));
        QVERIFY(TestSupport::writeFile(file, "[s]\nk=" + stored + "\n"));
        IniStore store(file);
        QCOMPARE(store.readBool(QStringLiteral("s"), QStringLiteral("k"), defaultValue), expected);
    }

    void textsRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("utf-8 folder") << QStringLiteral("/home/jürgen/Музыка/日本 (1)");
        QTest::newRow("equals and semicolon") << QStringLiteral("/a=b;c#d");
        QTest::newRow("blanks at both ends") << QStringLiteral("  /home/u/My Music ");
        QTest::newRow("line break") << QStringLiteral("/home/u/odd\nname");
        QTest::newRow("looks like a section") << QStringLiteral("[General]");
        QTest::newRow("empty") << QString();
    }
    void textsRoundTrip() {
        QFETCH(QString, value);
        const QString file = path(QStringLiteral("text.ini"));
        QFile::remove(file);
        {
            IniStore store(file);
            store.writeString(QStringLiteral("General"), QStringLiteral("OutputFolder"), value);
            store.writeInteger(QStringLiteral("General"), QStringLiteral("After"), 4);
            QVERIFY(store.save());
        }
        IniStore reread(file);
        QCOMPARE(
            reread.readString(QStringLiteral("General"), QStringLiteral("OutputFolder"), QStringLiteral("x")),
            value);
        QCOMPARE(reread.readInteger(QStringLiteral("General"), QStringLiteral("After"), 0), 4);
    }

    void latin1FileKeepsItsCharacters() {
        const QString file = path(QStringLiteral("latin1.ini"));
        QVERIFY(TestSupport::writeFile(file, QByteArray("[General]\nOutputFolder=/home/M\xFCller\n")));
        IniStore store(file);
        QCOMPARE(store.readString(QStringLiteral("General"), QStringLiteral("OutputFolder")),
                 QStringLiteral("/home/Müller"));
    }

    void writeKeepsEverythingElse() {
        const QString file = path(QStringLiteral("keep.ini"));
        QVERIFY(TestSupport::writeFile(
            file, "; comment kept\n[General]\nLastOpened=/music\nVolume=80\n[Other]\nx=1\n"));
        IniStore first(file);
        IniStore second(file);
        first.writeInteger(QStringLiteral("general"), QStringLiteral("volume"), 10);
        QVERIFY(first.save());
        // A store made before that save must not undo it when it writes its own key.
        second.writeString(QStringLiteral("Update"), QStringLiteral("Active"), QStringLiteral("0"));
        QVERIFY(second.save());

        IniStore reread(file);
        QCOMPARE(reread.readInteger(QStringLiteral("General"), QStringLiteral("Volume"), 0), 10);
        QCOMPARE(reread.readString(QStringLiteral("General"), QStringLiteral("LastOpened")),
                 QStringLiteral("/music"));
        QCOMPARE(reread.readInteger(QStringLiteral("Other"), QStringLiteral("x"), 0), 1);
        QCOMPARE(reread.readBool(QStringLiteral("Update"), QStringLiteral("Active"), true), false);
        QVERIFY(TestSupport::readFile(file).contains("; comment kept"));
        QVERIFY(TestSupport::readFile(file).contains("Volume=10\n"));
        QCOMPARE(second.readInteger(QStringLiteral("General"), QStringLiteral("Volume"), 0), 10);
    }

    void badFilesReadAsDefaults_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("volume");
        QByteArray junk(64 * 1024, '\0');
        QRandomGenerator generator(42);
        for (char& c : junk)
            c = char(generator.bounded(256));
        QTest::newRow("empty") << QByteArray() << 75;
        QTest::newRow("binary junk") << junk << 75;
        QTest::newRow("only a section") << QByteArray("[General]\n") << 75;
        QTest::newRow("unclosed section") << QByteArray("[General\nVolume=3\n") << 75;
        QTest::newRow("no equals") << QByteArray("[General]\nVolume\n") << 75;
        QTest::newRow("keys before any section") << QByteArray("Volume=3\n") << 75;
        // The text up to the end of the file is the value.
        QTest::newRow("unterminated multi-line") << QByteArray("[General]\nVolume=<<<END\n3\n") << 3;
        // NUL bytes are dropped, so a NUL never hides the rest of the file.
        QTest::newRow("nul bytes") << QByteArray("[Gen\0eral]\nVol\0ume=3\n", 22) << 3;
    }
    void badFilesReadAsDefaults() {
        QFETCH(QByteArray, content);
        QFETCH(int, volume);
        const QString file = path(QStringLiteral("bad.ini"));
        QVERIFY(TestSupport::writeFile(file, content));
        IniStore store(file);
        QCOMPARE(store.readInteger(QStringLiteral("General"), QStringLiteral("Volume"), 75), volume);
        QCOMPARE(
            store.readString(QStringLiteral("General"), QStringLiteral("LastOpened"), QStringLiteral("d")),
            QStringLiteral("d"));
        // And the file can still be written.
        store.writeInteger(QStringLiteral("General"), QStringLiteral("Volume"), 5);
        QVERIFY(store.save());
        QCOMPARE(IniStore(file).readInteger(QStringLiteral("General"), QStringLiteral("Volume"), 75), 5);
    }

    void duplicateKeysAndSections() {
        const QString file = path(QStringLiteral("dup.ini"));
        QVERIFY(TestSupport::writeFile(
            file, "[General]\nVolume=1\nVolume=2\n[x]\ny=1\n[general]\nVolume=3\nOther=4\n"));
        IniStore store(file);
        QCOMPARE(store.readInteger(QStringLiteral("General"), QStringLiteral("Volume"), 0), 3);
        QCOMPARE(store.readInteger(QStringLiteral("General"), QStringLiteral("Other"), 0), 4);
    }

    void folderThatCannotBeMade() {
        const QString blocker = path(QStringLiteral("blocker"));
        QVERIFY(TestSupport::writeFile(blocker, "a file, not a folder"));
        IniStore store(blocker + QStringLiteral("/VelmoAudio/settings.ini"));
        store.writeInteger(QStringLiteral("General"), QStringLiteral("Volume"), 5);
        QString error;
        QVERIFY(!store.save(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("Unable to save ") + blocker));
    }

    void folderThatCannotBeWrittenKeepsTheFile() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString dataFolder = root.filePath(QStringLiteral("VelmoAudio"));
        const QString logFolder = root.filePath(QStringLiteral("log"));
        QVERIFY(QDir().mkpath(dataFolder) && QDir().mkpath(logFolder));
        const QString file = dataFolder + QStringLiteral("/settings.ini");
        const QByteArray before = "[General]\nOutputFolder=/kept\nVolume=80\n";
        QVERIFY(TestSupport::writeFile(file, before));
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner |
                              QFile::ExeGroup | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(root.path(), readable | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(dataFolder, readable));
        QVERIFY(QFile::setPermissions(logFolder, QFile::Permissions(0x7777)));

        const int exitCode =
            QProcess::execute(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("--save-without-permission"), file, logFolder});
        QFile::setPermissions(dataFolder, readable | QFile::WriteOwner);
        QCOMPARE(exitCode, 0);
        QCOMPARE(TestSupport::readFile(file), before);
        const QStringList logs = QDir(logFolder).entryList(QDir::Files);
        QCOMPARE(logs.size(), 1);
        QVERIFY(TestSupport::readFile(QDir(logFolder).filePath(logs.first())).contains("Unable to save"));
    }

    void killedSaveLeavesACompleteFile() {
        const QString file = path(QStringLiteral("killed.ini"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-forever"), file});
        QVERIFY(child.waitForStarted());
        QByteArray output;
        while (!output.contains("2\n")) {
            QVERIFY2(child.waitForReadyRead(60000), "the saving child stopped reporting");
            output += child.readAllStandardOutput();
        }
        // The child is now inside the next save, which is mostly writing.
        child.kill();
        QVERIFY(child.waitForFinished());

        IniStore store(file);
        const int generation = store.readInteger(QStringLiteral("Save"), QStringLiteral("Generation"), 0);
        QVERIFY(generation >= 2);
        QCOMPARE(store.readString(QStringLiteral("Save"), QStringLiteral("Payload")), payloadFor(generation));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QStringLiteral("--save-forever"))
        return saveForever(arguments.value(2));
    if (arguments.value(1) == QStringLiteral("--save-without-permission"))
        return saveWithoutPermission(arguments.value(2), arguments.value(3));
    TestIniStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_inistore.moc"
