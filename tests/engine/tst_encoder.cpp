#include "TestSupport.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "engine/Encoder.h"
#include "engine/EncoderOwner.h"
#include "model/FFmpegCommandLine.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Stands in for the main window: hands out the queue in order and records
// every call a slot makes.
class TRecordingOwner : public TEncoderOwner {
public:
    QList<TFFmpegCommandLine> Jobs;
    int NextJob = 0;
    QString DumpFolder;
    QMap<int, QList<int>> Completions; // row -> states of IncreaseTotalProgress
    QMap<int, QStringList> Messages;   // row -> UpdateListItemProgressEx texts
    QMap<int, int> ErrorExitCodes;     // row -> MarkAsError exit code
    QMap<int, int> StartedRows;        // row -> UpdateFileListItemState(…, 1) count
    QMap<int, int> ProgressUpdates;    // row -> UpdateListItemProgress count
    QMap<int, int> LatestTime;         // row -> latest TimeProcessed

    bool GetNextCommandline(const TFFmpegCommandLine*& CommandLine) override {
        if (NextJob >= Jobs.size())
            return false;
        CommandLine = &Jobs[NextJob++];
        return true;
    }
    void UpdateFileListItemState(int ItemIndex, int StateIndex) override {
        if (StateIndex == 1)
            ++StartedRows[ItemIndex];
    }
    void UpdateListItemProgress(int ItemIndex, const TFFMpegProgressInfo& progress) override {
        QVERIFY(progress.TimeProcessed >= 0);
        ++ProgressUpdates[ItemIndex];
        LatestTime[ItemIndex] = progress.TimeProcessed;
    }
    void UpdateListItemProgressEx(int ItemIndex, const QString& Msg) override { Messages[ItemIndex] << Msg; }
    void MarkAsError(int ItemIndex, const QString&, const QString&, int ExitCode) override {
        Messages[ItemIndex] << QStringLiteral("Error");
        ErrorExitCodes[ItemIndex] = ExitCode;
    }
    void IncreaseTotalProgress(int ItemIndex, int StateIndex) override {
        Completions[ItemIndex] << StateIndex;
    }
    QString BackendOutputFolderPath() const override { return DumpFolder; }
};

TFFmpegCommandLine MakeJob(int row, const QString& source, const QString& destination,
                           const QStringList& codecArgs, const QString& cover = QString()) {
    TFFmpegCommandLine job;
    job.SourceFilePath = source;
    job.DestinationFilePath = destination;
    job.FileListIndex = row;
    job.TempCoverArtFilePath = cover;
    job.Arguments =
        QStringList{"-hide_banner", "-i", source, "-vn"} + codecArgs + QStringList{"-y", destination};
    job.CommandLine = u' ' + job.Arguments.join(u' ');
    job.Duration = 3000;
    return job;
}

QString ProbeCodec(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::RunFFprobe({"-select_streams", "a:0", "-show_entries", "stream=codec_name", path}))
            .object();
    return probe["streams"].toArray().at(0)["codec_name"].toString();
}

int AttachedPictureCount(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::RunFFprobe({"-show_entries", "stream_disposition=attached_pic", path}))
            .object();
    int count = 0;
    for (const QJsonValue& stream : probe["streams"].toArray())
        count += stream["disposition"]["attached_pic"].toInt();
    return count;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString WriteScript(const QString& path, const QByteArray& body) {
    return TestSupport::WriteScript(path, "#!/bin/sh\n" + body + "\n") ? path : QString();
}

} // namespace

