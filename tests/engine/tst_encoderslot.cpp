#include "TestSupport.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "engine/EncoderSlot.h"
#include "engine/EncoderSlotOwner.h"
#include "model/Job.h"

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
class RecordingOwner : public EncoderSlotOwner {
public:
    QList<Job> jobs;
    int nextJobIndex = 0;
    QString dumpFolder;
    QMap<int, QList<int>> completions; // row -> icons of jobFinished's outcomes
    QMap<int, QStringList> messages;   // row -> jobMessage texts, "Error" for jobFailed
    QMap<int, int> errorExitCodes;     // row -> jobFailed exit code
    QMap<int, int> startedRows;        // row -> jobStarted count
    QMap<int, int> progressUpdates;    // row -> jobProgress count
    QMap<int, int> latestTime;         // row -> latest timeProcessed

    bool nextJob(const Job*& job) override {
        if (nextJobIndex >= jobs.size())
            return false;
        job = &jobs[nextJobIndex++];
        return true;
    }
    void jobStarted(int row) override { ++startedRows[row]; }
    void jobProgress(int row, const FFmpegProgress& progress) override {
        QVERIFY(progress.timeProcessed >= 0);
        ++progressUpdates[row];
        latestTime[row] = progress.timeProcessed;
    }
    void jobMessage(int row, const QString& text) override { messages[row] << text; }
    void jobFailed(int row, const QString&, const QString&, int exitCode) override {
        messages[row] << QStringLiteral("Error");
        errorExitCodes[row] = exitCode;
    }
    // Kept as the row icon each outcome shows: 2 done, 3 failed, 4 stopped or cover art failed.
    void jobFinished(int row, JobOutcome outcome) override { completions[row] << int(rowIconOf(outcome)); }
    QString backendOutputFolderPath() const override { return dumpFolder; }
};

Job makeJob(int row, const QString& source, const QString& destination, const QStringList& codecArgs,
            const QString& cover = QString()) {
    Job job;
    job.sourceFilePath = source;
    job.destinationFilePath = destination;
    job.fileListIndex = row;
    job.tempCoverArtFilePath = cover;
    job.arguments =
        QStringList{"-hide_banner", "-i", source, "-vn"} + codecArgs + QStringList{"-y", destination};
    job.commandLine = u' ' + job.arguments.join(u' ');
    return job;
}

QString probeCodec(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::runFFprobe({"-select_streams", "a:0", "-show_entries", "stream=codec_name", path}))
            .object();
    return probe["streams"].toArray().at(0)["codec_name"].toString();
}

int attachedPictureCount(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            TestSupport::runFFprobe({"-show_entries", "stream_disposition=attached_pic", path}))
            .object();
    int count = 0;
    for (const QJsonValue& stream : probe["streams"].toArray())
        count += stream["disposition"]["attached_pic"].toInt();
    return count;
}

QString writeScript(const QString& path, const QByteArray& body) {
    return TestSupport::writeScript(path, "#!/bin/sh\n" + body + "\n") ? path : QString();
}

} // namespace

