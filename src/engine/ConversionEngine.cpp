#include "engine/ConversionEngine.h"

#include "base/TextFormat.h"
#include "engine/Encoder.h"
#include "engine/FFmpegCommandLineGenerator.h"
#include "engine/WorkerWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <algorithm>

namespace {
const QString ReadyText = QStringLiteral("Ready");
}

TConversionEngine::TConversionEngine(QObject* parent)
    : QObject(parent), FFFmpegCommandLineGenerator(std::make_unique<TFFmpegCommandLineGenerator>()) {
    FTimeTimer.setInterval(1000);
    FEncodingCPUUsageTimer.setInterval(100);
    connect(&FTimeTimer, &QTimer::timeout, this, &TConversionEngine::TimeTimerTimer);
    connect(&FEncodingCPUUsageTimer, &QTimer::timeout, this, &TConversionEngine::EncodingCPUUsageTimerTimer);
}

TConversionEngine::~TConversionEngine() {
    // The slots' runners end their ffmpeg processes when they are destroyed.
    TerminateAll();
    ReleaseEncoders();
}

// ---- the list ------------------------------------------------------------------

int TConversionEngine::AppendMediaFile(TMediaFile file) {
    const qint64 duration = file.AudioStreams.isEmpty() ? 0 : file.GetSelectedAudioStream().Duration;
    FMediaFiles.append(std::move(file));
    FRowStates.append(TRowState());
    FTotalListTime += duration;
    const int row = int(FMediaFiles.size()) - 1;
    emit MediaFileAdded(row);
    emit TotalListTimeChanged(FTotalListTime);
    return row;
}

void TConversionEngine::RemoveMediaFile(int row) {
    if (row < 0 || row >= FMediaFiles.size())
        return;
    FMediaFiles.at(row).DeleteCoverArtTempFiles();
    FMediaFiles.removeAt(row);
    FRowStates.removeAt(row);
    emit MediaFileRemoved(row);
    ReCalculateTotalDuration();
}

void TConversionEngine::ClearMediaFiles() {
    for (const TMediaFile& file : std::as_const(FMediaFiles))
        file.DeleteCoverArtTempFiles();
    FMediaFiles.clear();
    FRowStates.clear();
    FTotalListTime = 0;
    emit MediaFilesCleared();
    emit TotalListTimeChanged(FTotalListTime);
}

void TConversionEngine::SetSelectedAudioStream(int row, int audioStreamIndex) {
    if (row < 0 || row >= FMediaFiles.size())
        return;
    FMediaFiles[row].SelectedAudioStream = audioStreamIndex;
    SetRow(row, IconReady, ReadyText);
    ReCalculateTotalDuration();
}

qint64 TConversionEngine::RowDuration(int row) const {
    if (row < 0 || row >= FMediaFiles.size())
        return 0;
    const TMediaFile& file = FMediaFiles.at(row);
    if (file.SelectedAudioStream < 0 || file.SelectedAudioStream >= file.AudioStreams.size())
        return 0;
    return file.AudioStreams.at(file.SelectedAudioStream).Duration;
}

void TConversionEngine::ReCalculateTotalDuration() {
    FTotalListTime = 0;
    for (int row = 0; row < FMediaFiles.size(); ++row)
        FTotalListTime += RowDuration(row);
    emit TotalListTimeChanged(FTotalListTime);
}

QString TConversionEngine::FileListSummary() const {
    return QStringLiteral("%1 files, %2 in length")
        .arg(FMediaFiles.size())
        .arg(FormatDuration(FTotalListTime / 1000));
}

void TConversionEngine::SetRow(int row, int icon, const QString& text) {
    if (row < 0 || row >= FRowStates.size())
        return;
    FRowStates[row].Icon = icon;
    emit RowStateChanged(row, icon);
    SetRowText(row, text);
}

void TConversionEngine::SetRowText(int row, const QString& text) {
    if (row < 0 || row >= FRowStates.size())
        return;
    FRowStates[row].Text = text;
    emit RowTextChanged(row, text);
}

void TConversionEngine::Log(const QString& message, const QString& type) {
    const TLogItem item{QDateTime::currentDateTime(), type, message};
    FLogItems.append(item);
    LogInfo(message);
    emit Logged(item);
}

// ---- starting a run ------------------------------------------------------------

