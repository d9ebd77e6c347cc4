#include "TestSupport.h"
#include "engine/ConversionEngine.h"

#include <QtTest>

// The batch run with real encoder slots: the shared queue, the counters, the
// result, the load and Stop. ffmpeg is the real one, or a fake that never ends
// when a test needs a file still converting or a fixed speed to sum.
class TestConversionEngine : public QObject {
    Q_OBJECT

    QTemporaryDir FFolder;
    QString FSlowFFmpeg;

    QString path(const QString& name) const { return QDir(FFolder.path()).filePath(name); }

    TMediaFile makeSource(const QString& name, double seconds) {
        const QString file = path(name);
        if (!QFileInfo::exists(file))
            [&] { QVERIFY(TestSupport::MakeTone(file, seconds)); }();
        TMediaFile media;
        media.FilePath = file;
        TAudioStream stream;
        stream.StreamIndex = 0;
        stream.SamplingRate = 44100;
        stream.Codec = QStringLiteral("flac");
        stream.Duration = qint64(seconds * 1000);
        stream.Lang = QStringLiteral("UND");
        media.AudioStreams.append(stream);
        return media;
    }

    TRunSettings settings(int slotCount, const QString& outputName) const {
        TRunSettings run;
        run.OutputFolder = path(outputName);
        run.CreateFolderStruct = false;
        run.ThreadCount = slotCount;
        run.Profile.FCodecId = ocWAV;
        run.Profile.FEncodeType = etNone;
        run.CopyCoverArt = false;
        return run;
    }

    static void prepare(TConversionEngine& engine, const QString& ffmpeg) {
        engine.SetFFmpegPath(ffmpeg);
        engine.SetCoverArtWriterPath(QDir(TestSupport::ProgramDir()).filePath(QStringLiteral("coverstamp")));
        engine.SetBackendOutputFolder(QDir::tempPath());
    }

    static QString realFFmpeg() { return QStandardPaths::findExecutable(QStringLiteral("ffmpeg")); }

private slots:
    void initTestCase() {
        QVERIFY(FFolder.isValid());
        QVERIFY(!realFFmpeg().isEmpty());
        qputenv("XDG_CONFIG_HOME", FFolder.path().toUtf8());
        FSlowFFmpeg = path(QStringLiteral("slow-ffmpeg"));
        QVERIFY(TestSupport::WriteScript(FSlowFFmpeg, "#!/bin/sh\nexec sleep 60\n"));
    }

    // Slots take the queue strictly in list order; spare slots stay idle.
    void slotsDrainTheQueueInListOrder_data() {
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<int>("files");
        QTest::newRow("4 slots, 2 files") << 4 << 2;
        QTest::newRow("1 slot, 3 files") << 1 << 3;
    }
    void slotsDrainTheQueueInListOrder() {
        QFETCH(int, slotCount);
        QFETCH(int, files);
        TConversionEngine engine;
        prepare(engine, realFFmpeg());
        for (int index = 0; index < files; ++index)
            engine.AppendMediaFile(makeSource(QStringLiteral("tone%1.flac").arg(index), 1));

        QStringList events;
        connect(&engine, &TConversionEngine::RowStateChanged, this, [&](int row, int icon) {
            if (icon == TConversionEngine::IconConverting)
                events << QStringLiteral("start %1").arg(row);
        });
        connect(&engine, &TConversionEngine::FileFinished, this, [&](int row, int, const QString& text) {
            events << QStringLiteral("%1 %2").arg(text).arg(row);
        });
        QSignalSpy finished(&engine, &TConversionEngine::RunFinished);

        QVERIFY(engine.StartConversion(settings(slotCount, QStringLiteral("order%1").arg(slotCount))));
        QCOMPARE(engine.SlotCount(), slotCount);
        QCOMPARE(engine.RunningSlotCount(), qMin(slotCount, files));
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(0).toString(), QStringLiteral("Convertion is finished successfully."));
        QCOMPARE(engine.Progress().TotalProgressCount(), files);
        QVERIFY(!engine.IsConverting());
        for (int row = 0; row < files; ++row)
            QCOMPARE(engine.RowState(row).Text, QStringLiteral("Done"));

