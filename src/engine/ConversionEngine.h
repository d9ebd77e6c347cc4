#pragma once

#include "base/Log.h"
#include "engine/EncoderSlotOwner.h"
#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"
#include "model/Job.h"
#include "model/MediaFile.h"
#include "model/RunSettings.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

class EncoderSlot;
class JobGenerator;

// The batch run: owns the list of media files, the command-line generator, the
// encoder slots and the run's counters and timers. Slots drain one queue in list
// order; the engine reports every change through signals, so the main window and
// velmo-convert are views over the same run. Everything runs on the main thread.
class ConversionEngine : public QObject, public EncoderSlotOwner {
    Q_OBJECT
public:
    enum class State { Idle, Preparing, Converting, Stopping };

    // Row state icons.
    enum : int {
        IconReady = 0,
        IconConverting = 1,
        IconDone = 2, // also skipped
        IconFailed = 3,
        IconStopped = 4, // also cover art not written
        IconPlaying = 5
    };

    struct RowState {
        int icon = IconReady;
        QString text = QStringLiteral("Ready");
    };

    explicit ConversionEngine(QObject* parent = nullptr);
    ~ConversionEngine() override;

    // Tools and folders, resolved at start-up.
    void setFFmpegPath(const QString& path) { m_ffmpegPath = path; }
    void setCoverArtWriterPath(const QString& path) { m_coverWriterPath = path; }
    void setBackendOutputFolder(const QString& path) { m_backendOutputFolderPath = path; }
    QString ffmpegPath() const { return m_ffmpegPath; }

    // The list. Rows are the positions of the media files.
    const QList<MediaFile>& mediaFiles() const { return m_mediaFiles; }
    int appendMediaFile(MediaFile file);
    void removeMediaFile(int row); // also deletes its extracted cover pictures
    void clearMediaFiles();
    void setSelectedAudioStream(int row, int audioStreamIndex);
    qint64 totalListTime() const { return m_totalListTime; } // milliseconds
    void recalculateTotalDuration();
    QString fileListSummary() const; // "3 files, 00:03:00 in length"
    const RowState& rowState(int row) const { return m_rowStates.at(row); }

    // Starts a run as "Convert" does; false (after a message) when nothing started.
    bool startConversion(const RunSettings& settings);
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
    QDateTime encodeStartDate() const { return m_encodeStartDate; }

    // The window log: an entry for the user, also written to the log file.
    void log(const QString& message, const QString& type);
    const QList<LogEntry>& logItems() const { return m_logItems; }

    // The timers' steps; public so that a front end without timers can drive them.
    void onTimeTick();
    void onLoadTick();

    // EncoderSlotOwner
    bool nextJob(const Job*& commandLine) override;
    void updateFileListItemState(int itemIndex, int stateIndex) override;
    void updateListItemProgress(int itemIndex, const FFmpegProgress& ffmpegProgress) override;
    void updateListItemProgressEx(int itemIndex, const QString& msg) override;
    void markAsError(int itemIndex, const QString& commandLine, const QString& errorData,
                     int ExitCode) override;
    void increaseTotalProgress(int itemIndex, int stateIndex) override;
    QString backendOutputFolderPath() const override { return m_backendOutputFolderPath; }

signals:
    void logged(const LogEntry& item);
    // A message box for the user: caption "Error" or "Warning".
    void messageRequested(const QString& caption, const QString& text);

    // The progress dialog while a run is prepared.
    void progressDialogShown(const QString& stateText, bool abortEnabled, const QString& message);
    void progressDialogMessageChanged(const QString& message);
    void progressDialogBarChanged(int maximum, int position);
    void progressDialogHidden();

    void mediaFileAdded(int row);
    void mediaFileRemoved(int row);
    void mediaFilesCleared();
    void totalListTimeChanged(qint64 milliseconds);

    void rowStateChanged(int row, int icon);
    void rowTextChanged(int row, const QString& text);
    // The row a slot works on: make it current and scroll it into view.
    void rowFocused(int row);

    void convertingStateChanged(bool converting);
    void countersChanged(const RunProgress& progress);
    void timesChanged(const RunProgress& progress);
    void loadChanged(const SlotLoad& load);
    // One job ended: its row's icon and text ("Done", "Error", ...).
    void fileFinished(int row, int icon, const QString& text);
    // The last job ended: the result text and the "When Done:" choice to carry out.
    void runFinished(const QString& message, int failedCount, PostEncodeAction postEncodeAction);
    // A stop has waited for every slot.
    void runStopped();

private:
    void setRow(int row, int icon, const QString& text);
    void setRowText(int row, const QString& text);
    bool runGenerator(const RunSettings& settings, bool showProgress);
    void createSlots(const RunSettings& settings, int count);
    void releaseSlots();
    void enterConvertingState();
    void leaveConvertingState();
    void reportRunResult();
    void checkStopFinished();
    void finishStop();
    qint64 rowDuration(int row) const;

    QList<MediaFile> m_mediaFiles;
    QList<RowState> m_rowStates;
    qint64 m_totalListTime = 0;
    QList<LogEntry> m_logItems;

    std::unique_ptr<JobGenerator> m_jobGenerator;
    std::vector<std::unique_ptr<EncoderSlot>> m_slots;
    QList<Job> m_jobs; // the jobs of the current run
    QList<int> m_skippedRows;

    QString m_ffmpegPath;
    QString m_coverWriterPath;
    QString m_backendOutputFolderPath;

    State m_state = State::Idle;
    bool m_stopRequested = false;
    PostEncodeAction m_postEncodeAction = PostEncodeAction::DoNothing;
    RunProgress m_progress;
    SlotLoad m_load;
    qint32 m_lastEncodedFileIndex = -1;
    qint32 m_lastFocusedListItemIndex = 0;
    QDateTime m_encodeStartDate;
    QTimer m_timeTimer;
    QTimer m_loadTimer;
};