bool TConversionEngine::StartConversion(const TRunSettings& settings) {
    if (FState != TState::Idle)
        return false;
    if (FMediaFiles.isEmpty()) {
        emit MessageRequested(QStringLiteral("Error"), QStringLiteral("Please add audio files."));
        return false;
    }
    if (settings.OutputFolder.isEmpty() || !QDir().mkpath(settings.OutputFolder)) {
        LogException(QStringLiteral("TMainForm.ConvertBtnClick"),
                     QStringLiteral("Cannot create ") + settings.OutputFolder);
        emit MessageRequested(QStringLiteral("Error"),
                              QStringLiteral("Unable to find or create output folder."));
        return false;
    }
    FEncodeStartDate = QDateTime::currentDateTime();
    Log(QStringLiteral("Starting encoding."), QStringLiteral("Info"));

    // StartConversion proper.
    FState = TState::Preparing;
    FStopRequested = false;
    emit ProgressDialogShown(QStringLiteral("Please wait..."), false, QStringLiteral("Preparing for encode"));
    emit ProgressDialogBarChanged(int(FMediaFiles.size()), 0);

    QList<int>& skippedRows = FSkippedRows;
    skippedRows.clear();
    FCommandLines.clear();
    bool started = false;
    if (RunGenerator(settings, true)) {
        skippedRows = FFFmpegCommandLineGenerator->SkippedFileIndex();
        FCommandLines = FFFmpegCommandLineGenerator->FFmpegCommandLines();
        Log(QString::number(FCommandLines.size()) + QStringLiteral(" encoding steps."),
            QStringLiteral("Info"));
    }

    if (FStopRequested) {
        // Stopped while the jobs were being made: nothing was started.
        FCommandLines.clear();
        FState = TState::Idle;
        Log(QStringLiteral("Encoding stopped by user."), QStringLiteral("Warning"));
        emit ProgressDialogHidden();
        emit RunStopped();
        return false;
    }
    if (FCommandLines.isEmpty()) {
        const QString text =
            QStringLiteral("No encoding tasks are created. Please check your overwrite options.");
        FState = TState::Idle;
        emit MessageRequested(QStringLiteral("Warning"), text);
        Log(text, QStringLiteral("Warning"));
    } else {
        const int slotCount = qMax(1, settings.ThreadCount);
        ReleaseEncoders();
        Log(QString::number(slotCount) + QStringLiteral(" thread(s) are active."), QStringLiteral("Info"));
        CreateEncoders(settings, slotCount);

        // ResetTotals
        FProgress.Reset(int(FCommandLines.size()), FTotalListTime);
        FLastFocusedListItemIndex = 0;
        FLastEncodedFileIndex = -1;
        FLoad = TSlotLoad();

        // InitProgressDisplay
        emit CountersChanged(FProgress);
        emit TimesChanged(FProgress);
        emit LoadChanged(FLoad);
        emit RowFocused(FLastFocusedListItemIndex);
        EnterConvertingState();

        for (int row = 0; row < FRowStates.size(); ++row)
            SetRow(row, IconReady, ReadyText);
        if (!skippedRows.isEmpty()) {
            Log(QStringLiteral("Skipping ") + QString::number(skippedRows.size()) + QStringLiteral(" files."),
                QStringLiteral("Warning"));
            for (int row : std::as_const(skippedRows))
                SetRow(row, IconDone, QStringLiteral("Skipped"));
        }

        for (const auto& encoder : FEncoders)
            encoder->Start();
        started = true;
    }

    // The dialog stays half a second, so a quick preparation does not just flicker.
    QTimer::singleShot(500, this, [this] { emit ProgressDialogHidden(); });
    return started;
}

QList<TFFmpegCommandLine> TConversionEngine::GenerateCommandLines(const TRunSettings& settings,
                                                                  QList<int>* skippedRows) {
    if (FState != TState::Idle)
        return {};
    if (!RunGenerator(settings, false))
        return {};
    if (skippedRows)
        *skippedRows = FFFmpegCommandLineGenerator->SkippedFileIndex();
    return FFFmpegCommandLineGenerator->FFmpegCommandLines();
}

