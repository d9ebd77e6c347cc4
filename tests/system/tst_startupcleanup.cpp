#include "system/ShutdownCommand.h"
#include "system/StartupCleanup.h"

#include <QtTest>

// Start-up housekeeping and the replaceable shutdown command. No test here may
// reach the real power-off: every case installs a replacement first.
class TestStartupCleanup : public QObject {
    Q_OBJECT

    static void touch(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

private slots:
    void initTestCase() {
        // Even if a case forgets, the environment points away from the real command.
        qputenv("VELMO_SHUTDOWN_COMMAND", "/bin/false");
    }

    void oldDumps_data() {
        QTest::addColumn<int>("daysLater");
        QTest::addColumn<bool>("dumpsDeleted");
        QTest::newRow("7 whole days stay") << 7 << false;
        QTest::newRow("8 days are deleted") << 8 << true;
    }
    void oldDumps() {
        QFETCH(int, daysLater);
        QFETCH(bool, dumpsDeleted);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        touch(dir.filePath(QStringLiteral("2024_01_01_10_00_00.txt")));
        touch(dir.filePath(QStringLiteral("UPPER.TXT")));
        touch(dir.filePath(QStringLiteral("keep.log")));
        touch(dir.filePath(QStringLiteral("no-extension")));
        QVERIFY(dir.mkdir(QStringLiteral("sub.txt")));

        // A little more than the whole days, so the count is not decided by seconds.
        const QDateTime now = QDateTime::currentDateTime().addDays(daysLater).addSecs(60);
        StartupCleanup::clearOldBackendOutputs(folder.path(), now);

        QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("2024_01_01_10_00_00.txt"))), !dumpsDeleted);
        QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("UPPER.TXT"))), !dumpsDeleted);
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("keep.log"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("no-extension"))));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("sub.txt"))).isDir());
    }

    void missingFoldersAreNoError() {
        StartupCleanup::clearOldBackendOutputs(QStringLiteral("/nonexistent/velmo/BackendOutput"));
        StartupCleanup::clearTempCoverArtFiles(QStringLiteral("/nonexistent/velmo/covers"));
        StartupCleanup::clearTempCoverArtFiles(QString());
    }

    void tempCoverArtFilesAreAllDeleted() {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        touch(dir.filePath(QStringLiteral("0A1B2C3D-0000-0000-0000-000000000000.jpg")));
        touch(dir.filePath(QStringLiteral(".hidden")));
        QVERIFY(dir.mkdir(QStringLiteral("nested")));
        touch(dir.filePath(QStringLiteral("nested/inner.jpg")));

        StartupCleanup::clearTempCoverArtFiles(folder.path());

        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("nested/inner.jpg"))));
    }

    void recentCoverArtFilesOfOtherInstancesStay() {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        touch(dir.filePath(QStringLiteral("old.jpg")));
        touch(dir.filePath(QStringLiteral("recent.jpg")));
        QFile old(dir.filePath(QStringLiteral("old.jpg")));
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
        old.close();

        StartupCleanup::clearTempCoverArtFiles(folder.path(), QDateTime::currentDateTime().addDays(-1));

        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("old.jpg"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("recent.jpg"))));
    }

    void shutdownRunsTheReplacement() {
        QTemporaryDir folder;
        const QString marker = QDir(folder.path()).filePath(QStringLiteral("powered off"));
        ShutdownCommand::setCommand({QStringLiteral("/usr/bin/touch"), marker});
        QString error;
        QVERIFY2(ShutdownCommand::run(&error), qPrintable(error));
        QVERIFY(QFileInfo::exists(marker));
        ShutdownCommand::setCommand({});
    }

    void shutdownReplacementFromEnvironment() {
        QTemporaryDir folder;
        const QString marker = QDir(folder.path()).filePath(QStringLiteral("from env"));
        qputenv("VELMO_SHUTDOWN_COMMAND", QByteArray("/usr/bin/touch \"") + marker.toUtf8() + "\"");
        QCOMPARE(ShutdownCommand::replacementCommand(),
                 (QStringList{QStringLiteral("/usr/bin/touch"), marker}));
        QVERIFY(ShutdownCommand::run());
        QVERIFY(QFileInfo::exists(marker));
        qputenv("VELMO_SHUTDOWN_COMMAND", "/bin/false");
    }

    void failingShutdownIsReported() {
        ShutdownCommand::setCommand({QStringLiteral("/bin/false")});
        QString error;
        QVERIFY(!ShutdownCommand::run(&error));
        QVERIFY(!error.isEmpty());
        ShutdownCommand::setCommand({QStringLiteral("/nonexistent/shutdown-tool")});
        QVERIFY(!ShutdownCommand::run(&error));
        QVERIFY(!error.isEmpty());
        ShutdownCommand::setCommand({});
    }
};

QTEST_GUILESS_MAIN(TestStartupCleanup)
#include "tst_startupcleanup.moc"
