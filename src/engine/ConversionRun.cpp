#include "engine/ConversionRun.h"

#include "base/Log.h"
#include "base/TextFormat.h"
#include "engine/EncoderSlot.h"
#include "engine/FileListModel.h"
#include "engine/JobGenerator.h"
#include "engine/LogModel.h"
#include "engine/WorkerWait.h"

#include <QDir>
#include <QThread>
#include <algorithm>

ConversionRun::ConversionRun(FileListModel& files, LogModel& log, QObject* parent)
    : QObject(parent), m_files(files), m_log(log), m_jobGenerator(std::make_unique<JobGenerator>()) {
    m_timeTimer.setInterval(1000);
    m_loadTimer.setInterval(100);
    connect(&m_timeTimer, &QTimer::timeout, this, &ConversionRun::onTimeTick);
    connect(&m_loadTimer, &QTimer::timeout, this, &ConversionRun::onLoadTick);
}

ConversionRun::~ConversionRun() {
    // The slots' runners end their ffmpeg processes when they are destroyed.
    terminateAll();
    releaseSlots();
}

void ConversionRun::log(const QString& message, MessageKind kind) {
    m_log.add(message, kind);
}

// ---- starting a run ------------------------------------------------------------

StartResult ConversionRun::checkStart(const RunSettings& settings) {
    if (m_state != State::Idle)
        return StartResult::Busy;
    if (m_files.mediaFiles().isEmpty()) {
        emit messageRequested(MessageKind::Error, QStringLiteral("Please add audio files."));
        return StartResult::NoFiles;
    }
    if (settings.outputFolder.isEmpty() || !QDir().mkpath(settings.outputFolder)) {
        logException(QStringLiteral("TMainForm.ConvertBtnClick"),
                     QStringLiteral("Cannot create ") + settings.outputFolder);
        emit messageRequested(MessageKind::Error, QStringLiteral("Unable to find or create output folder."));
        return StartResult::NoOutputFolder;
    }
    return StartResult::Started;
}

StartResult ConversionRun::start(const RunSettings& settings) {
    if (const StartResult refusal = checkStart(settings); refusal != StartResult::Started)
        return refusal;
    m_encodeStartDate = QDateTime::currentDateTime();
    log(QStringLiteral("Starting encoding."), MessageKind::Info);

    m_state = State::Preparing;
    m_stopRequested = false;
    emit busyStarted(QStringLiteral("Please wait..."), false, QStringLiteral("Preparing for encode"));
    emit busyProgressChanged(int(m_files.mediaFiles().size()), 0);

    m_skippedRows.clear();
    m_stoppedRows.clear();
    m_jobs.clear();
    if (runGenerator(settings, true)) {
        m_skippedRows = m_jobGenerator->skippedRows();
        m_jobs = m_jobGenerator->jobs();
        log(QString::number(m_jobs.size()) + QStringLiteral(" encoding steps."), MessageKind::Info);
    }

    StartResult result = StartResult::Started;
    if (m_stopRequested) {
        m_jobs.clear();
        m_state = State::Idle;
        log(QStringLiteral("Encoding stopped by user."), MessageKind::Warning);
        emit busyEnded();
        emit runStopped();
        return StartResult::StoppedEarly;
    }
    if (m_jobs.isEmpty()) {
        const QString text =
            QStringLiteral("No encoding tasks are created. Please check your overwrite options.");
        m_state = State::Idle;
        emit messageRequested(MessageKind::Warning, text);
        log(text, MessageKind::Warning);
        result = StartResult::NothingToDo;
    } else {
        startSlots(settings);
    }

    // The busy display stays half a second, so a quick preparation does not just flicker.
    QTimer::singleShot(500, this, [this] { emit busyEnded(); });
    return result;
}

void ConversionRun::startSlots(const RunSettings& settings) {
    const int slotCount = qMax(1, settings.threadCount);
    releaseSlots();
    log(QString::number(slotCount) + QStringLiteral(" thread(s) are active."), MessageKind::Info);
    createSlots(settings, slotCount);

    m_progress.reset(int(m_jobs.size()), m_files.totalListTime());
    m_lastFocusedRow = 0;
    m_nextJobIndex = 0;
    m_load = SlotLoad();

    emit countersChanged(m_progress);
    emit timesChanged(m_progress);
    emit loadChanged(m_load);
    emit rowFocused(m_lastFocusedRow);
    enterConvertingState();

    for (int row = 0; row < m_files.rowCount(); ++row)
        m_files.setRowState(row, RowIcon::Ready, RowState().text);
    if (!m_skippedRows.isEmpty()) {
        log(QStringLiteral("Skipping ") + QString::number(m_skippedRows.size()) + QStringLiteral(" files."),
            MessageKind::Warning);
        for (int row : std::as_const(m_skippedRows))
            m_files.setRowState(row, RowIcon::Done, QStringLiteral("Skipped"));
    }

    for (const auto& slot : m_slots)
        slot->start();
}