bool TConversionEngine::RunGenerator(const TRunSettings& settings, bool showProgress) {
    TFFmpegCommandLineGenerator& generator = *FFFmpegCommandLineGenerator;
    generator.Reset();
    generator.SetOutputFolder(settings.OutputFolder);
    generator.SetCreateFolderStruct(settings.CreateFolderStruct);
    generator.SetMediaFiles(FMediaFiles);
    generator.SetFFMpegPath(FFFMpegPath);
    generator.SetThreadCount(qMax(1, QThread::idealThreadCount()));
    generator.SetOutputExt(
        GetOutputExtension(settings.Profile.FCodecId, settings.AdvancedSettings.AacExtensionIndex));
    generator.SetProfile(settings.Profile);
    generator.SetOverwriteOption(settings.OverwriteOption);
    generator.SetSkipLong(false);
    generator.SetAdvancedSettings(settings.AdvancedSettings);
    generator.SetCopyCoverAart(settings.CopyCoverArt);
    if (!generator.Start())
        return false;
    const int fileCount = int(FMediaFiles.size());
    QTimer progressTimer;
    if (showProgress) {
        connect(&progressTimer, &QTimer::timeout, this, [&] {
            emit ProgressDialogMessageChanged(generator.CurrentFile());
            emit ProgressDialogBarChanged(fileCount, generator.Progress());
        });
        progressTimer.start(50);
    }
    if (!WaitForWorker(generator, FStopRequested, 50)) {
        generator.Stop();
        generator.WaitForFinished();
    }
    if (!generator.ErrorText().isEmpty())
        LogException(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun"), generator.ErrorText());
    return true;
}

void TConversionEngine::CreateEncoders(const TRunSettings& settings, int count) {
    FEncoders.reserve(count);
    for (int index = 0; index < count; ++index) {
        auto encoder = std::make_unique<TEncoder>(index, *this);
        encoder->SetFFmpegPath(FFFMpegPath);
        encoder->SetDelUnfinished(settings.DelUnfinished);
        encoder->SetEmbeddArtwork(settings.CopyCoverArt);
        encoder->SetCoverArtWriterPath(FCoverWriterPath);
        encoder->Reset();
        connect(encoder.get(), &TEncoder::Finished, this, [this] {
            if (FState == TState::Stopping)
                CheckStopFinished();
        });
        FEncoders.push_back(std::move(encoder));
    }
}

int TConversionEngine::RunningSlotCount() const {
    return int(
        std::count_if(FEncoders.begin(), FEncoders.end(), [](const auto& slot) { return slot->Running(); }));
}

void TConversionEngine::ReleaseEncoders() {
    FEncoders.clear();
}

void TConversionEngine::EnterConvertingState() {
    FState = TState::Converting;
    FTimeTimer.start();
    FEncodingCPUUsageTimer.start();
    emit ConvertingStateChanged(true);
}

void TConversionEngine::LeaveConvertingState() {
    FTimeTimer.stop();
    FEncodingCPUUsageTimer.stop();
    if (FState == TState::Converting)
        FState = TState::Idle;
    emit ConvertingStateChanged(false);
}

// ---- calls from the slots ------------------------------------------------------

bool TConversionEngine::GetNextCommandline(const TFFmpegCommandLine*& CommandLine) {
    ++FLastEncodedFileIndex;
    if (FLastEncodedFileIndex >= FCommandLines.size()) {
        CommandLine = nullptr;
        return false;
    }
    CommandLine = &FCommandLines.at(FLastEncodedFileIndex);
    return true;
}

void TConversionEngine::UpdateFileListItemState(int ItemIndex, int StateIndex) {
    if (ItemIndex < 0 || ItemIndex >= FRowStates.size())
        return;
    FRowStates[ItemIndex].Icon = StateIndex;
    emit RowStateChanged(ItemIndex, StateIndex);
    if (ItemIndex > FLastFocusedListItemIndex)
        FLastFocusedListItemIndex = ItemIndex;
    emit RowFocused(ItemIndex);
}

void TConversionEngine::UpdateListItemProgress(int ItemIndex, const TFFMpegProgressInfo& FFMpegProgress) {
    if (ItemIndex < 0 || ItemIndex >= FRowStates.size()) {
        LogException(QStringLiteral("TMainForm.UpdateListItemProgress"),
                     QStringLiteral("row %1 is not in the list").arg(ItemIndex));
        return;
    }
    const qint64 percent = ProgressPercent(FFMpegProgress.TimeProcessed, RowDuration(ItemIndex));
    const QString text =
        QString::number(percent) + QStringLiteral("% ") + FFMpegProgress.Kbps + u' ' + FFMpegProgress.Speed;
    if (text != FRowStates.at(ItemIndex).Text)
        SetRowText(ItemIndex, text);
}

void TConversionEngine::UpdateListItemProgressEx(int ItemIndex, const QString& Msg) {
    if (ItemIndex < 0 || ItemIndex >= FRowStates.size()) {
        LogException(QStringLiteral("TMainForm.UpdateListItemProgressEx"),
                     QStringLiteral("row %1 is not in the list").arg(ItemIndex));
        return;
    }
    SetRowText(ItemIndex, Msg);
}

void TConversionEngine::MarkAsError(int ItemIndex, const QString& CommandLine, const QString& ErrorData,
                                    int ExitCode) {
    Q_UNUSED(ErrorData) // the slot logs the console output itself
    if (ItemIndex < 0 || ItemIndex >= FRowStates.size())
        return;
    FProgress.FileFailed();
    SetRowText(ItemIndex, QStringLiteral("Error"));
    Log(QStringLiteral("A file failed."), QStringLiteral("Info"));
    Log(QStringLiteral("Command line:") + CommandLine, QStringLiteral("Info"));
    Log(QStringLiteral("Encoder exit code: ") + QString::number(ExitCode), QStringLiteral("Info"));
}

void TConversionEngine::IncreaseTotalProgress(int ItemIndex, int StateIndex) {
    FProgress.FileFinished(RowDuration(ItemIndex));
    emit CountersChanged(FProgress);
    if (ItemIndex > FLastFocusedListItemIndex) {
        FLastFocusedListItemIndex = ItemIndex;
        emit RowFocused(ItemIndex);
    }
    if (ItemIndex >= 0 && ItemIndex < FRowStates.size()) {
        FRowStates[ItemIndex].Icon = StateIndex;
        emit RowStateChanged(ItemIndex, StateIndex);
        emit FileFinished(ItemIndex, StateIndex, FRowStates.at(ItemIndex).Text);
    }
    emit TimesChanged(FProgress);

    if (FProgress.IsComplete()) {
        const TState state = FState;
        LeaveConvertingState();
        if (state == TState::Stopping)
            FState = TState::Stopping; // the stop's own closing steps still follow
        const qint64 seconds = FEncodeStartDate.secsTo(QDateTime::currentDateTime());
        Log(QStringLiteral("Encoding is done in ") + FormatDuration(seconds), QStringLiteral("Info"));
        ReportRunResult();
    }
}

void TConversionEngine::ReportRunResult() {
    const int failed = FProgress.TotalFailedCount();
    QString message;
    if (failed == 0) {
        Log(QStringLiteral("All files are successfully encoded."), QStringLiteral("Info"));
        message = QStringLiteral("Convertion is finished successfully.");
    } else {
        Log(QString::number(failed) + QStringLiteral(" files failed to convert"), QStringLiteral("Info"));
        message = QString::number(failed) + QStringLiteral(" files failed to convert. Please see logs.");
    }
    emit RunFinished(message, failed, FPostEncodeAction);
}

// ---- the timers ----------------------------------------------------------------

void TConversionEngine::TimeTimerTimer() {
    FProgress.Tick();
    emit TimesChanged(FProgress);
}

void TConversionEngine::EncodingCPUUsageTimerTimer() {
    QList<TSlotReading> readings;
    readings.reserve(qsizetype(FEncoders.size()));
    for (const auto& encoder : FEncoders)
        readings.append({encoder->Running(), encoder->CPUUsage(), encoder->FFMpegProgress().SpeedInt});
    FLoad = TSlotLoad::Sum(readings, QThread::idealThreadCount());
    emit LoadChanged(FLoad);
}

// ---- stopping ------------------------------------------------------------------

void TConversionEngine::Stop() {
    if (FState == TState::Preparing) {
        FStopRequested = true; // the generator ends before its next file
        return;
    }
    if (FState != TState::Converting)
        return;
    FState = TState::Stopping;
    for (const auto& encoder : FEncoders)
        encoder->Stop();
    emit ProgressDialogShown(QStringLiteral("Waiting for processes to exit"), false, QString());
    emit ProgressDialogBarChanged(0, 0);
    // Slots that were idle already will not report; look once the stops have been delivered.
    QTimer::singleShot(0, this, &TConversionEngine::CheckStopFinished);
}

void TConversionEngine::CheckStopFinished() {
    if (FState != TState::Stopping)
        return;
    for (const auto& encoder : FEncoders) {
        if (encoder->Running())
            return;
    }
    FinishStop();
}

void TConversionEngine::FinishStop() {
    emit ProgressDialogHidden();
    FTimeTimer.stop();
    FEncodingCPUUsageTimer.stop();
    FState = TState::Idle;
    emit ConvertingStateChanged(false);
    Log(QStringLiteral("Encoding stopped by user."), QStringLiteral("Warning"));
    emit RunStopped();
}

void TConversionEngine::TerminateAll() {
    for (const auto& encoder : FEncoders)
        encoder->Stop();
}
