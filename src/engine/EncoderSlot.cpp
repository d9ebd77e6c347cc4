#include "engine/EncoderSlot.h"

#include "base/ConsoleRunner.h"
#include "base/Log.h"
#include "base/TextFormat.h"
#include "engine/EncoderSlotOwner.h"
#include "model/Job.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {

const QString StoppedText = QStringLiteral("Stopped by user");
const QString DoneText = QStringLiteral("Done");
const QString ArtworkFailedText = QStringLiteral("Artwork write failed");

// A hidden name beside the destination that keeps its extension, so that ffmpeg
// chooses the same output format. Short, so that a long destination name cannot
// push it past the file-name limit.
QString temporaryOutputPathFor(const QString& destination) {
    const QFileInfo info(destination);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString path;
    do {
        const QString random = QString::number(QRandomGenerator::global()->generate64(), 36);
        path = info.dir().filePath(QStringLiteral(".velmo-") + random + QStringLiteral(".part") + suffix);
    } while (QFileInfo::exists(path));
    return path;
}

QString consoleOutputAsJson(const QStringList& lines) {
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(lines)).toJson(QJsonDocument::Compact));
}

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

} // namespace

EncoderSlot::EncoderSlot(int slotIndex, EncoderSlotOwner& owner, QObject* parent)
    : QObject(parent), m_slotIndex(slotIndex), m_owner(owner), m_process(new ConsoleRunner(this)),
      m_coverArtProcess(new ConsoleRunner(this)) {
    m_coverArtProcess->idlePriority = false;
    connect(m_process, &ConsoleRunner::onRead, this,
            [this](ConsoleRunner*, const QString& line, bool) { processRead(line); });
    connect(m_process, &ConsoleRunner::onTerminate, this,
            [this](ConsoleRunner*, quint32 exitCode) { processTerminate(exitCode); });
    connect(m_coverArtProcess, &ConsoleRunner::onTerminate, this,
            [this](ConsoleRunner*, quint32 exitCode) { coverArtTerminate(exitCode); });
}

EncoderSlot::~EncoderSlot() {
    // Ending the program must not leave a converter running, nor its half-written file.
    delete m_coverArtProcess;
    delete m_process;
    discardTemporaryOutput();
    closeUsageCounter(m_counter);
}

void EncoderSlot::reset() {
    m_currentFileListIndex = -1;
    m_progress = -1;
}

void EncoderSlot::start() {
    closeUsageCounter(m_counter);
    m_stoppedByUser = false;
    m_running = true;
    takeNextJob();
}

void EncoderSlot::stop() {
    m_stoppedByUser = true;
    if (m_coverArtProcess->state() == ConsoleRunner::State::Waiting) {
        m_coverArtAborted = true;
        // Asked politely: the tool then removes its own work copy.
        m_coverArtProcess->terminate(true);
    } else if (m_process->state() == ConsoleRunner::State::Waiting) {
        m_process->terminate();
    }
}

void EncoderSlot::takeNextJob() {
    const Job* job = nullptr;
    if (m_owner.nextJob(job) && job) {
        m_currentJob = job;
        startEncode();
        return;
    }
    m_currentJob = nullptr;
    m_running = false;
    emit finished(this);
}

void EncoderSlot::startEncode() {
    const Job& job = *m_currentJob;
    m_currentFileListIndex = job.fileListIndex;
    m_ffmpegProgress = FFmpegProgress();
    m_consoleOutput.clear();
    m_cpuUsage = 0;
    m_coverArtAborted = false;
    const QString thread = QStringLiteral("Thread %1 ").arg(m_slotIndex);
    logInfo(thread + QStringLiteral("StartEncode() Source file path: ") + job.sourceFilePath);
    logInfo(thread + QStringLiteral("StartEncode() Destination file path: ") + job.destinationFilePath);
    logInfo(thread + QStringLiteral("StartEncode() Command line: ") + job.commandLine);
    m_owner.jobStarted(m_currentFileListIndex);

    // A folder that cannot be made is not handled here: ffmpeg then fails to
    // write and the job ends as an error.
    const QFileInfo destination(job.destinationFilePath);
    QDir().mkpath(destination.absolutePath());

    QStringList arguments = job.arguments;
    const qsizetype outputIndex = arguments.lastIndexOf(job.destinationFilePath);
    if (outputIndex >= 0) {
        m_temporaryOutputPath = temporaryOutputPathFor(job.destinationFilePath);
        arguments[outputIndex] = m_temporaryOutputPath;
    } else {
        m_temporaryOutputPath.clear(); // custom arguments that name the output differently
    }

    m_process->applicationName = m_ffmpegPath;
    m_process->arguments = arguments;
    m_process->commandLine = job.commandLine;
    if (!m_process->run()) {
        logException(QStringLiteral("TEncoder.StartEncode"), m_process->errorString());
        QMetaObject::invokeMethod(
            this, [this] { processTerminate(ConsoleRunner::StartFailedExitCode); }, Qt::QueuedConnection);
    }
}