class TestEncoder : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString FFFmpeg;
    QString FTone;     // 3 s WAV
    QString FCover;    // JPEG
    QString FNotAudio; // a text file ffmpeg cannot read
    QString FLogFolder;

    std::unique_ptr<TEncoder> MakeSlot(int index, TRecordingOwner& owner) {
        auto slot = std::make_unique<TEncoder>(index, owner);
        slot->SetFFmpegPath(FFFmpeg);
        slot->SetCoverArtWriterPath(QDir(TestSupport::ProgramDir()).filePath(QStringLiteral("coverstamp")));
        slot->Reset();
        return slot;
    }

    // Everything in a folder, hidden files included, but the named ones.
    static QStringList FilesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FFFmpeg = AppPaths::FindTool(QStringLiteral("ffmpeg"));
        QVERIFY(!FFFmpeg.isEmpty());
        FTone = FDir.filePath(QStringLiteral("tone.wav"));
        FCover = FDir.filePath(QStringLiteral("cover.jpg"));
        FNotAudio = FDir.filePath(QStringLiteral("not audio.mp3"));
        QVERIFY(TestSupport::MakeTone(FTone, 3));
        QVERIFY(TestSupport::MakePicture(FCover));
        QFile notAudio(FNotAudio);
        QVERIFY(notAudio.open(QIODevice::WriteOnly));
        notAudio.write("plain text\n");
        notAudio.close();
        FLogFolder = FDir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkpath(FLogFolder));
        ConfigureProgramLog(FLogFolder);
    }

    // Two slots drain one queue of real jobs; every job ends in exactly one outcome.
    void twoSlotsDrainTheQueue() {
        const QString out = FDir.filePath(QStringLiteral("queue"));
        TRecordingOwner owner;
        owner.DumpFolder = FDir.filePath(QStringLiteral("dumps"));
        const QStringList mp3{"-c:a", "libmp3lame", "-b:a", "128k"};
        owner.Jobs = {
            MakeJob(0, FTone, out + QStringLiteral("/a.mp3"), mp3),
            MakeJob(1, FNotAudio, out + QStringLiteral("/broken.mp3"), mp3),
            MakeJob(2, FTone, out + QStringLiteral("/sub dir/with cover.mp3"), mp3, FCover),
            MakeJob(3, FTone, out + QStringLiteral("/bad codec.ogg"), {"-c:a", "no_such_encoder"}),
            MakeJob(4, FTone, out + QStringLiteral("/b.flac"), {"-c:a", "flac"}),
        };
        auto slot0 = MakeSlot(0, owner);
        auto slot1 = MakeSlot(1, owner);
        slot0->SetEmbeddArtwork(true);
        slot1->SetEmbeddArtwork(true);
        slot0->Start();
        slot1->Start();
        QVERIFY(slot0->Running());
        QVERIFY(slot1->Running());
        QTRY_VERIFY_WITH_TIMEOUT(!slot0->Running() && !slot1->Running(), 180000);

        for (int row = 0; row < owner.Jobs.size(); ++row) {
            QCOMPARE(owner.StartedRows.value(row), 1);
            QCOMPARE(owner.Completions.value(row).size(), 1);
        }
        const QMap<int, int> expectedStates{{0, 2}, {1, 3}, {2, 2}, {3, 3}, {4, 2}};
        for (auto it = expectedStates.begin(); it != expectedStates.end(); ++it) {
            QCOMPARE(owner.Completions.value(it.key()).first(), it.value());
            QCOMPARE(owner.Messages.value(it.key()),
                     QStringList{it.value() == 2 ? QStringLiteral("Done") : QStringLiteral("Error")});
        }
        QVERIFY(owner.ProgressUpdates.value(0) > 0);
        QCOMPARE(slot0->Progress() + slot1->Progress() + 2, owner.Jobs.size());

        QCOMPARE(ProbeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        QCOMPARE(ProbeCodec(out + QStringLiteral("/b.flac")), QStringLiteral("flac"));
        QCOMPARE(AttachedPictureCount(out + QStringLiteral("/sub dir/with cover.mp3")), 1);
        QCOMPARE(AttachedPictureCount(out + QStringLiteral("/a.mp3")), 0);
        // Failed jobs leave nothing, not even their temporary files.
        QCOMPARE(FilesIn(out), (QStringList{"a.mp3", "b.flac"}));
        QCOMPARE(FilesIn(out + QStringLiteral("/sub dir")), QStringList{"with cover.mp3"});

        // One dump per job, even when jobs end within the same second; each starts
        // with the job's command line.
        const QStringList dumps = FilesIn(owner.DumpFolder);
        QCOMPARE(dumps.size(), owner.Jobs.size());
        QStringList firstLines;
        for (const QString& dump : dumps) {
            QFile file(QDir(owner.DumpFolder).filePath(dump));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
            QVERIFY(bytes.endsWith("\r\n"));
            firstLines << QString::fromUtf8(bytes.mid(3)).section(QStringLiteral("\r\n"), 0, 0);
        }
        for (const TFFmpegCommandLine& job : std::as_const(owner.Jobs))
            QVERIFY(firstLines.contains(job.CommandLine));

        // The failure's console output is logged as a JSON array of its lines.
        const QString log = ReadText(ProgramLogFilePath());
        const qsizetype marker = log.indexOf(QStringLiteral("ProcessTerminate() Console output: "));
        QVERIFY(marker >= 0);
        const qsizetype start = log.indexOf(u'[', marker);
        const QString json = log.mid(start, log.indexOf(u'\n', start) - start).section(u'|', 0, 0);
        QJsonParseError error;
        const QJsonDocument lines = QJsonDocument::fromJson(json.toUtf8(), &error);
        QVERIFY2(lines.isArray(), qPrintable(error.errorString() + u' ' + json));
        QVERIFY(lines.array().size() >= 2);
    }

    // With "Overwrite the existing file", a failing job leaves the old file as it
    // was; a succeeding one replaces it.
    void existingDestination() {
        const QString out = FDir.filePath(QStringLiteral("overwrite"));
        QVERIFY(QDir().mkpath(out));
        const QString kept = out + QStringLiteral("/kept.mp3");
        const QString replaced = out + QStringLiteral("/replaced.mp3");
        for (const QString& path : {kept, replaced}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old file");
        }
        TRecordingOwner owner;
        owner.Jobs = {MakeJob(0, FNotAudio, kept, {"-c:a", "libmp3lame"}),
                      MakeJob(1, FTone, replaced, {"-c:a", "libmp3lame"})};
        auto slot = MakeSlot(0, owner);
        slot->Start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->Running(), 120000);
        QCOMPARE(owner.Completions.value(0), QList<int>{3});
        QCOMPARE(owner.Completions.value(1), QList<int>{2});
        QCOMPARE(ReadText(kept), QStringLiteral("old file"));
        QCOMPARE(ProbeCodec(replaced), QStringLiteral("mp3"));
        QCOMPARE(FilesIn(out), (QStringList{"kept.mp3", "replaced.mp3"}));
    }

    // Stop mid-job: "Stopped by user", no further job, and the unfinished file
    // deleted or kept under the destination name as the flag says.
    void stopMidJob_data() {
        QTest::addColumn<bool>("deleteUnfinished");
        QTest::addColumn<bool>("destinationExists");
        QTest::newRow("delete unfinished") << true << false;
        QTest::newRow("keep unfinished") << false << false;
        // The unfinished file never takes the place of a complete one.
        QTest::newRow("keep unfinished beside an existing file") << false << true;
    }
    void stopMidJob() {
        QFETCH(bool, deleteUnfinished);
        QFETCH(bool, destinationExists);
        const QString out =
            FDir.filePath(QStringLiteral("stop-%1-%2").arg(deleteUnfinished).arg(destinationExists));
        const QString destination = out + QStringLiteral("/slow.wav");
        if (destinationExists) {
            QVERIFY(QDir().mkpath(out));
            QFile old(destination);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old file");
        }
        const QString slowSource = FDir.filePath(QStringLiteral("long.wav"));
        if (!QFileInfo::exists(slowSource))
            QVERIFY(TestSupport::MakeTone(slowSource, 60));
        TRecordingOwner owner;
        // Read at the pace of playback, so the job is still running when stopped.
        TFFmpegCommandLine slow = MakeJob(0, slowSource, destination, {"-c:a", "pcm_s16le"});
        slow.Arguments.prepend(QStringLiteral("-re"));
        owner.Jobs = {slow, MakeJob(1, FTone, out + QStringLiteral("/next.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = MakeSlot(0, owner);
        slot->SetDelUnfinished(deleteUnfinished);
        slot->Start();
        QTRY_VERIFY_WITH_TIMEOUT(owner.LatestTime.value(0) >= 2, 60000);
        slot->Stop();
        QVERIFY(slot->StoppedByUser());
        QTRY_VERIFY_WITH_TIMEOUT(!slot->Running(), 60000);

        QCOMPARE(owner.Messages.value(0), QStringList{"Stopped by user"});
        QCOMPARE(owner.Completions.value(0), QList<int>{4});
        QCOMPARE(owner.NextJob, 1);
        QVERIFY(!owner.Completions.contains(1));
        const QStringList files = FilesIn(out);
        if (deleteUnfinished) {
            QCOMPARE(files, QStringList());
        } else if (destinationExists) {
            QCOMPARE(ReadText(destination), QStringLiteral("old file"));
            QCOMPARE(files.size(), 2);
            QVERIFY(QFileInfo(out + u'/' + files.first()).size() > 0); // the unfinished one, hidden
        } else {
            QCOMPARE(files, QStringList{"slow.wav"});
            QVERIFY(QFileInfo(destination).size() > 0);
        }
    }

    // Without a usable ffmpeg each job fails cleanly and the slots still drain the queue.
    void missingFFmpeg() {
        const QString out = FDir.filePath(QStringLiteral("noffmpeg"));
        TRecordingOwner owner;
        for (int row = 0; row < 3; ++row)
            owner.Jobs << MakeJob(row, FTone, out + QStringLiteral("/%1.mp3").arg(row),
                                  {"-c:a", "libmp3lame"});
        auto slot0 = MakeSlot(0, owner);
        auto slot1 = MakeSlot(1, owner);
        const QString missing = FDir.filePath(QStringLiteral("no-such-dir/ffmpeg"));
        slot0->SetFFmpegPath(missing);
        slot1->SetFFmpegPath(missing);
        QSignalSpy finished0(slot0.get(), &TEncoder::Finished);
        slot0->Start();
        slot1->Start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot0->Running() && !slot1->Running(), 30000);
        QCOMPARE(finished0.size(), 1);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(owner.Completions.value(row), QList<int>{3});
            QCOMPARE(owner.Messages.value(row), QStringList{"Error"});
            QCOMPARE(owner.ErrorExitCodes.value(row), -1);
        }
        QVERIFY(ReadText(ProgramLogFilePath()).contains(QStringLiteral("Cannot start ffmpeg \"") + missing));
        QCOMPARE(FilesIn(out), QStringList());
    }

    // The cover-art tool's failure (or absence) keeps the converted file and is
    // reported as "Artwork write failed".
    void coverArtToolFails_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("loggedCode");
        QTest::newRow("exit code 3") << QStringLiteral("fails") << 3;
        QTest::newRow("missing tool") << QStringLiteral("missing") << -1;
    }
    void coverArtToolFails() {
        QFETCH(QString, tool);
        QFETCH(int, loggedCode);
        const QString out = FDir.filePath(QStringLiteral("cover-") + tool);
        const QString toolPath = tool == QStringLiteral("fails")
                                     ? WriteScript(FDir.filePath(QStringLiteral("failing-tool")), "exit 3")
                                     : FDir.filePath(QStringLiteral("no-such-tool"));
        TRecordingOwner owner;
        owner.Jobs = {MakeJob(0, FTone, out + QStringLiteral("/a.mp3"), {"-c:a", "libmp3lame"}, FCover),
                      MakeJob(1, FTone, out + QStringLiteral("/b.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = MakeSlot(0, owner);
        slot->SetEmbeddArtwork(true);
        slot->SetCoverArtWriterPath(toolPath);
        slot->Start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->Running(), 120000);
        QCOMPARE(owner.Messages.value(0), QStringList{"Artwork write failed"});
        QCOMPARE(owner.Completions.value(0), QList<int>{4});
        QCOMPARE(owner.Messages.value(1), QStringList{"Done"});
        QCOMPARE(ProbeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        const QString log = ReadText(ProgramLogFilePath());
        QVERIFY(log.contains(QStringLiteral("Coverstamp exit code : ") + QString::number(loggedCode) + u'|'));
        if (tool == QStringLiteral("missing"))
            QVERIFY(log.contains(QStringLiteral("Cannot start the cover-art tool \"") + toolPath));
    }

    // Stop while the cover-art tool runs: the tool is ended, the converted file
    // stays, and the slot takes no further job.
    void stopDuringCoverArt() {
        const QString out = FDir.filePath(QStringLiteral("stop-cover"));
        const QString started = FDir.filePath(QStringLiteral("tool-started"));
        const QString tool = WriteScript(FDir.filePath(QStringLiteral("slow-tool")),
                                         "touch '" + started.toUtf8() + "'; exec sleep 60");
        TRecordingOwner owner;
        owner.Jobs = {MakeJob(0, FTone, out + QStringLiteral("/a.mp3"), {"-c:a", "libmp3lame"}, FCover),
                      MakeJob(1, FTone, out + QStringLiteral("/b.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = MakeSlot(0, owner);
        slot->SetEmbeddArtwork(true);
        slot->SetDelUnfinished(true);
        slot->SetCoverArtWriterPath(tool);
        slot->Start();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(started), 60000);
        slot->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->Running(), 30000);
        QCOMPARE(owner.Messages.value(0), QStringList{"Artwork write failed"});
        QCOMPARE(owner.Completions.value(0), QList<int>{4});
        QCOMPARE(owner.NextJob, 1);
        QCOMPARE(FilesIn(out), QStringList{"a.mp3"});
        QCOMPARE(ProbeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        QVERIFY(ReadText(ProgramLogFilePath()).contains(QStringLiteral("Coverstamp exit code : 1223|")));
    }

    // A slot released while its job runs (the program closing) ends ffmpeg and
    // leaves no unfinished file behind.
    void releasedWhileRunning() {
        const QString out = FDir.filePath(QStringLiteral("released"));
        const QString slowSource = FDir.filePath(QStringLiteral("long.wav"));
        if (!QFileInfo::exists(slowSource))
            QVERIFY(TestSupport::MakeTone(slowSource, 60));
        TRecordingOwner owner;
        TFFmpegCommandLine slow =
            MakeJob(0, slowSource, out + QStringLiteral("/slow.wav"), {"-c:a", "pcm_s16le"});
        slow.Arguments.prepend(QStringLiteral("-re"));
        owner.Jobs = {slow};
        auto slot = MakeSlot(0, owner);
        slot->Start();
        QTRY_VERIFY_WITH_TIMEOUT(owner.LatestTime.value(0) >= 1, 60000);
        QCOMPARE(FilesIn(out).size(), 1);
        slot.reset();
        QCOMPARE(FilesIn(out), QStringList());
    }

    void idleSlot() {
        TRecordingOwner owner;
        auto slot = MakeSlot(0, owner);
        QSignalSpy finished(slot.get(), &TEncoder::Finished);
        slot->Start();
        QVERIFY(!slot->Running());
        QCOMPARE(finished.size(), 1);
        slot->Stop();
        QVERIFY(slot->StoppedByUser());
        QVERIFY(owner.Completions.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEncoder)
#include "tst_encoder.moc"