        if (slotCount == 1) {
            QStringList expected;
            for (int row = 0; row < files; ++row)
                expected << QStringLiteral("start %1").arg(row) << QStringLiteral("Done %1").arg(row);
            QCOMPARE(events, expected);
        }
        QTest::qWait(50);
        QCOMPARE(finished.count(), 1);
    }

    // A failed file still advances "Done:"; the result names the failures.
    void failedFileAdvancesDone() {
        TConversionEngine engine;
        prepare(engine, realFFmpeg());
        engine.AppendMediaFile(makeSource(QStringLiteral("good.flac"), 1));
        TMediaFile broken = makeSource(QStringLiteral("good.flac"), 1);
        broken.FilePath = path(QStringLiteral("vanished.flac")); // gone before the run
        engine.AppendMediaFile(broken);
        engine.AppendMediaFile(makeSource(QStringLiteral("good2.flac"), 1));

        QSignalSpy finished(&engine, &TConversionEngine::RunFinished);
        QVERIFY(engine.StartConversion(settings(2, QStringLiteral("failing"))));
        engine.SetPostEncodeAction(paOpenOutputFolder); // read when the run ends
        QVERIFY(finished.wait(60000));

        QCOMPARE(finished.first().at(0).toString(),
                 QStringLiteral("1 files failed to convert. Please see logs."));
        QCOMPARE(finished.first().at(1).toInt(), 1);
        QCOMPARE(finished.first().at(2).toInt(), int(paOpenOutputFolder));
        QCOMPARE(engine.Progress().ProgressText(),
                 QStringLiteral("Progress: 100% Done: 3 Success: 2 Error: 1 Remaining: 0"));
        QCOMPARE(engine.RowState(1).Text, QStringLiteral("Error"));
        QCOMPARE(engine.RowState(1).Icon, int(TConversionEngine::IconFailed));
        QCOMPARE(engine.RowState(2).Text, QStringLiteral("Done"));

        QStringList messages;
        for (const TLogItem& item : engine.LogItems())
            messages << item.Msg;
        const int failedAt = int(messages.indexOf(QStringLiteral("A file failed.")));
        QVERIFY(failedAt >= 0);
        QVERIFY(messages.at(failedAt + 1).startsWith(QStringLiteral("Command line: -y")));
        QVERIFY(messages.at(failedAt + 1).contains(QStringLiteral("vanished.flac")));
        QVERIFY(messages.at(failedAt + 2).startsWith(QStringLiteral("Encoder exit code: ")));
        QVERIFY(messages.contains(QStringLiteral("1 files failed to convert")));
    }

    // Stop while the last files convert completes the run (stopped files count as
    // finished, not as failures) before the stop's own closing steps.
    void stopWhileLastFilesConvertCompletesTheRun() {
        TConversionEngine engine;
        prepare(engine, FSlowFFmpeg);
        engine.AppendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        engine.AppendMediaFile(makeSource(QStringLiteral("tone1.flac"), 1));

        QStringList order;
        connect(&engine, &TConversionEngine::RunFinished, this, [&] { order << QStringLiteral("finished"); });
        connect(&engine, &TConversionEngine::RunStopped, this, [&] { order << QStringLiteral("stopped"); });
        QSignalSpy stopped(&engine, &TConversionEngine::RunStopped);

        QVERIFY(engine.StartConversion(settings(2, QStringLiteral("stop-all"))));
        QTRY_COMPARE(engine.RowState(1).Icon, int(TConversionEngine::IconConverting));
        engine.Stop();
        QVERIFY(stopped.wait(20000));
        QCOMPARE(order, (QStringList{QStringLiteral("finished"), QStringLiteral("stopped")}));
        QCOMPARE(engine.RowState(0).Text, QStringLiteral("Stopped by user"));
        QCOMPARE(engine.RowState(1).Icon, int(TConversionEngine::IconStopped));
        QCOMPARE(engine.Progress().TotalFailedCount(), 0);
        QCOMPARE(engine.State(), TConversionEngine::TState::Idle);
        QCOMPARE(engine.LogItems().last().Msg, QStringLiteral("Encoding stopped by user."));
    }

    // The load the run shows is read off the running slots: two converters that
    // each report 1.5x and keep a processor busy make 3.00x together and some CPU.
    void loadIsSummedOverRunningSlots() {
        const QString busyFFmpeg = path(QStringLiteral("busy-ffmpeg"));
        QVERIFY(TestSupport::WriteScript(
            busyFFmpeg,
            "#!/bin/sh\n"
            "while :; do\n"
            "  printf 'size=       1kB time=00:00:01.00 bitrate=   8.0kbits/s speed= 1.5x    \\r' >&2\n"
            "  i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done\n"
            "done\n"));
        TConversionEngine engine;
        prepare(engine, busyFFmpeg);
        engine.AppendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        engine.AppendMediaFile(makeSource(QStringLiteral("tone1.flac"), 1));

        TSlotLoad load;
        connect(&engine, &TConversionEngine::LoadChanged, this,
                [&](const TSlotLoad& latest) { load = latest; });
        QVERIFY(engine.StartConversion(settings(2, QStringLiteral("load"))));
        QTRY_COMPARE_WITH_TIMEOUT(load.Speed, 3.0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(load.CPUUsage > 0, 10000);
        QCOMPARE_LE(load.CPUUsage, 100.0f);
        QSignalSpy stopped(&engine, &TConversionEngine::RunStopped);
        engine.Stop();
        QVERIFY(stopped.wait(20000));
    }

    // A stop that leaves files unconverted: they keep "Ready" and no result comes.
    void stopLeavesUnstartedRowsReady() {
        TConversionEngine engine;
        prepare(engine, FSlowFFmpeg);
        for (int index = 0; index < 3; ++index)
            engine.AppendMediaFile(makeSource(QStringLiteral("tone%1.flac").arg(index), 1));
        QSignalSpy finished(&engine, &TConversionEngine::RunFinished);
        QSignalSpy stopped(&engine, &TConversionEngine::RunStopped);

        QVERIFY(engine.StartConversion(settings(1, QStringLiteral("stop-some"))));
        QTRY_COMPARE(engine.RowState(0).Icon, int(TConversionEngine::IconConverting));
        engine.Stop();
        QVERIFY(stopped.wait(20000));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(engine.RowState(0).Text, QStringLiteral("Stopped by user"));
        QCOMPARE(engine.RowState(1).Text, QStringLiteral("Ready"));
        QCOMPARE(engine.RowState(2).Text, QStringLiteral("Ready"));
        QCOMPARE(engine.RunningSlotCount(), 0);
    }

    void startRefusals() {
        TConversionEngine engine;
        prepare(engine, realFFmpeg());
        QSignalSpy messages(&engine, &TConversionEngine::MessageRequested);
        QVERIFY(!engine.StartConversion(settings(1, QStringLiteral("empty"))));
        QCOMPARE(messages.last().at(1).toString(), QStringLiteral("Please add audio files."));
        QCOMPARE(messages.last().at(0).toString(), QStringLiteral("Error"));

        engine.AppendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        TRunSettings blocked = settings(1, QStringLiteral("tone0.flac/out")); // below a file
        QVERIFY(!engine.StartConversion(blocked));
        QCOMPARE(messages.last().at(1).toString(), QStringLiteral("Unable to find or create output folder."));
        QCOMPARE(engine.State(), TConversionEngine::TState::Idle);
    }

    // Every output exists and the option skips: the warning, and the rows keep their states.
    void everyFileSkipped() {
        TConversionEngine engine;
        prepare(engine, realFFmpeg());
        engine.AppendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        TRunSettings run = settings(1, QStringLiteral("skipping"));
        QSignalSpy finished(&engine, &TConversionEngine::RunFinished);
        QVERIFY(engine.StartConversion(run));
        QVERIFY(finished.wait(60000));
        QCOMPARE(engine.RowState(0).Text, QStringLiteral("Done"));

        run.OverwriteOption = 2;
        QSignalSpy messages(&engine, &TConversionEngine::MessageRequested);
        QVERIFY(!engine.StartConversion(run));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.first().at(0).toString(), QStringLiteral("Warning"));
        QCOMPARE(messages.first().at(1).toString(),
                 QStringLiteral("No encoding tasks are created. Please check your overwrite options."));
        QCOMPARE(engine.SkippedRows(), QList<int>{0});
        QCOMPARE(engine.RowState(0).Text, QStringLiteral("Done"));
    }

    void summaryAndTotalListTime() {
        TConversionEngine engine;
        QCOMPARE(engine.FileListSummary(), QStringLiteral("0 files, 00:00:00 in length"));
        engine.AppendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        TMediaFile twoStreams = makeSource(QStringLiteral("tone1.flac"), 1);
        twoStreams.AudioStreams.append(twoStreams.AudioStreams.first());
        twoStreams.AudioStreams[1].Duration = 61000;
        engine.AppendMediaFile(twoStreams);
        QCOMPARE(engine.FileListSummary(), QStringLiteral("2 files, 00:00:02 in length"));
        engine.SetSelectedAudioStream(1, 1);
        QCOMPARE(engine.TotalListTime(), qint64(62000));
        engine.RemoveMediaFile(0);
        QCOMPARE(engine.FileListSummary(), QStringLiteral("1 files, 00:01:01 in length"));
    }
};

QTEST_GUILESS_MAIN(TestConversionEngine)
#include "tst_conversionengine.moc"