void EncoderSlot::processRead(const QString& line) {
    try {
        const qint64 pid = m_process->processId();
        if (pid > 0 && (!m_counter || m_counter->pid != quint32(pid))) {
            closeUsageCounter(m_counter);
            m_counter = openUsageCounter(quint32(pid));
        }
    } catch (const std::exception& e) {
        logException(QStringLiteral("TEncoder.ProcessRead1"), QString::fromUtf8(e.what()));
    }
    m_consoleOutput = line;
    try {
        m_ffmpegProgress = FFmpegProgressParser::time(line);
        if (m_ffmpegProgress.timeProcessed >= 0)
            m_owner.jobProgress(m_currentFileListIndex, m_ffmpegProgress);
    } catch (const std::exception& e) {
        logException(QStringLiteral("TEncoder.ProcessRead2"), QString::fromUtf8(e.what()));
        return;
    }
    try {
        if (m_counter)
            m_cpuUsage = readCpuUsage(*m_counter);
    } catch (const std::exception& e) {
        logException(QStringLiteral("TEncoder.ProcessRead1"), QString::fromUtf8(e.what()));
    }
}

void EncoderSlot::processTerminate(quint32 exitCode) {
    const Job& job = *m_currentJob;
    const QString thread = QStringLiteral("Thread %1 ").arg(m_slotIndex);
    writeBackendOutputToDisk();
    logInfo(thread + QStringLiteral("ProcessTerminate() ExitCode: ") + QString::number(exitCode));

    if (m_stoppedByUser) {
        m_owner.jobMessage(m_currentFileListIndex, StoppedText);
        if (m_deleteUnfinished) {
            discardTemporaryOutput();
            if (m_temporaryOutputPath.isEmpty() && QFileInfo::exists(job.destinationFilePath) &&
                !QFile::remove(job.destinationFilePath))
                logException(QStringLiteral("TEncoder.ProcessTerminate"),
                             QStringLiteral("Cannot delete ") + job.destinationFilePath);
        } else if (!m_temporaryOutputPath.isEmpty() && QFileInfo::exists(m_temporaryOutputPath)) {
            // Kept as the user asked, but never in place of a complete file.
            if (QFileInfo::exists(job.destinationFilePath))
                logWarning(QStringLiteral("Unfinished file kept as ") + m_temporaryOutputPath +
                           QStringLiteral(", since ") + job.destinationFilePath + QStringLiteral(" exists"));
            else
                moveTemporaryOutputToDestination();
        }
        finishJob(JobOutcome::Stopped);
        return;
    }

    if (exitCode != 0) {
        if (!m_process->startError().isEmpty())
            logError(thread + QStringLiteral("ProcessTerminate() Cannot start ffmpeg \"") + m_ffmpegPath +
                     QStringLiteral("\": ") + m_process->startError());
        m_owner.jobFailed(m_currentFileListIndex, m_process->commandLine,
                          m_process->consoleOutput.join(u'\n'), qint32(exitCode));
        logError(thread + QStringLiteral("ProcessTerminate() Command line: ") + m_process->commandLine);
        logInfo(thread + QStringLiteral("ProcessTerminate() Console output: ") +
                consoleOutputAsJson(m_process->consoleOutput));
        discardTemporaryOutput();
        finishJob(JobOutcome::Failed);
        return;
    }

    if (m_embedCoverArt && !job.tempCoverArtFilePath.isEmpty() &&
        QFileInfo::exists(job.tempCoverArtFilePath)) {
        // The picture goes into the file before it takes the destination's name,
        // and the tool runs beside the other slots instead of halting them.
        const QString target =
            m_temporaryOutputPath.isEmpty() ? job.destinationFilePath : m_temporaryOutputPath;
        m_coverArtProcess->applicationName = m_coverArtWriterPath;
        m_coverArtProcess->arguments = QStringList{target, job.tempCoverArtFilePath};
        m_coverArtProcess->commandLine =
            quoted(m_coverArtWriterPath) + u' ' + quoted(target) + u' ' + quoted(job.tempCoverArtFilePath);
        m_coverArtProcess->consoleOutput.clear();
        if (m_coverArtProcess->run())
            return;
        coverArtTerminate(ConsoleRunner::StartFailedExitCode);
        return;
    }
    completeConvertedJob(0);
}

