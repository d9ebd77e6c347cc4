#include "engine/ConversionEngine.h"

#include "base/TextFormat.h"
#include "engine/EncoderSlot.h"
#include "engine/JobGenerator.h"
#include "engine/WorkerWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <algorithm>

namespace {
const QString ReadyText = QStringLiteral("Ready");
}

ConversionEngine::ConversionEngine(QObject* parent)
    : QObject(parent), m_jobGenerator(std::make_unique<JobGenerator>()) {
    m_timeTimer.setInterval(1000);
    m_loadTimer.setInterval(100);
    connect(&m_timeTimer, &QTimer::timeout, this, &ConversionEngine::onTimeTick);
    connect(&m_loadTimer, &QTimer::timeout, this, &ConversionEngine::onLoadTick);
}

ConversionEngine::~ConversionEngine() {
    // The slots' runners end their ffmpeg processes when they are destroyed.
    terminateAll();
    releaseSlots();
}

// ---- the list ------------------------------------------------------------------

int ConversionEngine::appendMediaFile(MediaFile file) {
    const qint64 duration = file.audioStreams.isEmpty() ? 0 : file.selectedAudioStream().duration;
    m_mediaFiles.append(std::move(file));
    m_rowStates.append(RowState());
    m_totalListTime += duration;
    const int row = int(m_mediaFiles.size()) - 1;
    emit mediaFileAdded(row);
    emit totalListTimeChanged(m_totalListTime);
    return row;
}

void ConversionEngine::removeMediaFile(int row) {
    if (row < 0 || row >= m_mediaFiles.size())
        return;
    m_mediaFiles.at(row).deleteCoverArtTempFiles();
    m_mediaFiles.removeAt(row);
    m_rowStates.removeAt(row);
    emit mediaFileRemoved(row);
    recalculateTotalDuration();
}

void ConversionEngine::clearMediaFiles() {
    for (const MediaFile& file : std::as_const(m_mediaFiles))
        file.deleteCoverArtTempFiles();
    m_mediaFiles.clear();
    m_rowStates.clear();
    m_totalListTime = 0;
    emit mediaFilesCleared();
    emit totalListTimeChanged(m_totalListTime);
}

void ConversionEngine::setSelectedAudioStream(int row, int audioStreamIndex) {
    if (row < 0 || row >= m_mediaFiles.size())
        return;
    m_mediaFiles[row].selectedStreamIndex = audioStreamIndex;
    setRow(row, IconReady, ReadyText);
    recalculateTotalDuration();
}

qint64 ConversionEngine::rowDuration(int row) const {
    if (row < 0 || row >= m_mediaFiles.size())
        return 0;
    const MediaFile& file = m_mediaFiles.at(row);
    if (file.selectedStreamIndex < 0 || file.selectedStreamIndex >= file.audioStreams.size())
        return 0;
    return file.audioStreams.at(file.selectedStreamIndex).duration;
}

void ConversionEngine::recalculateTotalDuration() {
    m_totalListTime = 0;
    for (int row = 0; row < m_mediaFiles.size(); ++row)
        m_totalListTime += rowDuration(row);
    emit totalListTimeChanged(m_totalListTime);
}

QString ConversionEngine::fileListSummary() const {
    return QStringLiteral("%1 files, %2 in length")
        .arg(m_mediaFiles.size())
        .arg(formatDuration(m_totalListTime / 1000));
}

void ConversionEngine::setRow(int row, int icon, const QString& text) {
    if (row < 0 || row >= m_rowStates.size())
        return;
    m_rowStates[row].icon = icon;
    emit rowStateChanged(row, icon);
    setRowText(row, text);
}

void ConversionEngine::setRowText(int row, const QString& text) {
    if (row < 0 || row >= m_rowStates.size())
        return;
    m_rowStates[row].text = text;
    emit rowTextChanged(row, text);
}

void ConversionEngine::log(const QString& message, const QString& type) {
    const LogEntry item{QDateTime::currentDateTime(), type, message};
    m_logItems.append(item);
    logInfo(message);
    emit logged(item);
}

// ---- starting a run ------------------------------------------------------------

