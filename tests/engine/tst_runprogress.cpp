#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"

#include <QtTest>

// The run's counters, its remaining-time estimate and the summed speed and CPU figures.
class TestRunProgress : public QObject {
    Q_OBJECT
private slots:
    void estimateScalesElapsedTimeByConvertedAudio() {
        // One slot, four files of 60 s: the first ends after 60 s.
        RunProgress progress;
        progress.reset(4, 4 * 60000);
        for (int second = 0; second < 60; ++second)
            progress.tick();
        QCOMPARE(progress.timeText(), QStringLiteral("Time: 00:01:00 Remaing: 00:00:00"));
        progress.fileFinished(60000);
        QCOMPARE(progress.timeText(), QStringLiteral("Time: 00:01:00 Remaing: 00:03:00"));
        progress.tick();
        QCOMPARE(progress.timeText(), QStringLiteral("Time: 00:01:01 Remaing: 00:02:59"));
    }

    void remainingTimeStaysZeroWhenOvertaken() {
        RunProgress progress;
        progress.reset(2, 2 * 10000);
        for (int second = 0; second < 5; ++second)
            progress.tick();
        progress.fileFinished(10000); // estimate 10 s in all
        for (int second = 0; second < 8; ++second)
            progress.tick();
        QCOMPARE(progress.remainingTime(), qint64(-3));
        QCOMPARE(progress.timeText(), QStringLiteral("Time: 00:00:13 Remaing: 00:00:00"));
    }

    void skippedFilesCountInTheListedTotal() {
        // Two files listed, one skipped: the run has one job, but the estimate scales
        // by all listed audio, as the window always did.
        RunProgress progress;
        progress.reset(1, 2 * 30000);
        for (int second = 0; second < 10; ++second)
            progress.tick();
        progress.fileFinished(30000);
        QCOMPARE(progress.remainingTime(), qint64(10));
        QVERIFY(progress.isComplete());
    }

    void failedFileAdvancesDone() {
        RunProgress progress;
        progress.reset(3, 0);
        QCOMPARE(progress.progressText(),
                 QStringLiteral("Progress: 0% Done: 0 Success: 0 Error: 0 Remaining: 3"));
        progress.fileFailed();
        progress.fileFinished(0);
        QCOMPARE(progress.progressText(),
                 QStringLiteral("Progress: 33% Done: 1 Success: 0 Error: 1 Remaining: 2"));
        progress.fileFinished(0);
        QCOMPARE(progress.progressText(),
                 QStringLiteral("Progress: 66% Done: 2 Success: 1 Error: 1 Remaining: 1"));
        QVERIFY(!progress.isComplete());
        progress.fileFinished(0);
        QVERIFY(progress.isComplete());
        QCOMPARE(progress.percent(), 100);
    }

    void emptyRunHasZeroPercent() {
        RunProgress progress;
        progress.reset(0, 0);
        QCOMPARE(progress.percent(), 0);
    }

    void slotLoad_data() {
        QTest::addColumn<QList<SlotReading>>("readings");
        QTest::addColumn<int>("processors");
        QTest::addColumn<QString>("speedText");
        QTest::addColumn<QString>("cpuText");
        QTest::newRow("three slots at 2x")
            << QList<SlotReading>{{true, 0, 2.0}, {true, 0, 2.0}, {true, 0, 2.0}} << 4
            << QStringLiteral("Speed: 6.00x") << QStringLiteral("CPU Usage:  0.00%");
        QTest::newRow("two busy processes on four processors")
            << QList<SlotReading>{{true, 100, 1.5}, {true, 100, 1.25}} << 4 << QStringLiteral("Speed: 2.75x")
            << QStringLiteral("CPU Usage: 50.00%");
        QTest::newRow("idle slots do not count")
            << QList<SlotReading>{{true, 80, 3.0}, {false, 100, 9.0}} << 2 << QStringLiteral("Speed: 3.00x")
            << QStringLiteral("CPU Usage: 40.00%");
        QTest::newRow("no slots") << QList<SlotReading>{} << 2 << QStringLiteral("Speed: 0.00x")
                                  << QStringLiteral("CPU Usage:  0.00%");
    }
    void slotLoad() {
        QFETCH(QList<SlotReading>, readings);
        QFETCH(int, processors);
        const SlotLoad load = SlotLoad::sum(readings, processors);
        QTEST(load.speedText(), "speedText");
        QTEST(load.cpuUsageText(), "cpuText");
    }
};

QTEST_GUILESS_MAIN(TestRunProgress)
#include "tst_runprogress.moc"
