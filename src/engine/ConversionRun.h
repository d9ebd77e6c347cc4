#pragma once

#include "engine/EncoderSlotOwner.h"
#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"
#include "model/Job.h"
#include "model/LogEntry.h"
#include "model/RunSettings.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

class EncoderSlot;
class FileListModel;
class JobGenerator;
class LogModel;

// Why "Convert" did or did not start a run.
enum class StartResult {
    Started,
    Busy,           // a run is being prepared or running
    NoFiles,        // "Please add audio files."
    NoOutputFolder, // "Unable to find or create output folder."
    NothingToDo,    // every file skipped by the overwrite option
    StoppedEarly    // stopped while the jobs were being made
};

// How a run that reached its last job ended.
struct RunResult {
    int failedCount = 0;
    QString message; // "Convertion is finished successfully." or "N files failed to convert. ..."
    PostEncodeAction postEncodeAction = PostEncodeAction::DoNothing;
};

// One batch run over the file list: makes the jobs, drains them in list order
// with its encoder slots, counts and estimates, and stops. Row states go to the
// list model, entries to the log model, everything else out through signals,
// so the window and velmo-convert are views over the same run. Everything runs
// on the main thread.
class ConversionRun : public QObject, public EncoderSlotOwner {
    Q_OBJECT
public:
    enum class State { Idle, Preparing, Converting, Stopping };

    ConversionRun(FileListModel& files, LogModel& log, QObject* parent = nullptr);
    ~ConversionRun() override;

    // Tools and folders, resolved at start-up.
    void setFFmpegPath(const QString& path) { m_ffmpegPath = path; }
    void setCoverArtWriterPath(const QString& path) { m_coverWriterPath = path; }
    void setBackendOutputFolder(const QString& path) { m_backendOutputFolderPath = path; }
    QString ffmpegPath() const { return m_ffmpegPath; }

    // Starts a run as "Convert" does; anything but Started comes after a message.
    StartResult start(const RunSettings& settings);
    // The jobs a run with these settings would get, and the rows the overwrite
    // option would skip; nothing is started.
    QList<Job> generateJobs(const RunSettings& settings, QList<int>* skippedRows = nullptr);
    // Stops the run as "Stop" does once the user has confirmed: every slot ends its
    // process; runStopped follows when no slot runs any more.
    void stop();
    // Shut-down: ends every ffmpeg process at once without waiting for the slots.
    void terminateAll();

    // Read when the run ends, so a change during the run takes effect then.
    void setPostEncodeAction(PostEncodeAction action) { m_postEncodeAction = action; }
    PostEncodeAction postEncodeAction() const { return m_postEncodeAction; }

    State state() const { return m_state; }
    bool isConverting() const { return m_state == State::Converting || m_state == State::Stopping; }
    const RunProgress& progress() const { return m_progress; }
    const SlotLoad& load() const { return m_load; }
    int slotCount() const { return int(m_slots.size()); }
    int runningSlotCount() const;
    // The jobs of the current or last run.
    const QList<Job>& jobs() const { return m_jobs; }
    // The rows the overwrite option skipped in the current or last run.
    const QList<int>& skippedRows() const { return m_skippedRows; }
    // The rows stopped by the user in the current or last run.
    const QList<int>& stoppedRows() const { return m_stoppedRows; }
    QDateTime encodeStartDate() const { return m_encodeStartDate; }

    // The timers' steps; public so that a front end without timers can drive them.
    void onTimeTick();
    void onLoadTick();

    // EncoderSlotOwner
    bool nextJob(const Job*& job) override;
    void jobStarted(int row) override;
    void jobProgress(int row, const FFmpegProgress& progress) override;
    void jobMessage(int row, const QString& text) override;
    void jobFailed(int row, const QString& commandLine, const QString& consoleOutput, int exitCode) override;
    void jobFinished(int row, JobOutcome outcome) override;
    QString backendOutputFolderPath() const override { return m_backendOutputFolderPath; }

signals:
    // A message for the user; the window shows a box, velmo-convert a line.
    void messageRequested(MessageKind kind, const QString& text);

    // Long work without a file row to show it: preparing the jobs, waiting for the
    // slots to stop. A front end shows a dialog or a status line.
    void busyStarted(const QString& stateText, bool abortable, const QString& message);
    void busyMessageChanged(const QString& message);
    void busyProgressChanged(int maximum, int value);
    void busyEnded();

    // The row a slot works on: make it current and scroll it into view.
    void rowFocused(int row);
    void convertingStateChanged(bool converting);
    void countersChanged(const RunProgress& progress);
    void timesChanged(const RunProgress& progress);
    void loadChanged(const SlotLoad& load);
    // One job ended; its row's text is the list model's.
    void fileFinished(int row, JobOutcome outcome);
    // The last job ended.
    void runFinished(const RunResult& result);
    // A stop has waited for every slot.
    void runStopped();

private:
    void log(const QString& message, MessageKind kind);
    // Started when a run may begin, otherwise why not (after its message).
    StartResult checkStart(const RunSettings& settings);
    void startSlots(const RunSettings& settings);
    bool runGenerator(const RunSettings& settings, bool showProgress);
    void createSlots(const RunSettings& settings, int count);
    void releaseSlots();
    void enterConvertingState();
    void leaveConvertingState();
    void reportRunResult();
    void checkStopFinished();
    void finishStop();

    FileListModel& m_files;
    LogModel& m_log;
    std::unique_ptr<JobGenerator> m_jobGenerator;
    std::vector<std::unique_ptr<EncoderSlot>> m_slots;
    QList<Job> m_jobs; // the jobs of the current run
    QList<int> m_skippedRows;
    QList<int> m_stoppedRows;

    QString m_ffmpegPath;
    QString m_coverWriterPath;
    QString m_backendOutputFolderPath;

    State m_state = State::Idle;
    bool m_stopRequested = false;
    PostEncodeAction m_postEncodeAction = PostEncodeAction::DoNothing;
    RunProgress m_progress;
    SlotLoad m_load;
    qint32 m_nextJobIndex = 0;
    qint32 m_lastFocusedRow = 0;
    QDateTime m_encodeStartDate;
    QTimer m_timeTimer;
    QTimer m_loadTimer;
};