bool ConversionEngine::startConversion(const RunSettings& settings) {
    if (m_state != State::Idle)
        return false;
    if (m_mediaFiles.isEmpty()) {
        emit messageRequested(QStringLiteral("Error"), QStringLiteral("Please add audio files."));
        return false;
    }
    if (settings.outputFolder.isEmpty() || !QDir().mkpath(settings.outputFolder)) {
        logException(QStringLiteral("TMainForm.ConvertBtnClick"),
                     QStringLiteral("Cannot create ") + settings.outputFolder);
        emit messageRequested(QStringLiteral("Error"),
                              QStringLiteral("Unable to find or create output folder."));
        return false;
    }
    m_encodeStartDate = QDateTime::currentDateTime();
    log(QStringLiteral("Starting encoding."), QStringLiteral("Info"));

    // startConversion proper.
    m_state = State::Preparing;
    m_stopRequested = false;
    emit progressDialogShown(QStringLiteral("Please wait..."), false, QStringLiteral("Preparing for encode"));
    emit progressDialogBarChanged(int(m_mediaFiles.size()), 0);

    QList<int>& skippedRows = m_skippedRows;
    skippedRows.clear();
    m_jobs.clear();
    bool started = false;
    if (runGenerator(settings, true)) {
        skippedRows = m_jobGenerator->skippedFileIndex();
        m_jobs = m_jobGenerator->ffmpegCommandLines();
        log(QString::number(m_jobs.size()) + QStringLiteral(" encoding steps."), QStringLiteral("Info"));
    }

    if (m_stopRequested) {
        // Stopped while the jobs were being made: nothing was started.
        m_jobs.clear();
        m_state = State::Idle;
        log(QStringLiteral("Encoding stopped by user."), QStringLiteral("Warning"));
        emit progressDialogHidden();
        emit runStopped();
        return false;
    }
    if (m_jobs.isEmpty()) {
        const QString text =
            QStringLiteral("No encoding tasks are created. Please check your overwrite options.");
        m_state = State::Idle;
        emit messageRequested(QStringLiteral("Warning"), text);
        log(text, QStringLiteral("Warning"));
    } else {
        const int slotCount = qMax(1, settings.threadCount);
        releaseSlots();
        log(QString::number(slotCount) + QStringLiteral(" thread(s) are active."), QStringLiteral("Info"));
        createSlots(settings, slotCount);

        // ResetTotals
        m_progress.reset(int(m_jobs.size()), m_totalListTime);
        m_lastFocusedListItemIndex = 0;
        m_lastEncodedFileIndex = -1;
        m_load = SlotLoad();

        // InitProgressDisplay
        emit countersChanged(m_progress);
        emit timesChanged(m_progress);
        emit loadChanged(m_load);
        emit rowFocused(m_lastFocusedListItemIndex);
        enterConvertingState();

        for (int row = 0; row < m_rowStates.size(); ++row)
            setRow(row, IconReady, ReadyText);
        if (!skippedRows.isEmpty()) {
            log(QStringLiteral("Skipping ") + QString::number(skippedRows.size()) + QStringLiteral(" files."),
                QStringLiteral("Warning"));
            for (int row : std::as_const(skippedRows))
                setRow(row, IconDone, QStringLiteral("Skipped"));
        }

        for (const auto& encoder : m_slots)
            encoder->start();
        started = true;
    }

    // The dialog stays half a second, so a quick preparation does not just flicker.
    QTimer::singleShot(500, this, [this] { emit progressDialogHidden(); });
    return started;
}

QList<Job> ConversionEngine::generateJobs(const RunSettings& settings, QList<int>* skippedRows) {
    if (m_state != State::Idle)
        return {};
    if (!runGenerator(settings, false))
        return {};
    if (skippedRows)
        *skippedRows = m_jobGenerator->skippedFileIndex();
    return m_jobGenerator->ffmpegCommandLines();
}

