#pragma once

#include "base/Log.h"
#include "engine/EncoderOwner.h"
#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"
#include "model/FFmpegCommandLine.h"
#include "model/MediaFile.h"
#include "model/RunSettings.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

class TEncoder;
class TFFmpegCommandLineGenerator;

// The batch run: owns the list of media files, the command-line generator, the
// encoder slots and the run's counters and timers. Slots drain one queue in list
// order; the engine reports every change through signals, so the main window and
// velmo-convert are views over the same run. Everything runs on the main thread.
class TConversionEngine : public QObject, public TEncoderOwner {
    Q_OBJECT
public:
    enum class TState { Idle, Preparing, Converting, Stopping };

    // Row state icons.
    enum : int {
        IconReady = 0,
        IconConverting = 1,
        IconDone = 2, // also skipped
        IconFailed = 3,
        IconStopped = 4, // also cover art not written
        IconPlaying = 5
    };

    struct TRowState {
        int Icon = IconReady;
        QString Text = QStringLiteral("Ready");
    };

    explicit TConversionEngine(QObject* parent = nullptr);
    ~TConversionEngine() override;

    // Tools and folders, resolved at start-up.
    void SetFFmpegPath(const QString& path) { FFFMpegPath = path; }
    void SetCoverArtWriterPath(const QString& path) { FCoverWriterPath = path; }
    void SetBackendOutputFolder(const QString& path) { FBackendOutputFolderPath = path; }
    QString FFmpegPath() const { return FFFMpegPath; }

    // The list. Rows are the positions of the media files.
    const QList<TMediaFile>& MediaFiles() const { return FMediaFiles; }
    int AppendMediaFile(TMediaFile file);
    void RemoveMediaFile(int row); // also deletes its extracted cover pictures
    void ClearMediaFiles();
    void SetSelectedAudioStream(int row, int audioStreamIndex);
    qint64 TotalListTime() const { return FTotalListTime; } // milliseconds
    void ReCalculateTotalDuration();
    QString FileListSummary() const; // "3 files, 00:03:00 in length"
    const TRowState& RowState(int row) const { return FRowStates.at(row); }

    // Starts a run as "Convert" does; false (after a message) when nothing started.
    bool StartConversion(const TRunSettings& settings);
    // The jobs a run with these settings would get, and the rows the overwrite
    // option would skip; nothing is started.
    QList<TFFmpegCommandLine> GenerateCommandLines(const TRunSettings& settings,
                                                   QList<int>* skippedRows = nullptr);
    // Stops the run as "Stop" does once the user has confirmed: every slot ends its
    // process; RunStopped follows when no slot runs any more.
    void Stop();
    // Shut-down: ends every ffmpeg process at once without waiting for the slots.
    void TerminateAll();

    // Read when the run ends, so a change during the run takes effect then.
    void SetPostEncodeAction(int action) { FPostEncodeAction = action; }
    int PostEncodeAction() const { return FPostEncodeAction; }

    TState State() const { return FState; }
    bool IsConverting() const { return FState == TState::Converting || FState == TState::Stopping; }
    const TRunProgress& Progress() const { return FProgress; }
    const TSlotLoad& Load() const { return FLoad; }
    int SlotCount() const { return int(FEncoders.size()); }
    int RunningSlotCount() const;
    // The jobs of the current or last run.
    const QList<TFFmpegCommandLine>& CommandLines() const { return FCommandLines; }
    // The rows the overwrite option skipped in the current or last run.
    const QList<int>& SkippedRows() const { return FSkippedRows; }
    QDateTime EncodeStartDate() const { return FEncodeStartDate; }

    // The window log: an entry for the user, also written to the log file.
    void Log(const QString& message, const QString& type);
    const QList<TLogItem>& LogItems() const { return FLogItems; }

    // The timers' steps; public so that a front end without timers can drive them.
    void TimeTimerTimer();
    void EncodingCPUUsageTimerTimer();

    // TEncoderOwner
    bool GetNextCommandline(const TFFmpegCommandLine*& CommandLine) override;
    void UpdateFileListItemState(int ItemIndex, int StateIndex) override;
    void UpdateListItemProgress(int ItemIndex, const TFFMpegProgressInfo& FFMpegProgress) override;
    void UpdateListItemProgressEx(int ItemIndex, const QString& Msg) override;
    void MarkAsError(int ItemIndex, const QString& CommandLine, const QString& ErrorData,
                     int ExitCode) override;
    void IncreaseTotalProgress(int ItemIndex, int StateIndex) override;
    QString BackendOutputFolderPath() const override { return FBackendOutputFolderPath; }

signals:
    void Logged(const TLogItem& item);
    // A message box for the user: caption "Error" or "Warning".
    void MessageRequested(const QString& caption, const QString& text);

    // The progress dialog while a run is prepared.
    void ProgressDialogShown(const QString& stateText, bool abortEnabled, const QString& message);
    void ProgressDialogMessageChanged(const QString& message);
    void ProgressDialogBarChanged(int maximum, int position);
    void ProgressDialogHidden();

    void MediaFileAdded(int row);
    void MediaFileRemoved(int row);
    void MediaFilesCleared();
    void TotalListTimeChanged(qint64 milliseconds);

    void RowStateChanged(int row, int icon);
    void RowTextChanged(int row, const QString& text);
    // The row a slot works on: make it current and scroll it into view.
    void RowFocused(int row);

    void ConvertingStateChanged(bool converting);
    void CountersChanged(const TRunProgress& progress);
    void TimesChanged(const TRunProgress& progress);
    void LoadChanged(const TSlotLoad& load);
    // One job ended: its row's icon and text ("Done", "Error", ...).
    void FileFinished(int row, int icon, const QString& text);
    // The last job ended: the result text and the "When Done:" choice to carry out.
    void RunFinished(const QString& message, int failedCount, int postEncodeAction);
    // A stop has waited for every slot.
    void RunStopped();

private:
    void SetRow(int row, int icon, const QString& text);
    void SetRowText(int row, const QString& text);
    bool RunGenerator(const TRunSettings& settings, bool showProgress);
    void CreateEncoders(const TRunSettings& settings, int count);
    void ReleaseEncoders();
    void EnterConvertingState();
    void LeaveConvertingState();
    void ReportRunResult();
    void CheckStopFinished();
    void FinishStop();
    qint64 RowDuration(int row) const;

    QList<TMediaFile> FMediaFiles;
    QList<TRowState> FRowStates;
    qint64 FTotalListTime = 0;
    QList<TLogItem> FLogItems;

    std::unique_ptr<TFFmpegCommandLineGenerator> FFFmpegCommandLineGenerator;
    std::vector<std::unique_ptr<TEncoder>> FEncoders;
    QList<TFFmpegCommandLine> FCommandLines; // the jobs of the current run
    QList<int> FSkippedRows;

    QString FFFMpegPath;
    QString FCoverWriterPath;
    QString FBackendOutputFolderPath;

    TState FState = TState::Idle;
    bool FStopRequested = false;
    int FPostEncodeAction = paDoNothing;
    TRunProgress FProgress;
    TSlotLoad FLoad;
    qint32 FLastEncodedFileIndex = -1;
    qint32 FLastFocusedListItemIndex = 0;
    QDateTime FEncodeStartDate;
    QTimer FTimeTimer;
    QTimer FEncodingCPUUsageTimer;
};