class TestEncoderSlot : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_ffmpeg;
    QString m_tone;     // 3 s WAV
    QString m_cover;    // JPEG
    QString m_notAudio; // a text file ffmpeg cannot read
    QString m_logFolder;

    std::unique_ptr<EncoderSlot> makeSlot(int index, RecordingOwner& owner) {
        auto slot = std::make_unique<EncoderSlot>(index, owner);
        slot->setFFmpegPath(m_ffmpeg);
        slot->setCoverArtWriterPath(QDir(TestSupport::programDir()).filePath(QStringLiteral("coverstamp")));
        slot->reset();
        return slot;
    }

    // Everything in a folder, hidden files included, but the named ones.
    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_ffmpeg = AppPaths::findTool(QStringLiteral("ffmpeg"));
        QVERIFY(!m_ffmpeg.isEmpty());
        m_tone = m_dir.filePath(QStringLiteral("tone.wav"));
        m_cover = m_dir.filePath(QStringLiteral("cover.jpg"));
        m_notAudio = m_dir.filePath(QStringLiteral("not audio.mp3"));
        QVERIFY(TestSupport::makeTone(m_tone, 3));
        QVERIFY(TestSupport::makePicture(m_cover));
        QFile notAudio(m_notAudio);
        QVERIFY(notAudio.open(QIODevice::WriteOnly));
        notAudio.write("plain text\n");
        notAudio.close();
        m_logFolder = m_dir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkpath(m_logFolder));
        configureProgramLog(m_logFolder);
    }

    // Two slots drain one queue of real jobs; every job ends in exactly one outcome.
    void twoSlotsDrainTheQueue() {
        const QString out = m_dir.filePath(QStringLiteral("queue"));
        RecordingOwner owner;
        owner.dumpFolder = m_dir.filePath(QStringLiteral("dumps"));
        const QStringList mp3{"-c:a", "libmp3lame", "-b:a", "128k"};
        owner.jobs = {
            makeJob(0, m_tone, out + QStringLiteral("/a.mp3"), mp3),
            makeJob(1, m_notAudio, out + QStringLiteral("/broken.mp3"), mp3),
            makeJob(2, m_tone, out + QStringLiteral("/sub dir/with cover.mp3"), mp3, m_cover),
            makeJob(3, m_tone, out + QStringLiteral("/bad codec.ogg"), {"-c:a", "no_such_encoder"}),
            makeJob(4, m_tone, out + QStringLiteral("/b.flac"), {"-c:a", "flac"}),
        };
        auto slot0 = makeSlot(0, owner);
        auto slot1 = makeSlot(1, owner);
        slot0->setEmbedCoverArt(true);
        slot1->setEmbedCoverArt(true);
        slot0->start();
        slot1->start();
        QVERIFY(slot0->running());
        QVERIFY(slot1->running());
        QTRY_VERIFY_WITH_TIMEOUT(!slot0->running() && !slot1->running(), 180000);

        for (int row = 0; row < owner.jobs.size(); ++row) {
            QCOMPARE(owner.startedRows.value(row), 1);
            QCOMPARE(owner.completions.value(row).size(), 1);
        }
        const QMap<int, int> expectedStates{{0, 2}, {1, 3}, {2, 2}, {3, 3}, {4, 2}};
        for (auto it = expectedStates.begin(); it != expectedStates.end(); ++it) {
            QCOMPARE(owner.completions.value(it.key()).first(), it.value());
            QCOMPARE(owner.messages.value(it.key()),
                     QStringList{it.value() == 2 ? QStringLiteral("Done") : QStringLiteral("Error")});
        }
        QVERIFY(owner.progressUpdates.value(0) > 0);
        QCOMPARE(slot0->progress() + slot1->progress() + 2, owner.jobs.size());

        QCOMPARE(probeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        QCOMPARE(probeCodec(out + QStringLiteral("/b.flac")), QStringLiteral("flac"));
        QCOMPARE(attachedPictureCount(out + QStringLiteral("/sub dir/with cover.mp3")), 1);
        QCOMPARE(attachedPictureCount(out + QStringLiteral("/a.mp3")), 0);
        // Failed jobs leave nothing, not even their temporary files.
        QCOMPARE(filesIn(out), (QStringList{"a.mp3", "b.flac"}));
        QCOMPARE(filesIn(out + QStringLiteral("/sub dir")), QStringList{"with cover.mp3"});

        // One dump per job, even when jobs end within the same second; each starts
        // with the job's command line.
        const QStringList dumps = filesIn(owner.dumpFolder);
        QCOMPARE(dumps.size(), owner.jobs.size());
        QStringList firstLines;
        for (const QString& dump : dumps) {
            QFile file(QDir(owner.dumpFolder).filePath(dump));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
            QVERIFY(bytes.endsWith("\r\n"));
            firstLines << QString::fromUtf8(bytes.mid(3)).section(QStringLiteral("\r\n"), 0, 0);
        }
        for (const Job& job : std::as_const(owner.jobs))
            QVERIFY(firstLines.contains(job.commandLine));

        // The failure's console output is logged as a JSON array of its lines.
        const QString log = TestSupport::programLogText();
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
        const QString out = m_dir.filePath(QStringLiteral("overwrite"));
        QVERIFY(QDir().mkpath(out));
        const QString kept = out + QStringLiteral("/kept.mp3");
        const QString replaced = out + QStringLiteral("/replaced.mp3");
        for (const QString& path : {kept, replaced}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old file");
        }
        RecordingOwner owner;
        owner.jobs = {makeJob(0, m_notAudio, kept, {"-c:a", "libmp3lame"}),
                      makeJob(1, m_tone, replaced, {"-c:a", "libmp3lame"})};
        auto slot = makeSlot(0, owner);
        slot->start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->running(), 120000);
        QCOMPARE(owner.completions.value(0), QList<int>{3});
        QCOMPARE(owner.completions.value(1), QList<int>{2});
        QCOMPARE(TestSupport::readText(kept), QStringLiteral("old file"));
        QCOMPARE(probeCodec(replaced), QStringLiteral("mp3"));
        QCOMPARE(filesIn(out), (QStringList{"kept.mp3", "replaced.mp3"}));
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
            m_dir.filePath(QStringLiteral("stop-%1-%2").arg(deleteUnfinished).arg(destinationExists));
        const QString destination = out + QStringLiteral("/slow.wav");
        if (destinationExists) {
            QVERIFY(QDir().mkpath(out));
            QFile old(destination);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old file");
        }
        const QString slowSource = m_dir.filePath(QStringLiteral("long.wav"));
        if (!QFileInfo::exists(slowSource))
            QVERIFY(TestSupport::makeTone(slowSource, 60));
        RecordingOwner owner;
        // Read at the pace of playback, so the job is still running when stopped.
        Job slow = makeJob(0, slowSource, destination, {"-c:a", "pcm_s16le"});
        slow.arguments.prepend(QStringLiteral("-re"));
        owner.jobs = {slow, makeJob(1, m_tone, out + QStringLiteral("/next.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = makeSlot(0, owner);
        slot->setDeleteUnfinished(deleteUnfinished);
        slot->start();
        QTRY_VERIFY_WITH_TIMEOUT(owner.latestTime.value(0) >= 2, 60000);
        slot->stop();
        QVERIFY(slot->stoppedByUser());
        QTRY_VERIFY_WITH_TIMEOUT(!slot->running(), 60000);

        QCOMPARE(owner.messages.value(0), QStringList{"Stopped by user"});
        QCOMPARE(owner.completions.value(0), QList<int>{4});
        QCOMPARE(owner.nextJobIndex, 1);
        QVERIFY(!owner.completions.contains(1));
        const QStringList files = filesIn(out);
        if (deleteUnfinished) {
            QCOMPARE(files, QStringList());
        } else if (destinationExists) {
            QCOMPARE(TestSupport::readText(destination), QStringLiteral("old file"));
            QCOMPARE(files.size(), 2);
            QVERIFY(QFileInfo(out + u'/' + files.first()).size() > 0); // the unfinished one, hidden
        } else {
            QCOMPARE(files, QStringList{"slow.wav"});
            QVERIFY(QFileInfo(destination).size() > 0);
        }
    }

    // Without a usable ffmpeg each job fails cleanly and the slots still drain the queue.
    void missingFFmpeg() {
        const QString out = m_dir.filePath(QStringLiteral("noffmpeg"));
        RecordingOwner owner;
        for (int row = 0; row < 3; ++row)
            owner.jobs << makeJob(row, m_tone, out + QStringLiteral("/%1.mp3").arg(row),
                                  {"-c:a", "libmp3lame"});
        auto slot0 = makeSlot(0, owner);
        auto slot1 = makeSlot(1, owner);
        const QString missing = m_dir.filePath(QStringLiteral("no-such-dir/ffmpeg"));
        slot0->setFFmpegPath(missing);
        slot1->setFFmpegPath(missing);
        QSignalSpy finished0(slot0.get(), &EncoderSlot::finished);
        slot0->start();
        slot1->start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot0->running() && !slot1->running(), 30000);
        QCOMPARE(finished0.size(), 1);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(owner.completions.value(row), QList<int>{3});
            QCOMPARE(owner.messages.value(row), QStringList{"Error"});
            QCOMPARE(owner.errorExitCodes.value(row), -1);
        }
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("Cannot start ffmpeg \"") + missing));
        QCOMPARE(filesIn(out), QStringList());
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
        const QString out = m_dir.filePath(QStringLiteral("cover-") + tool);
        const QString toolPath = tool == QStringLiteral("fails")
                                     ? writeScript(m_dir.filePath(QStringLiteral("failing-tool")), "exit 3")
                                     : m_dir.filePath(QStringLiteral("no-such-tool"));
        RecordingOwner owner;
        owner.jobs = {makeJob(0, m_tone, out + QStringLiteral("/a.mp3"), {"-c:a", "libmp3lame"}, m_cover),
                      makeJob(1, m_tone, out + QStringLiteral("/b.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = makeSlot(0, owner);
        slot->setEmbedCoverArt(true);
        slot->setCoverArtWriterPath(toolPath);
        slot->start();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->running(), 120000);
        QCOMPARE(owner.messages.value(0), QStringList{"Artwork write failed"});
        QCOMPARE(owner.completions.value(0), QList<int>{4});
        QCOMPARE(owner.messages.value(1), QStringList{"Done"});
        QCOMPARE(probeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        const QString log = TestSupport::programLogText();
        QVERIFY(log.contains(QStringLiteral("Coverstamp exit code : ") + QString::number(loggedCode) + u'|'));
        if (tool == QStringLiteral("missing"))
            QVERIFY(log.contains(QStringLiteral("Cannot start the cover-art tool \"") + toolPath));
    }

    // Stop while the cover-art tool runs: the tool is ended, the converted file
    // stays, and the slot takes no further job.
    void stopDuringCoverArt() {
        const QString out = m_dir.filePath(QStringLiteral("stop-cover"));
        const QString started = m_dir.filePath(QStringLiteral("tool-started"));
        const QString tool = writeScript(m_dir.filePath(QStringLiteral("slow-tool")),
                                         "touch '" + started.toUtf8() + "'; exec sleep 60");
        RecordingOwner owner;
        owner.jobs = {makeJob(0, m_tone, out + QStringLiteral("/a.mp3"), {"-c:a", "libmp3lame"}, m_cover),
                      makeJob(1, m_tone, out + QStringLiteral("/b.mp3"), {"-c:a", "libmp3lame"})};
        auto slot = makeSlot(0, owner);
        slot->setEmbedCoverArt(true);
        slot->setDeleteUnfinished(true);
        slot->setCoverArtWriterPath(tool);
        slot->start();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(started), 60000);
        slot->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!slot->running(), 30000);
        QCOMPARE(owner.messages.value(0), QStringList{"Artwork write failed"});
        QCOMPARE(owner.completions.value(0), QList<int>{4});
        QCOMPARE(owner.nextJobIndex, 1);
        QCOMPARE(filesIn(out), QStringList{"a.mp3"});
        QCOMPARE(probeCodec(out + QStringLiteral("/a.mp3")), QStringLiteral("mp3"));
        QVERIFY(TestSupport::programLogText().contains(QStringLiteral("Coverstamp exit code : 1223|")));
    }

    // A slot released while its job runs (the program closing) ends ffmpeg and
    // leaves no unfinished file behind.
    void releasedWhileRunning() {
        const QString out = m_dir.filePath(QStringLiteral("released"));
        const QString slowSource = m_dir.filePath(QStringLiteral("long.wav"));
        if (!QFileInfo::exists(slowSource))
            QVERIFY(TestSupport::makeTone(slowSource, 60));
        RecordingOwner owner;
        Job slow = makeJob(0, slowSource, out + QStringLiteral("/slow.wav"), {"-c:a", "pcm_s16le"});
        slow.arguments.prepend(QStringLiteral("-re"));
        owner.jobs = {slow};
        auto slot = makeSlot(0, owner);
        slot->start();
        QTRY_VERIFY_WITH_TIMEOUT(owner.latestTime.value(0) >= 1, 60000);
        QCOMPARE(filesIn(out).size(), 1);
        slot.reset();
        QCOMPARE(filesIn(out), QStringList());
    }

    void idleSlot() {
        RecordingOwner owner;
        auto slot = makeSlot(0, owner);
        QSignalSpy finished(slot.get(), &EncoderSlot::finished);
        slot->start();
        QVERIFY(!slot->running());
        QCOMPARE(finished.size(), 1);
        slot->stop();
        QVERIFY(slot->stoppedByUser());
        QVERIFY(owner.completions.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEncoderSlot)
#include "tst_encoderslot.moc"