bool ConversionEngine::runGenerator(const RunSettings& settings, bool showProgress) {
    JobGenerator& generator = *m_jobGenerator;
    generator.reset();
    generator.setOutputFolder(settings.outputFolder);
    generator.setCreateFolderStruct(settings.createFolderStruct);
    generator.setMediaFiles(m_mediaFiles);
    generator.setFFmpegPath(m_ffmpegPath);
    generator.setThreadCount(qMax(1, QThread::idealThreadCount()));
    generator.setOutputExt(
        outputExtension(settings.profile.codecId, settings.advancedSettings.aacExtensionIndex));
    generator.setProfile(settings.profile);
    generator.setOverwriteOption(settings.overwriteOption);
    generator.setSkipLong(false);
    generator.setAdvancedSettings(settings.advancedSettings);
    generator.setCopyCoverArt(settings.copyCoverArt);
    if (!generator.start())
        return false;
    const int fileCount = int(m_mediaFiles.size());
    QTimer progressTimer;
    if (showProgress) {
        connect(&progressTimer, &QTimer::timeout, this, [&] {
            emit progressDialogMessageChanged(generator.currentFile());
            emit progressDialogBarChanged(fileCount, generator.progress());
        });
        progressTimer.start(50);
    }
    if (!waitForWorker(generator, m_stopRequested, 50)) {
        generator.stop();
        generator.waitForFinished();
    }
    if (!generator.errorText().isEmpty())
        logException(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun"), generator.errorText());
    return true;
}

void ConversionEngine::createSlots(const RunSettings& settings, int count) {
    m_slots.reserve(count);
    for (int index = 0; index < count; ++index) {
        auto encoder = std::make_unique<EncoderSlot>(index, *this);
        encoder->setFFmpegPath(m_ffmpegPath);
        encoder->setDelUnfinished(settings.delUnfinished);
        encoder->setEmbedCoverArt(settings.copyCoverArt);
        encoder->setCoverArtWriterPath(m_coverWriterPath);
        encoder->reset();
        connect(encoder.get(), &EncoderSlot::finished, this, [this] {
            if (m_state == State::Stopping)
                checkStopFinished();
        });
        m_slots.push_back(std::move(encoder));
    }
}

int ConversionEngine::runningSlotCount() const {
    return int(
        std::count_if(m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot->running(); }));
}

void ConversionEngine::releaseSlots() {
    m_slots.clear();
}

void ConversionEngine::enterConvertingState() {
    m_state = State::Converting;
    m_timeTimer.start();
    m_loadTimer.start();
    emit convertingStateChanged(true);
}

void ConversionEngine::leaveConvertingState() {
    m_timeTimer.stop();
    m_loadTimer.stop();
    if (m_state == State::Converting)
        m_state = State::Idle;
    emit convertingStateChanged(false);
}

// ---- calls from the slots ------------------------------------------------------

bool ConversionEngine::nextJob(const Job*& commandLine) {
    ++m_lastEncodedFileIndex;
    if (m_lastEncodedFileIndex >= m_jobs.size()) {
        commandLine = nullptr;
        return false;
    }
    commandLine = &m_jobs.at(m_lastEncodedFileIndex);
    return true;
}

void ConversionEngine::updateFileListItemState(int itemIndex, int stateIndex) {
    if (itemIndex < 0 || itemIndex >= m_rowStates.size())
        return;
    m_rowStates[itemIndex].icon = stateIndex;
    emit rowStateChanged(itemIndex, stateIndex);
    if (itemIndex > m_lastFocusedListItemIndex)
        m_lastFocusedListItemIndex = itemIndex;
    emit rowFocused(itemIndex);
}

void ConversionEngine::updateListItemProgress(int itemIndex, const FFmpegProgress& ffmpegProgress) {
    if (itemIndex < 0 || itemIndex >= m_rowStates.size()) {
        logException(QStringLiteral("TMainForm.UpdateListItemProgress"),
                     QStringLiteral("row %1 is not in the list").arg(itemIndex));
        return;
    }
    const qint64 percent = progressPercent(ffmpegProgress.timeProcessed, rowDuration(itemIndex));
    const QString text =
        QString::number(percent) + QStringLiteral("% ") + ffmpegProgress.kbps + u' ' + ffmpegProgress.speed;
    if (text != m_rowStates.at(itemIndex).text)
        setRowText(itemIndex, text);
}

void ConversionEngine::updateListItemProgressEx(int itemIndex, const QString& msg) {
    if (itemIndex < 0 || itemIndex >= m_rowStates.size()) {
        logException(QStringLiteral("TMainForm.UpdateListItemProgressEx"),
                     QStringLiteral("row %1 is not in the list").arg(itemIndex));
        return;
    }
    setRowText(itemIndex, msg);
}