QList<Job> ConversionRun::generateJobs(const RunSettings& settings, QList<int>* skippedRows) {
    if (m_state != State::Idle)
        return {};
    if (!runGenerator(settings, false))
        return {};
    if (skippedRows)
        *skippedRows = m_jobGenerator->skippedRows();
    return m_jobGenerator->jobs();
}

bool ConversionRun::runGenerator(const RunSettings& settings, bool showProgress) {
    JobGenerator& generator = *m_jobGenerator;
    generator.reset();
    generator.setOutputFolder(settings.outputFolder);
    generator.setCreateFolderStruct(settings.createFolderStruct);
    generator.setMediaFiles(m_files.mediaFiles());
    generator.setFFmpegPath(m_ffmpegPath);
    generator.setOutputExt(
        outputExtension(settings.profile.codecId, settings.advancedSettings.aacExtensionIndex));
    generator.setProfile(settings.profile);
    generator.setOverwriteOption(settings.overwriteOption);
    generator.setSkipLong(false);
    generator.setAdvancedSettings(settings.advancedSettings);
    generator.setCopyCoverArt(settings.copyCoverArt);
    if (!generator.start())
        return false;
    const int fileCount = m_files.rowCount();
    QTimer progressTimer;
    if (showProgress) {
        connect(&progressTimer, &QTimer::timeout, this, [&] {
            emit busyMessageChanged(generator.currentFile());
            emit busyProgressChanged(fileCount, generator.progress());
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

void ConversionRun::createSlots(const RunSettings& settings, int count) {
    m_slots.reserve(count);
    for (int index = 0; index < count; ++index) {
        auto slot = std::make_unique<EncoderSlot>(index, *this);
        slot->setFFmpegPath(m_ffmpegPath);
        slot->setDeleteUnfinished(settings.deleteUnfinished);
        slot->setEmbedCoverArt(settings.copyCoverArt);
        slot->setCoverArtWriterPath(m_coverWriterPath);
        slot->reset();
        connect(slot.get(), &EncoderSlot::finished, this, [this] {
            if (m_state == State::Stopping)
                checkStopFinished();
        });
        m_slots.push_back(std::move(slot));
    }
}

int ConversionRun::runningSlotCount() const {
    return int(
        std::count_if(m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot->running(); }));
}

void ConversionRun::releaseSlots() {
    m_slots.clear();
}

void ConversionRun::enterConvertingState() {
    m_state = State::Converting;
    m_timeTimer.start();
    m_loadTimer.start();
    emit convertingStateChanged(true);
}

void ConversionRun::leaveConvertingState() {
    m_timeTimer.stop();
    m_loadTimer.stop();
    if (m_state == State::Converting)
        m_state = State::Idle;
    emit convertingStateChanged(false);
}

// ---- calls from the slots ------------------------------------------------------

bool ConversionRun::nextJob(const Job*& job) {
    if (m_nextJobIndex >= m_jobs.size()) {
        job = nullptr;
        return false;
    }
    job = &m_jobs.at(m_nextJobIndex++);
    return true;
}

void ConversionRun::jobStarted(int row) {
    if (row < 0 || row >= m_files.rowCount())
        return;
    m_files.setRowIcon(row, RowIcon::Converting);
    if (row > m_lastFocusedRow)
        m_lastFocusedRow = row;
    emit rowFocused(row);
}

void ConversionRun::jobProgress(int row, const FFmpegProgress& progress) {
    if (row < 0 || row >= m_files.rowCount()) {
        logException(QStringLiteral("TMainForm.UpdateListItemProgress"),
                     QStringLiteral("row %1 is not in the list").arg(row));
        return;
    }
    const qint64 percent = progressPercent(progress.timeProcessed, m_files.rowDuration(row));
    m_files.setRowText(row, QString::number(percent) + QStringLiteral("% ") + progress.kbps + u' ' +
                                progress.speed);
}

void ConversionRun::jobMessage(int row, const QString& text) {
    if (row < 0 || row >= m_files.rowCount()) {
        logException(QStringLiteral("TMainForm.UpdateListItemProgressEx"),
                     QStringLiteral("row %1 is not in the list").arg(row));
        return;
    }
    m_files.setRowText(row, text);
}

void ConversionRun::jobFailed(int row, const QString& commandLine, const QString& consoleOutput,
                              int exitCode) {
    Q_UNUSED(consoleOutput) // the slot logs the console output itself
    if (row < 0 || row >= m_files.rowCount())
        return;
    m_progress.fileFailed();
    m_files.setRowText(row, QStringLiteral("Error"));
    log(QStringLiteral("A file failed."), MessageKind::Info);
    log(QStringLiteral("Command line:") + commandLine, MessageKind::Info);
    log(QStringLiteral("Encoder exit code: ") + QString::number(exitCode), MessageKind::Info);
}

void ConversionRun::jobFinished(int row, JobOutcome outcome) {
    m_progress.fileFinished(m_files.rowDuration(row));
    emit countersChanged(m_progress);
    if (row > m_lastFocusedRow) {
        m_lastFocusedRow = row;
        emit rowFocused(row);
    }
    if (outcome == JobOutcome::Stopped)
        m_stoppedRows.append(row);
    if (row >= 0 && row < m_files.rowCount()) {
        m_files.setRowIcon(row, rowIconOf(outcome));
        emit fileFinished(row, outcome);
    }
    emit timesChanged(m_progress);

    if (m_progress.isComplete()) {
        const State state = m_state;
        leaveConvertingState();
        if (state == State::Stopping)
            m_state = State::Stopping; // the stop's own closing steps still follow
        const qint64 seconds = m_encodeStartDate.secsTo(QDateTime::currentDateTime());
        log(QStringLiteral("Encoding is done in ") + formatDuration(seconds), MessageKind::Info);
        reportRunResult();
    }
}

void ConversionRun::reportRunResult() {
    RunResult result;
    result.failedCount = m_progress.totalFailedCount();
    result.postEncodeAction = m_postEncodeAction;
    if (result.failedCount == 0) {
        log(QStringLiteral("All files are successfully encoded."), MessageKind::Info);
        result.message = QStringLiteral("Convertion is finished successfully.");
    } else {
        const QString count = QString::number(result.failedCount);
        log(count + QStringLiteral(" files failed to convert"), MessageKind::Info);
        result.message = count + QStringLiteral(" files failed to convert. Please see logs.");
    }
    emit runFinished(result);
}

// ---- the timers ----------------------------------------------------------------

void ConversionRun::onTimeTick() {
    m_progress.tick();
    emit timesChanged(m_progress);
}

void ConversionRun::onLoadTick() {
    QList<SlotReading> readings;
    readings.reserve(qsizetype(m_slots.size()));
    for (const auto& slot : m_slots)
        readings.append({slot->running(), slot->cpuUsage(), slot->ffmpegProgress().speedInt});
    m_load = SlotLoad::sum(readings, QThread::idealThreadCount());
    emit loadChanged(m_load);
}

// ---- stopping ------------------------------------------------------------------

void ConversionRun::stop() {
    if (m_state == State::Preparing) {
        m_stopRequested = true; // the generator ends before its next file
        return;
    }
    if (m_state != State::Converting)
        return;
    m_state = State::Stopping;
    for (const auto& slot : m_slots)
        slot->stop();
    emit busyStarted(QStringLiteral("Waiting for processes to exit"), false, QString());
    emit busyProgressChanged(0, 0);
    // Slots that were idle already will not report; look once the stops have been delivered.
    QTimer::singleShot(0, this, &ConversionRun::checkStopFinished);
}

void ConversionRun::checkStopFinished() {
    if (m_state != State::Stopping)
        return;
    for (const auto& slot : m_slots) {
        if (slot->running())
            return;
    }
    finishStop();
}

void ConversionRun::finishStop() {
    emit busyEnded();
    m_timeTimer.stop();
    m_loadTimer.stop();
    m_state = State::Idle;
    emit convertingStateChanged(false);
    log(QStringLiteral("Encoding stopped by user."), MessageKind::Warning);
    emit runStopped();
}

void ConversionRun::terminateAll() {
    for (const auto& slot : m_slots)
        slot->stop();
}
