#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"

#include <QtTest>

// The run's counters, its remaining-time estimate and the summed speed and CPU figures.
class TestRunProgress : public QObject {
    Q_OBJECT
private slots:
    void estimateScalesElapsedTimeByConvertedAudio() {
        // One slot, four files of 60 s: the first ends after 60 s.
        TRunProgress progress;
        progress.Reset(4, 4 * 60000);
        for (int second = 0; second < 60; ++second)
            progress.Tick();
        QCOMPARE(progress.TimeText(), QStringLiteral("Time: 00:01:00 Remaing: 00:00:00"));
        progress.FileFinished(60000);
        QCOMPARE(progress.TimeText(), QStringLiteral("Time: 00:01:00 Remaing: 00:03:00"));
        progress.Tick();
        QCOMPARE(progress.TimeText(), QStringLiteral("Time: 00:01:01 Remaing: 00:02:59"));
    }

    void remainingTimeStaysZeroWhenOvertaken() {
        TRunProgress progress;
        progress.Reset(2, 2 * 10000);
        for (int second = 0; second < 5; ++second)
            progress.Tick();
        progress.FileFinished(10000); // estimate 10 s in all
        for (int second = 0; second < 8; ++second)
            progress.Tick();
        QCOMPARE(progress.RemainingTime(), qint64(-3));
        QCOMPARE(progress.TimeText(), QStringLiteral("Time: 00:00:13 Remaing: 00:00:00"));
    }

    void skippedFilesCountInTheListedTotal() {
        // Two files listed, one skipped: the run has one job, but the estimate scales
        // by all listed audio, as the window always did.
        TRunProgress progress;
        progress.Reset(1, 2 * 30000);
        for (int second = 0; second < 10; ++second)
            progress.Tick();
        progress.FileFinished(30000);
        QCOMPARE(progress.RemainingTime(), qint64(10));
        QVERIFY(progress.IsComplete());
    }

    void failedFileAdvancesDone() {
        TRunProgress progress;
        progress.Reset(3, 0);
        QCOMPARE(progress.ProgressText(),
                 QStringLiteral("Progress: 0% Done: 0 Success: 0 Error: 0 Remaining: 3"));
        progress.FileFailed();
        progress.FileFinished(0);
        QCOMPARE(progress.ProgressText(),
                 QStringLiteral("Progress: 33% Done: 1 Success: 0 Error: 1 Remaining: 2"));
        progress.FileFinished(0);
        QCOMPARE(progress.ProgressText(),
                 QStringLiteral("Progress: 66% Done: 2 Success: 1 Error: 1 Remaining: 1"));
        QVERIFY(!progress.IsComplete());
        progress.FileFinished(0);
        QVERIFY(progress.IsComplete());
        QCOMPARE(progress.Percent(), 100);
    }

    void emptyRunHasZeroPercent() {
        TRunProgress progress;
        progress.Reset(0, 0);
        QCOMPARE(progress.Percent(), 0);
    }

    void slotLoad_data() {
        QTest::addColumn<QList<TSlotReading>>("readings");
        QTest::addColumn<int>("processors");
        QTest::addColumn<QString>("speedText");
        QTest::addColumn<QString>("cpuText");
        QTest::newRow("three slots at 2x")
            << QList<TSlotReading>{{true, 0, 2.0}, {true, 0, 2.0}, {true, 0, 2.0}} << 4
            << QStringLiteral("Speed: 6.00x") << QStringLiteral("CPU Usage:  0.00%");
        QTest::newRow("two busy processes on four processors")
            << QList<TSlotReading>{{true, 100, 1.5}, {true, 100, 1.25}} << 4 << QStringLiteral("Speed: 2.75x")
            << QStringLiteral("CPU Usage: 50.00%");
        QTest::newRow("idle slots do not count")
            << QList<TSlotReading>{{true, 80, 3.0}, {false, 100, 9.0}} << 2 << QStringLiteral("Speed: 3.00x")
            << QStringLiteral("CPU Usage: 40.00%");
        QTest::newRow("no slots") << QList<TSlotReading>{} << 2 << QStringLiteral("Speed: 0.00x")
                                  << QStringLiteral("CPU Usage:  0.00%");
    }
    void slotLoad() {
        QFETCH(QList<TSlotReading>, readings);
        QFETCH(int, processors);
        const TSlotLoad load = TSlotLoad::Sum(readings, processors);
        QTEST(load.SpeedText(), "speedText");
        QTEST(load.CPUUsageText(), "cpuText");
    }
};

QTEST_GUILESS_MAIN(TestRunProgress)
#include "tst_runprogress.moc"
