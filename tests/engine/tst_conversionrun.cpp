#include "TestSupport.h"
#include "engine/ConversionRun.h"
#include "engine/FileListModel.h"
#include "engine/LogModel.h"

#include <QtTest>

// The batch run with real encoder slots: the shared queue, the counters, the
// result, the load and Stop. ffmpeg is the real one, or a fake that never ends
// when a test needs a file still converting or a fixed speed to sum.
// The pieces a front end composes: the list, the window log and the run over them.
struct Engine {
    FileListModel files;
    LogModel log;
    ConversionRun run{files, log};
};

class TestConversionRun : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_slowFFmpeg;

    QString path(const QString& name) const { return QDir(m_folder.path()).filePath(name); }

    MediaFile makeSource(const QString& name, double seconds) {
        const QString file = path(name);
        if (!QFileInfo::exists(file))
            [&] { QVERIFY(TestSupport::makeTone(file, seconds)); }();
        MediaFile media;
        media.filePath = file;
        AudioStream stream;
        stream.streamIndex = 0;
        stream.samplingRate = 44100;
        stream.codec = QStringLiteral("flac");
        stream.duration = qint64(seconds * 1000);
        stream.lang = QStringLiteral("UND");
        media.audioStreams.append(stream);
        return media;
    }

    RunSettings settings(int slotCount, const QString& outputName) const {
        RunSettings run;
        run.outputFolder = path(outputName);
        run.createFolderStruct = false;
        run.threadCount = slotCount;
        run.profile.codecId = OutputCodec::Wav;
        run.profile.encodeType = EncodeType::None;
        run.copyCoverArt = false;
        return run;
    }

    static void prepare(Engine& engine, const QString& ffmpeg) {
        engine.run.setFFmpegPath(ffmpeg);
        engine.run.setCoverArtWriterPath(
            QDir(TestSupport::programDir()).filePath(QStringLiteral("coverstamp")));
        engine.run.setBackendOutputFolder(QDir::tempPath());
    }

    static QString realFFmpeg() { return QStandardPaths::findExecutable(QStringLiteral("ffmpeg")); }

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(!realFFmpeg().isEmpty());
        qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8());
        m_slowFFmpeg = path(QStringLiteral("slow-ffmpeg"));
        QVERIFY(TestSupport::writeScript(m_slowFFmpeg, "#!/bin/sh\nexec sleep 60\n"));
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
        Engine engine;
        prepare(engine, realFFmpeg());
        for (int index = 0; index < files; ++index)
            engine.files.appendMediaFile(makeSource(QStringLiteral("tone%1.flac").arg(index), 1));

        QStringList events;
        connect(&engine.files, &FileListModel::dataChanged, this, [&](const QModelIndex& changed) {
            const int row = changed.row();
            if (engine.files.rowState(row).icon == RowIcon::Converting &&
                !events.contains(QStringLiteral("start %1").arg(row)))
                events << QStringLiteral("start %1").arg(row);
        });
        connect(&engine.run, &ConversionRun::fileFinished, this, [&](int row, JobOutcome outcome) {
            QCOMPARE(outcome, JobOutcome::Done);
            events << QStringLiteral("%1 %2").arg(engine.files.rowState(row).text).arg(row);
        });
        QSignalSpy finished(&engine.run, &ConversionRun::runFinished);

        QCOMPARE(engine.run.start(settings(slotCount, QStringLiteral("order%1").arg(slotCount))),
                 StartResult::Started);
        QCOMPARE(engine.run.slotCount(), slotCount);
        QCOMPARE(engine.run.runningSlotCount(), qMin(slotCount, files));
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(0).value<RunResult>().message,
                 QStringLiteral("Convertion is finished successfully."));
        QCOMPARE(engine.run.progress().totalProgressCount(), files);
        QVERIFY(!engine.run.isConverting());
        for (int row = 0; row < files; ++row)
            QCOMPARE(engine.files.rowState(row).text, QStringLiteral("Done"));

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
        Engine engine;
        prepare(engine, realFFmpeg());
        engine.files.appendMediaFile(makeSource(QStringLiteral("good.flac"), 1));
        MediaFile broken = makeSource(QStringLiteral("good.flac"), 1);
        broken.filePath = path(QStringLiteral("vanished.flac")); // gone before the run
        engine.files.appendMediaFile(broken);
        engine.files.appendMediaFile(makeSource(QStringLiteral("good2.flac"), 1));

        QSignalSpy finished(&engine.run, &ConversionRun::runFinished);
        QCOMPARE(engine.run.start(settings(2, QStringLiteral("failing"))), StartResult::Started);
        engine.run.setPostEncodeAction(PostEncodeAction::OpenOutputFolder); // read when the run ends
        QVERIFY(finished.wait(60000));

        const RunResult result = finished.first().at(0).value<RunResult>();
        QCOMPARE(result.message, QStringLiteral("1 files failed to convert. Please see logs."));
        QCOMPARE(result.failedCount, 1);
        QCOMPARE(result.postEncodeAction, PostEncodeAction::OpenOutputFolder);
        QCOMPARE(engine.run.progress().progressText(),
                 QStringLiteral("Progress: 100% Done: 3 Success: 2 Error: 1 Remaining: 0"));
        QCOMPARE(engine.files.rowState(1).text, QStringLiteral("Error"));
        QCOMPARE(engine.files.rowState(1).icon, RowIcon::Failed);
        QCOMPARE(engine.files.rowState(2).text, QStringLiteral("Done"));

        QStringList messages;
        for (const LogEntry& item : engine.log.entries())
            messages << item.message;
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
        Engine engine;
        prepare(engine, m_slowFFmpeg);
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone1.flac"), 1));

        QStringList order;
        connect(&engine.run, &ConversionRun::runFinished, this, [&] { order << QStringLiteral("finished"); });
        connect(&engine.run, &ConversionRun::runStopped, this, [&] { order << QStringLiteral("stopped"); });
        QSignalSpy stopped(&engine.run, &ConversionRun::runStopped);

        QCOMPARE(engine.run.start(settings(2, QStringLiteral("stop-all"))), StartResult::Started);
        QTRY_COMPARE(engine.files.rowState(1).icon, RowIcon::Converting);
        engine.run.stop();
        QVERIFY(stopped.wait(20000));
        QCOMPARE(order, (QStringList{QStringLiteral("finished"), QStringLiteral("stopped")}));
        QCOMPARE(engine.files.rowState(0).text, QStringLiteral("Stopped by user"));
        QCOMPARE(engine.files.rowState(1).icon, RowIcon::Stopped);
        QCOMPARE(engine.run.progress().totalFailedCount(), 0);
        QCOMPARE(engine.run.state(), ConversionRun::State::Idle);
        QCOMPARE(engine.log.entries().last().message, QStringLiteral("Encoding stopped by user."));
    }

    // The load the run shows is read off the running slots: two converters that
    // each report 1.5x and keep a processor busy make 3.00x together and some CPU.
    void loadIsSummedOverRunningSlots() {
        const QString busyFFmpeg = path(QStringLiteral("busy-ffmpeg"));
        QVERIFY(TestSupport::writeScript(
            busyFFmpeg,
            "#!/bin/sh\n"
            "while :; do\n"
            "  printf 'size=       1kB time=00:00:01.00 bitrate=   8.0kbits/s speed= 1.5x    \\r' >&2\n"
            "  i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done\n"
            "done\n"));
        Engine engine;
        prepare(engine, busyFFmpeg);
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone1.flac"), 1));

        SlotLoad load;
        connect(&engine.run, &ConversionRun::loadChanged, this,
                [&](const SlotLoad& latest) { load = latest; });
        QCOMPARE(engine.run.start(settings(2, QStringLiteral("load"))), StartResult::Started);
        QTRY_COMPARE_WITH_TIMEOUT(load.speed, 3.0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(load.cpuUsage > 0, 10000);
        QCOMPARE_LE(load.cpuUsage, 100.0f);
        QSignalSpy stopped(&engine.run, &ConversionRun::runStopped);
        engine.run.stop();
        QVERIFY(stopped.wait(20000));
    }

    // A stop that leaves files unconverted: they keep "Ready" and no result comes.
    void stopLeavesUnstartedRowsReady() {
        Engine engine;
        prepare(engine, m_slowFFmpeg);
        for (int index = 0; index < 3; ++index)
            engine.files.appendMediaFile(makeSource(QStringLiteral("tone%1.flac").arg(index), 1));
        QSignalSpy finished(&engine.run, &ConversionRun::runFinished);
        QSignalSpy stopped(&engine.run, &ConversionRun::runStopped);

        QCOMPARE(engine.run.start(settings(1, QStringLiteral("stop-some"))), StartResult::Started);
        QTRY_COMPARE(engine.files.rowState(0).icon, RowIcon::Converting);
        engine.run.stop();
        QVERIFY(stopped.wait(20000));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(engine.files.rowState(0).text, QStringLiteral("Stopped by user"));
        QCOMPARE(engine.files.rowState(1).text, QStringLiteral("Ready"));
        QCOMPARE(engine.files.rowState(2).text, QStringLiteral("Ready"));
        QCOMPARE(engine.run.runningSlotCount(), 0);
    }

    void startRefusals() {
        Engine engine;
        prepare(engine, realFFmpeg());
        QSignalSpy messages(&engine.run, &ConversionRun::messageRequested);
        QCOMPARE(engine.run.start(settings(1, QStringLiteral("empty"))), StartResult::NoFiles);
        QCOMPARE(messages.last().at(1).toString(), QStringLiteral("Please add audio files."));
        QCOMPARE(messages.last().at(0).value<MessageKind>(), MessageKind::Error);

        engine.files.appendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        RunSettings blocked = settings(1, QStringLiteral("tone0.flac/out")); // below a file
        QCOMPARE(engine.run.start(blocked), StartResult::NoOutputFolder);
        QCOMPARE(messages.last().at(1).toString(), QStringLiteral("Unable to find or create output folder."));
        QCOMPARE(engine.run.state(), ConversionRun::State::Idle);
    }

    // Every output exists and the option skips: the warning, and the rows keep their states.
    void everyFileSkipped() {
        Engine engine;
        prepare(engine, realFFmpeg());
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        RunSettings run = settings(1, QStringLiteral("skipping"));
        QSignalSpy finished(&engine.run, &ConversionRun::runFinished);
        QCOMPARE(engine.run.start(run), StartResult::Started);
        QVERIFY(finished.wait(60000));
        QCOMPARE(engine.files.rowState(0).text, QStringLiteral("Done"));

        run.overwriteOption = OverwriteOption::Skip;
        QSignalSpy messages(&engine.run, &ConversionRun::messageRequested);
        QCOMPARE(engine.run.start(run), StartResult::NothingToDo);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.first().at(0).value<MessageKind>(), MessageKind::Warning);
        QCOMPARE(messages.first().at(1).toString(),
                 QStringLiteral("No encoding tasks are created. Please check your overwrite options."));
        QCOMPARE(engine.run.skippedRows(), QList<int>{0});
        QCOMPARE(engine.files.rowState(0).text, QStringLiteral("Done"));
    }

    void summaryAndTotalListTime() {
        Engine engine;
        QCOMPARE(engine.files.summary(), QStringLiteral("0 files, 00:00:00 in length"));
        engine.files.appendMediaFile(makeSource(QStringLiteral("tone0.flac"), 1));
        MediaFile twoStreams = makeSource(QStringLiteral("tone1.flac"), 1);
        twoStreams.audioStreams.append(twoStreams.audioStreams.first());
        twoStreams.audioStreams[1].duration = 61000;
        engine.files.appendMediaFile(twoStreams);
        QCOMPARE(engine.files.summary(), QStringLiteral("2 files, 00:00:02 in length"));
        engine.files.setSelectedAudioStream(1, 1);
        QCOMPARE(engine.files.totalListTime(), qint64(62000));
        engine.files.removeMediaFile(0);
        QCOMPARE(engine.files.summary(), QStringLiteral("1 files, 00:01:01 in length"));
    }
};

QTEST_GUILESS_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
