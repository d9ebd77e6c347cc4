#include "base/AppPaths.h"
#include "base/Log.h"
#include "system/ShutdownCommand.h"
#include "system/StartupCleanup.h"

#include "TestSupport.h"

#include <QtTest>

// Start-up housekeeping and the replaceable shutdown command. No test here may
// reach the real power-off: every case installs a replacement first.
class TestStartupCleanup : public QObject {
    Q_OBJECT

    QTemporaryDir m_logFolder;

private slots:
    void initTestCase() {
        // Even if a case forgets, the environment points away from the real command.
        qputenv("VELMO_SHUTDOWN_COMMAND", "/bin/false");
        configureProgramLog(m_logFolder.path());
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
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("2024_01_01_10_00_00.txt"))));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("UPPER.TXT"))));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("keep.log"))));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("no-extension"))));
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

    // A data folder not made yet is the normal first start, not something to log.
    void missingFoldersAreNoError() {
        StartupCleanup::clearOldBackendOutputs(QStringLiteral("/nonexistent/velmo/BackendOutput"),
                                               QDateTime::currentDateTime().addYears(1));
        StartupCleanup::clearOldBackendOutputs(QString(), QDateTime::currentDateTime().addYears(1));
        StartupCleanup::clearTempCoverArtFiles(QStringLiteral("/nonexistent/velmo/covers"));
        StartupCleanup::clearTempCoverArtFiles(QString());
        QCOMPARE(TestSupport::programLogText(), QString());
    }

    void tempCoverArtFilesAreAllDeleted() {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("0A1B2C3D-0000-0000-0000-000000000000.jpg"))));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral(".hidden"))));
        QVERIFY(dir.mkdir(QStringLiteral("nested")));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("nested/inner.jpg"))));

        StartupCleanup::clearTempCoverArtFiles(folder.path());

        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("nested/inner.jpg"))));
    }

    void recentCoverArtFilesOfOtherInstancesStay() {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("old.jpg"))));
        QVERIFY(TestSupport::touch(dir.filePath(QStringLiteral("recent.jpg"))));
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

    void findTool_data() {
        QTest::addColumn<bool>("bundled");
        QTest::addColumn<bool>("bundledExecutable");
        QTest::addColumn<bool>("onPath");
        QTest::addColumn<QString>("found");
        QTest::newRow("bundled wins over PATH") << true << true << true << QStringLiteral("bundled");
        QTest::newRow("bundled but not executable") << true << false << true << QStringLiteral("path");
        QTest::newRow("PATH only") << false << false << true << QStringLiteral("path");
        QTest::newRow("nowhere") << false << false << false << QString();
    }
    // A bundled build sits in the ffmpeg folder beside the program; a name of
    // this run's own keeps the tests that look for the real ffmpeg undisturbed.
    void findTool() {
        QFETCH(bool, bundled);
        QFETCH(bool, bundledExecutable);
        QFETCH(bool, onPath);
        QFETCH(QString, found);
        const QString name = QStringLiteral("velmo-test-tool-%1").arg(QCoreApplication::applicationPid());
        const QString toolFolder = QDir(AppPaths::programFolder()).filePath(AppPaths::bundledToolSubFolder());
        const bool toolFolderExisted = QFileInfo(toolFolder).isDir();
        const QString bundledPath = QDir(toolFolder).filePath(name);
        QTemporaryDir pathFolder;
        const QString pathTool = QDir(pathFolder.path()).filePath(name);
        const QByteArray oldPath = qgetenv("PATH");
        auto restore = qScopeGuard([&] {
            QFile::remove(bundledPath);
            if (!toolFolderExisted)
                QDir().rmdir(toolFolder);
            qputenv("PATH", oldPath);
        });
        if (bundled) {
            QVERIFY(bundledExecutable ? TestSupport::writeScript(bundledPath, "#!/bin/sh\n")
                                      : TestSupport::writeFile(bundledPath, "#!/bin/sh\n"));
        }
        if (onPath)
            QVERIFY(TestSupport::writeScript(pathTool, "#!/bin/sh\n"));
        qputenv("PATH", QFile::encodeName(pathFolder.path()));

        const QString expected = found == QLatin1String("bundled") ? bundledPath
                                 : found == QLatin1String("path")  ? pathTool
                                                                   : QString();
        QCOMPARE(AppPaths::findTool(name), expected);
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
