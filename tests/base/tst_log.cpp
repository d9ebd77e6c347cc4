#include "base/FileCleanup.h"
#include "base/FileNames.h"
#include "base/Log.h"
#include "system/HardwareInfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <unistd.h>

class TestLog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

    QByteArray logBytes() const {
        QFile file(programLogFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The entries of the file, split at CR LF.
    QStringList logLines() const {
        QStringList lines = QString::fromUtf8(logBytes()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private slots:
    void init();

    void fileNameFollowsTheStartTime();
    void lineFields_data();
    void lineFields();
    void exceptionEntry();
    void barsAndLineBreaks();
    void concurrentEntriesNeverInterleave();
    void vanishedFolderIsMadeAgain();
    void unwritableLogDoesNotFail();
    void clearOldLogs();
    void clearOldLogsWithoutFolder();
    void cpuName_data();
    void cpuName();
    void memory();
    void driveLine_data();
    void driveLine();
    void hardwareLinesInOrder();
};

void TestLog::init() {
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.filePath(QStringLiteral("VelmoAudio %1").arg(QTest::currentTestFunction()));
    configureProgramLog(m_folder, QDateTime(QDate(2024, 1, 31), QTime(9, 5, 7)));
    QFile::remove(programLogFilePath()); // rows of one test share the folder
}

void TestLog::fileNameFollowsTheStartTime() {
    const QString expected = m_folder + QStringLiteral("/2024_01_31_09_05_07_all.nxlog");
    QCOMPARE(programLogFilePath(), expected);
    QVERIFY(!QFile::exists(expected)); // made by the first entry
    logInfo(QStringLiteral("first"));
    QVERIFY(QFile::exists(expected));
}

void TestLog::lineFields_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("word");
    QTest::newRow("info") << "info"
                          << "info";
    QTest::newRow("warning") << "warning"
                             << "warn";
    QTest::newRow("error") << "error"
                           << "error";
}

void TestLog::lineFields() {
    QFETCH(QString, level);
    QFETCH(QString, word);
    const QString message = QStringLiteral("Grüße, 音楽 %1").arg(level);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    if (level == QLatin1String("info"))
        logInfo(message);
    else if (level == QLatin1String("warning"))
        logWarning(message);
    else
        logError(message);

    const QByteArray bytes = logBytes();
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("\r\n"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    const QStringList fields = lines[0].split(u'|');
    QCOMPARE(fields.size(), 9);
    QCOMPARE(fields[0], QStringLiteral("VelmoAudio"));
    QDateTime stamp = QDateTime::fromString(fields[1], QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    QVERIFY2(stamp.isValid(), qPrintable(fields[1]));
    stamp.setTimeZone(QTimeZone::utc());
    QVERIFY2(qAbs(stamp.secsTo(before)) <= 5, qPrintable(fields[1])); // UTC, not local time
    QCOMPARE(fields[2], word);
    QCOMPARE(fields[3], message);
    QCOMPARE(fields[4], QString::number(::getpid()));
    QCOMPARE(fields[5], QString());
    QCOMPARE(fields[6], QString());
    QCOMPARE(fields[7], QString());
    QCOMPARE(fields[8], QString::number(::gettid()));
}

void TestLog::exceptionEntry() {
    logException(QStringLiteral("TMainForm.LoadSettings"), QStringLiteral("the error's own text"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    const QStringList fields = lines[0].split(u'|');
    QCOMPARE(fields.size(), 9);
    QCOMPARE(fields[2], QStringLiteral("exception"));
    QCOMPARE(fields[3], QStringLiteral("TMainForm.LoadSettings"));
    QCOMPARE(fields[6], QStringLiteral("none"));
    QVERIFY(!lines[0].contains(QLatin1String("own text")));
}

void TestLog::barsAndLineBreaks() {
    logInfo(QStringLiteral("a|b||c"));
    logInfo(QStringLiteral("first line\nsecond line"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].split(u'|').size(), 9);
    QCOMPARE(lines[0].split(u'|')[3], QStringLiteral("a-b--c"));
    // A line break is written as it is: the entry spans two lines of the file.
    QVERIFY(lines[1].contains(QLatin1String("|first line\nsecond line|")));
}

void TestLog::concurrentEntriesNeverInterleave() {
    constexpr int threads = 6;
    constexpr int entries = 150;
    QList<QThread*> workers;
    for (int t = 0; t < threads; ++t) {
        workers << QThread::create([t] {
            for (int i = 0; i < entries; ++i)
                logInfo(QStringLiteral("thread %1 entry %2 %3").arg(t).arg(i).arg(QString(40, u'x')));
        });
        workers.last()->start();
    }
    for (QThread* worker : workers) {
        QVERIFY(worker->wait(60000));
        delete worker;
    }
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), threads * entries);
    const QRegularExpression wellFormed(QStringLiteral(
        "^VelmoAudio\\|[\\d. :]+\\|info\\|thread \\d entry \\d+ x{40}\\|\\d+\\|\\|\\|\\|\\d+$"));
    for (const QString& line : lines)
        QVERIFY2(wellFormed.match(line).hasMatch(), qPrintable(line));
}

void TestLog::vanishedFolderIsMadeAgain() {
    logInfo(QStringLiteral("one"));
    QVERIFY(QDir(m_folder).removeRecursively());
    logWarning(QStringLiteral("two"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].contains(QLatin1String("|warn|two|")));
}

void TestLog::unwritableLogDoesNotFail() {
    // A plain file where the log folder should be: every attempt fails, the
    // entry is dropped after the retries and the caller carries on.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    configureProgramLog(blocker + QStringLiteral("/logs"));
    logError(QStringLiteral("lost"));
    QVERIFY(!QFile::exists(programLogFilePath()));
    QCOMPARE(QFileInfo(blocker).size(), 0);
}

void TestLog::clearOldLogs() {
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/sub")));
    const QStringList names{"old_all.nxlog", "old.LOG", "keep.txt", "keep.ini", "sub/nested.nxlog"};
    for (const QString& name : names) {
        QFile file(data + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QDateTime created = fileCreationTime(data + QStringLiteral("/old_all.nxlog"));

    // Seven days and 23 hours later nothing goes.
    ::clearOldLogs(data, created.addSecs(7 * 24 * 3600 + 23 * 3600));
    for (const QString& name : names)
        QVERIFY2(QFile::exists(data + u'/' + name), qPrintable(name));

    // Eight days later the logs of the top level go, everything else stays.
    ::clearOldLogs(data, created.addDays(8));
    QVERIFY(!QFile::exists(data + QStringLiteral("/old_all.nxlog")));
    QVERIFY(!QFile::exists(data + QStringLiteral("/old.LOG")));
    QVERIFY(QFile::exists(data + QStringLiteral("/keep.txt")));
    QVERIFY(QFile::exists(data + QStringLiteral("/keep.ini")));
    QVERIFY(QFile::exists(data + QStringLiteral("/sub/nested.nxlog")));
}

void TestLog::clearOldLogsWithoutFolder() {
    ::clearOldLogs(m_dir.filePath(QStringLiteral("missing")), QDateTime::currentDateTime().addYears(1));
    ::clearOldLogs(QString(), QDateTime::currentDateTime().addYears(1));
    QVERIFY(logLines().isEmpty());
}

void TestLog::cpuName_data() {
    QTest::addColumn<QString>("cpuInfo");
    QTest::addColumn<QString>("name");
    QTest::newRow("x86")
        << "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5 CPU @ "
           "2.00GHz\nflags\t\t: fpu\n"
        << "Intel(R) Core(TM) i5 CPU @ 2.00GHz";
    QTest::newRow("arm") << "processor\t: 0\nBogoMIPS\t: 108.00\n\nHardware\t: BCM2835\n"
                         << "BCM2835";
    QTest::newRow("none") << "processor\t: 0\n"
                          << "";
}

void TestLog::cpuName() {
    QFETCH(QString, cpuInfo);
    QFETCH(QString, name);
    QCOMPARE(HardwareInfo::cpuNameFromCpuInfo(cpuInfo), name);
}

void TestLog::memory() {
    const auto info = HardwareInfo::memoryFromMemInfo(QStringLiteral(
        "MemTotal:       16318480 kB\nMemFree:          512000 kB\nMemAvailable:    8159240 kB\n"));
    QCOMPARE(info.totalBytes, qint64(16318480) * 1024);
    QCOMPARE(info.availableBytes, qint64(8159240) * 1024);
    const auto old = HardwareInfo::memoryFromMemInfo(QStringLiteral("MemTotal: 2048 kB\nMemFree: 1024 kB\n"));
    QCOMPARE(old.availableBytes, qint64(1024) * 1024);
}

void TestLog::driveLine_data() {
    QTest::addColumn<qint64>("available");
    QTest::addColumn<QString>("expected");
    const qint64 gib = qint64(1) << 30;
    QTest::newRow("writable")
        << 150 * gib << "Drive: /home = Free Space :200.00 GB Used Space: 300.00 GB Total Space: 500.00 GB";
    QTest::newRow("nothing available")
        << qint64(0)
        << "Drive: /home = Free Space :200.00 GB Used Space: 0 Byte Total Space: "
           "500.00 GB";
}

void TestLog::driveLine() {
    QFETCH(qint64, available);
    QFETCH(QString, expected);
    const qint64 gib = qint64(1) << 30;
    QCOMPARE(HardwareInfo::driveSpaceLine(QStringLiteral("/home"), 200 * gib, available, 500 * gib),
             expected);
}

void TestLog::hardwareLinesInOrder() {
    logHardwareInfo();
    const QStringList lines = logLines();
    const QStringList prefixes{"CPU.Name: ",
                               "CPU.ProcessorCount: ",
                               "Memory.TotalPhysicalMemory: ",
                               "Memory.FreePhysicalMemory: ",
                               "BIOS.Name: ",
                               "BIOS.ExtendedInfo: ",
                               "Screen.ScreenResolution.X: ",
                               "Screen.ScreenResolution.Y: ",
                               "Screen.Hz: ",
                               "Folders.CommonFiles: ",
                               "Folders.ProgramFiles: ",
                               "Folders.Windows: ",
                               "Folders.System: ",
                               "Folders.Temp: ",
                               "Folders.Desktop: ",
                               "Folders.Programs: ",
                               "Folders.Personal: "};
    QVERIFY(lines.size() >= prefixes.size());
    for (int i = 0; i < prefixes.size(); ++i) {
        const QStringList fields = lines[i].split(u'|');
        QCOMPARE(fields[2], QStringLiteral("info"));
        QVERIFY2(fields[3].startsWith(prefixes[i]), qPrintable(lines[i]));
    }
    QVERIFY(!lines[0].split(u'|')[3].mid(prefixes[0].size()).isEmpty());
    QCOMPARE(lines[1].split(u'|')[3], prefixes[1] + QString::number(QThread::idealThreadCount()));
    // The root file system is a mounted local disk of this machine.
    bool rootListed = false;
    for (qsizetype i = prefixes.size(); i < lines.size(); ++i) {
        const QString message = lines[i].split(u'|')[3];
        QVERIFY2(message.startsWith(QLatin1String("Drive: /")), qPrintable(message));
        rootListed = rootListed || message.startsWith(QLatin1String("Drive: / = Free Space :"));
    }
    if (QString::fromLocal8Bit(QStorageInfo::root().device()).startsWith(QLatin1String("/dev/")))
        QVERIFY(rootListed);
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