void EncoderSlot::coverArtTerminate(quint32 exitCode) {
    if (m_coverArtAborted)
        exitCode = ConsoleRunner::AbortedExitCode;
    if (!m_coverArtProcess->startError().isEmpty())
        logWarning(QStringLiteral("Cannot start the cover-art tool \"") + m_coverArtWriterPath +
                   QStringLiteral("\": ") + m_coverArtProcess->startError());
    else if (exitCode != 0 && !m_coverArtProcess->consoleOutput.join(QString()).trimmed().isEmpty())
        logWarning(QStringLiteral("Coverstamp: ") + m_coverArtProcess->consoleOutput.join(u' ').trimmed());
    completeConvertedJob(exitCode);
}

void EncoderSlot::completeConvertedJob(quint32 coverArtExitCode) {
    // The converted file stays even when its picture could not be written.
    if (!moveTemporaryOutputToDestination()) {
        const Job& job = *m_currentJob;
        const QString reason = QStringLiteral("Cannot move the converted file to ") + job.destinationFilePath;
        m_owner.jobFailed(m_currentFileListIndex, m_process->commandLine, reason, -1);
        logError(QStringLiteral("Thread %1 ProcessTerminate() ").arg(m_slotIndex) + reason);
        discardTemporaryOutput();
        finishJob(JobOutcome::Failed);
        return;
    }
    if (coverArtExitCode != 0) {
        logWarning(QStringLiteral("Coverstamp exit code : ") + QString::number(qint32(coverArtExitCode)));
        m_owner.jobMessage(m_currentFileListIndex, ArtworkFailedText);
        finishJob(JobOutcome::CoverArtFailed);
        return;
    }
    m_owner.jobMessage(m_currentFileListIndex, DoneText);
    finishJob(JobOutcome::Done);
}

void EncoderSlot::finishJob(JobOutcome outcome) {
    m_process->consoleOutput.clear();
    m_temporaryOutputPath.clear();
    m_owner.jobFinished(m_currentFileListIndex, outcome);
    if (m_stoppedByUser) {
        m_running = false;
        m_currentJob = nullptr;
        emit finished(this);
        return;
    }
    ++m_progress;
    takeNextJob();
}

void EncoderSlot::writeBackendOutputToDisk() {
    try {
        m_process->consoleOutput.prepend(m_currentJob->commandLine);
        const QString folder = m_owner.backendOutputFolderPath();
        if (folder.isEmpty())
            return; // the owner keeps no dumps
        QDir().mkpath(folder);
        // Jobs ending within the same second each keep their own dump.
        const QString stamp = timeStampText();
        QFile file;
        for (int n = 0;; ++n) {
            const QString name = n == 0 ? stamp : stamp + u'_' + QString::number(n);
            file.setFileName(QDir(folder).filePath(name + QStringLiteral(".txt")));
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                break;
            if (!file.exists())
                throw std::runtime_error(file.errorString().toStdString() + ": " +
                                         file.fileName().toStdString());
        }
        QByteArray content("\xEF\xBB\xBF");
        for (const QString& line : std::as_const(m_process->consoleOutput))
            content += line.toUtf8() + "\r\n";
        if (file.write(content) != content.size() || !file.flush())
            throw std::runtime_error(file.errorString().toStdString() + ": " + file.fileName().toStdString());
    } catch (const std::exception& e) {
        logException(QStringLiteral("WriteBackendOutputToDisk"), QString::fromUtf8(e.what()));
    }
}

void EncoderSlot::discardTemporaryOutput() {
    if (m_temporaryOutputPath.isEmpty() || !QFileInfo::exists(m_temporaryOutputPath))
        return;
    if (!QFile::remove(m_temporaryOutputPath))
        logException(QStringLiteral("TEncoder.ProcessTerminate"),
                     QStringLiteral("Cannot delete ") + m_temporaryOutputPath);
}

bool EncoderSlot::moveTemporaryOutputToDestination() {
    if (m_temporaryOutputPath.isEmpty())
        return true; // ffmpeg wrote the destination itself
    const QString destination = m_currentJob->destinationFilePath;
    std::error_code error;
    // rename() replaces an existing destination in one step: it is never missing
    // or half-written, whatever happens meanwhile.
    std::filesystem::rename(QFile::encodeName(m_temporaryOutputPath).toStdString(),
                            QFile::encodeName(destination).toStdString(), error);
    if (error) {
        logException(QStringLiteral("TEncoder.ProcessTerminate"),
                     QString::fromStdString(error.message()) + QStringLiteral(": ") + destination);
        return false;
    }
    m_temporaryOutputPath.clear();
    return true;
}