void ConversionEngine::markAsError(int itemIndex, const QString& commandLine, const QString& errorData,
                                   int ExitCode) {
    Q_UNUSED(errorData) // the slot logs the console output itself
    if (itemIndex < 0 || itemIndex >= m_rowStates.size())
        return;
    m_progress.fileFailed();
    setRowText(itemIndex, QStringLiteral("Error"));
    log(QStringLiteral("A file failed."), QStringLiteral("Info"));
    log(QStringLiteral("Command line:") + commandLine, QStringLiteral("Info"));
    log(QStringLiteral("Encoder exit code: ") + QString::number(ExitCode), QStringLiteral("Info"));
}

void ConversionEngine::increaseTotalProgress(int itemIndex, int stateIndex) {
    m_progress.fileFinished(rowDuration(itemIndex));
    emit countersChanged(m_progress);
    if (itemIndex > m_lastFocusedListItemIndex) {
        m_lastFocusedListItemIndex = itemIndex;
        emit rowFocused(itemIndex);
    }
    if (itemIndex >= 0 && itemIndex < m_rowStates.size()) {
        m_rowStates[itemIndex].icon = stateIndex;
        emit rowStateChanged(itemIndex, stateIndex);
        emit fileFinished(itemIndex, stateIndex, m_rowStates.at(itemIndex).text);
    }
    emit timesChanged(m_progress);

    if (m_progress.isComplete()) {
        const State state = m_state;
        leaveConvertingState();
        if (state == State::Stopping)
            m_state = State::Stopping; // the stop's own closing steps still follow
        const qint64 seconds = m_encodeStartDate.secsTo(QDateTime::currentDateTime());
        log(QStringLiteral("Encoding is done in ") + formatDuration(seconds), QStringLiteral("Info"));
        reportRunResult();
    }
}

void ConversionEngine::reportRunResult() {
    const int failed = m_progress.totalFailedCount();
    QString message;
    if (failed == 0) {
        log(QStringLiteral("All files are successfully encoded."), QStringLiteral("Info"));
        message = QStringLiteral("Convertion is finished successfully.");
    } else {
        log(QString::number(failed) + QStringLiteral(" files failed to convert"), QStringLiteral("Info"));
        message = QString::number(failed) + QStringLiteral(" files failed to convert. Please see logs.");
    }
    emit runFinished(message, failed, m_postEncodeAction);
}

// ---- the timers ----------------------------------------------------------------

void ConversionEngine::onTimeTick() {
    m_progress.tick();
    emit timesChanged(m_progress);
}

void ConversionEngine::onLoadTick() {
    QList<SlotReading> readings;
    readings.reserve(qsizetype(m_slots.size()));
    for (const auto& encoder : m_slots)
        readings.append({encoder->running(), encoder->cpuUsage(), encoder->ffmpegProgress().speedInt});
    m_load = SlotLoad::sum(readings, QThread::idealThreadCount());
    emit loadChanged(m_load);
}

// ---- stopping ------------------------------------------------------------------

void ConversionEngine::stop() {
    if (m_state == State::Preparing) {
        m_stopRequested = true; // the generator ends before its next file
        return;
    }
    if (m_state != State::Converting)
        return;
    m_state = State::Stopping;
    for (const auto& encoder : m_slots)
        encoder->stop();
    emit progressDialogShown(QStringLiteral("Waiting for processes to exit"), false, QString());
    emit progressDialogBarChanged(0, 0);
    // Slots that were idle already will not report; look once the stops have been delivered.
    QTimer::singleShot(0, this, &ConversionEngine::checkStopFinished);
}

void ConversionEngine::checkStopFinished() {
    if (m_state != State::Stopping)
        return;
    for (const auto& encoder : m_slots) {
        if (encoder->running())
            return;
    }
    finishStop();
}

void ConversionEngine::finishStop() {
    emit progressDialogHidden();
    m_timeTimer.stop();
    m_loadTimer.stop();
    m_state = State::Idle;
    emit convertingStateChanged(false);
    log(QStringLiteral("Encoding stopped by user."), QStringLiteral("Warning"));
    emit runStopped();
}

void ConversionEngine::terminateAll() {
    for (const auto& encoder : m_slots)
        encoder->stop();
}
