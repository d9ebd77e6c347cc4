#include "base/CpuUsage.h"
#include "engine/FFmpegProgressParser.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QtTest>
#include <cmath>
#include <stdexcept>

namespace {

// The time the scheduler has run the process, in milliseconds (first field of
// /proc/<pid>/schedstat, nanoseconds): independent of the clock-tick fields read
// by the counter.
double schedulerRuntimeMs(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble() / 1e6;
}

} // namespace

class TestProgressParser : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void getTime_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("timeProcessed");
        QTest::addColumn<QString>("kbps");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<double>("speedInt");

        const QString tail = QStringLiteral("    ");
        QTest::newRow("full status line") << "frame=  120 fps= 60 q=-0.0 size=     256kB time=00:00:05.00 "
                                             "bitrate= 419.4kbits/s speed=2.51x" +
                                                 tail
                                          << "C" << 5 << "419.4kbits/s"
                                          << "2.51x" << 2.51;
        QTest::newRow("hundredths dropped, not rounded")
            << "time=01:02:03.99 bitrate=320.0kbits/s speed=10x" + tail << "C" << 3723 << "320.0kbits/s"
            << "10x" << 10.0;
        QTest::newRow("30-hour audiobook")
            << "size=  512000kB time=30:00:00.00 bitrate= 38.8kbits/s speed=900x" + tail << "C" << 108000
            << "38.8kbits/s"
            << "900x" << 900.0;
        QTest::newRow("header line without speed")
            << QStringLiteral("  Duration: 00:01:00.00, start: 0.000000, bitrate: 1411 kb/s") << "C" << -1
            << ""
            << "" << 0.0;
        QTest::newRow("N/A fields") << "time=N/A bitrate=N/A speed=N/A" + tail << "C" << -1 << "N/A"
                                    << "N/x" << 0.0;
        QTest::newRow("comma as the user's decimal separator")
            << "time=00:00:01.00 bitrate= 1.0kbits/s speed=2.51x" + tail << "de_DE" << 1 << "1.0kbits/s"
            << "2.51x" << 2.51;
        QTest::newRow("empty line") << QString() << "C" << -1 << ""
                                    << "" << 0.0;
    }
    void getTime() {
        QFETCH(QString, line);
        QFETCH(QString, locale);
        QFETCH(int, timeProcessed);
        QFETCH(QString, kbps);
        QFETCH(QString, speed);
        QFETCH(double, speedInt);
        QLocale::setDefault(QLocale(locale));
        const FFmpegProgress info = FFmpegProgressParser::time(line);
        QCOMPARE(info.timeProcessed, timeProcessed);
        QCOMPARE(info.kbps, kbps);
        QCOMPARE(info.speed, speed);
        QCOMPARE(info.speedInt, speedInt);
    }

    // A time that is no time raises the error the slot logs and drops the line.
    void unreadableTimeRaises_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("negative") << QStringLiteral("time=-00:00:00.02 bitrate=N/A speed=N/A    ");
        QTest::newRow("minutes out of range") << QStringLiteral("time=00:75:00.00 bitrate=N/A speed=N/A    ");
        QTest::newRow("letters") << QStringLiteral("time=ab:cd:ef.00 bitrate=N/A speed=N/A    ");
    }
    void unreadableTimeRaises() {
        QFETCH(QString, line);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FFmpegProgressParser::time(line));
    }

    void progressPercent_data() {
        QTest::addColumn<int>("timeProcessed");
        QTest::addColumn<qint64>("durationMs");
        QTest::addColumn<qint64>("percent");
        QTest::newRow("half") << 30 << qint64(60000) << qint64(50);
        QTest::newRow("fraction of the duration dropped") << 30 << qint64(60999) << qint64(50);
        QTest::newRow("shorter than a second") << 0 << qint64(999) << qint64(0);
        QTest::newRow("past the end is not capped") << 70 << qint64(60000) << qint64(116);
        QTest::newRow("30-hour job") << 54000 << qint64(108000000) << qint64(50);
    }
    void progressPercent() {
        QFETCH(int, timeProcessed);
        QFETCH(qint64, durationMs);
        QFETCH(qint64, percent);
        QCOMPARE(::progressPercent(timeProcessed, durationMs), percent);
    }

    // Times come from the fields after the last ")", since the command name may
    // hold blanks and parentheses; counts beyond 32 bits stay intact.
    void procStatTimes_data() {
        QTest::addColumn<QByteArray>("stat");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("userTicks");
        QTest::addColumn<qint64>("kernelTicks");
        const QByteArray rest = " 7 8 9 10 11 12 13 "; // fields 7 to 13
        QTest::newRow("plain") << QByteArray("1234 (ffmpeg) R 1 2 3") + rest + "250 50 0 0 20 0" << true
                               << qint64(250) << qint64(50);
        QTest::newRow("name with blanks and parentheses")
            << QByteArray("1234 (a) b (c) d) S 1 2 3") + rest + "7 9 0 0" << true << qint64(7) << qint64(9);
        QTest::newRow("more than 429.5 s of processor time")
            << QByteArray("1 (x) R 1 2 3") + rest + "50000000000 1 0" << true << qint64(50000000000)
            << qint64(1);
        QTest::newRow("cut short") << QByteArray("1 (x) R 1 2 3 4") << false << qint64(0) << qint64(0);
        QTest::newRow("no command name") << QByteArray("garbage") << false << qint64(0) << qint64(0);
    }
    void procStatTimes() {
        QFETCH(QByteArray, stat);
        QFETCH(bool, valid);
        QFETCH(qint64, userTicks);
        QFETCH(qint64, kernelTicks);
        const std::optional<ProcessTimes> times = parseProcStatTimes(stat);
        QCOMPARE(times.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(times->user, userTicks);
        QCOMPARE(times->kernel, kernelTicks);
    }

    void counterOfMissingProcess() {
        QVERIFY(!openUsageCounter(0));
        QVERIFY(!openUsageCounter(0x7FFFFFF0u));
    }

    // The reading of a busy loop matches the processor time the scheduler itself
    // accounts for the process (its own nanosecond counter), whatever share of a
    // processor the loaded machine gives it; a sleeping child reads about nothing;
    // readings closer than 250 ms return the stored value.
    void usageOfRealProcesses() {
        QProcess busy;
        busy.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
        QProcess idle;
        idle.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
        QVERIFY(busy.waitForStarted());
        QVERIFY(idle.waitForStarted());
        CpuUsageCounter busyCounter = openUsageCounter(quint32(busy.processId()));
        const double runtimeAtOpen = schedulerRuntimeMs(busy.processId());
        CpuUsageCounter idleCounter = openUsageCounter(quint32(idle.processId()));
        QVERIFY(busyCounter);
        QVERIFY(idleCounter);
        QCOMPARE(busyCounter->pid, quint32(busy.processId()));

        const quint32 start = busyCounter->lastUpdateTime;
        QTest::qWait(100);
        QCOMPARE(readCpuUsage(*busyCounter, start + 249), 0.0f);
        QTest::qWait(1900);
        const double runtime = schedulerRuntimeMs(busy.processId()) - runtimeAtOpen;
        const quint32 now = currentTickCount();
        const float busyUsage = readCpuUsage(*busyCounter, now);
        const double expected = runtime / double(now - start) * 100.0;
        const float idleUsage = readCpuUsage(*idleCounter);
        // Clock ticks of 10 ms over two seconds, plus the moments between the reads.
        QVERIFY2(std::abs(busyUsage - expected) < 4 + expected * 0.1,
                 qPrintable(QStringLiteral("%1 against %2").arg(busyUsage).arg(expected)));
        QVERIFY2(idleUsage < 5, qPrintable(QString::number(idleUsage)));
        QCOMPARE(readCpuUsage(*busyCounter, busyCounter->lastUpdateTime + 10), busyUsage);

        // A process that is gone keeps its last reading.
        busy.kill();
        busy.waitForFinished();
        QCOMPARE(readCpuUsage(*busyCounter, busyCounter->lastUpdateTime + 1000), busyUsage);
        closeUsageCounter(busyCounter);
        QVERIFY(!busyCounter);
        idle.kill();
        idle.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestProgressParser)
#include "tst_progressparser.moc"
