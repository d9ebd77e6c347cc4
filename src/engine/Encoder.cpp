#include "engine/Encoder.h"

#include "base/ConsoleRunner.h"
#include "base/Log.h"
#include "base/TextFormat.h"
#include "engine/EncoderOwner.h"
#include "model/FFmpegCommandLine.h"

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
QString TemporaryOutputPathFor(const QString& destination) {
    const QFileInfo info(destination);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString path;
    do {
        const QString random = QString::number(QRandomGenerator::global()->generate64(), 36);
        path = info.dir().filePath(QStringLiteral(".velmo-") + random + QStringLiteral(".part") + suffix);
    } while (QFileInfo::exists(path));
    return path;
}

QString ConsoleOutputAsJson(const QStringList& lines) {
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(lines)).toJson(QJsonDocument::Compact));
}

QString Quoted(const QString& text) {
    return u'"' + text + u'"';
}

} // namespace

TEncoder::TEncoder(int ThreadIndex, TEncoderOwner& owner, QObject* parent)
    : QObject(parent), FThreadIndex(ThreadIndex), FOwner(owner), FProcess(new TConsoleRunner(this)),
      FCoverArtProcess(new TConsoleRunner(this)) {
    FCoverArtProcess->IdlePriority = false;
    connect(FProcess, &TConsoleRunner::OnRead, this,
            [this](TConsoleRunner*, const QString& line, bool) { ProcessRead(line); });
    connect(FProcess, &TConsoleRunner::OnTerminate, this,
            [this](TConsoleRunner*, quint32 exitCode) { ProcessTerminate(exitCode); });
    connect(FCoverArtProcess, &TConsoleRunner::OnTerminate, this,
            [this](TConsoleRunner*, quint32 exitCode) { CoverArtTerminate(exitCode); });
}

TEncoder::~TEncoder() {
    // Ending the program must not leave a converter running, nor its half-written file.
    delete FCoverArtProcess;
    delete FProcess;
    DiscardTemporaryOutput();
    CloseUsageCounter(FCounter);
}

void TEncoder::Reset() {
    FCurrentFileListIndex = -1;
    FProgress = -1;
}

void TEncoder::Start() {
    CloseUsageCounter(FCounter);
    FStoppedByUser = false;
    FRunning = true;
    TakeNextJob();
}

void TEncoder::Stop() {
    FStoppedByUser = true;
    if (FCoverArtProcess->State() == TConsoleRunner::TState::Waiting) {
        FCoverArtAborted = true;
        // Asked politely: the tool then removes its own work copy.
        FCoverArtProcess->Terminate(true);
    } else if (FProcess->State() == TConsoleRunner::TState::Waiting) {
        FProcess->Terminate();
    }
}

void TEncoder::TakeNextJob() {
    const TFFmpegCommandLine* job = nullptr;
    if (FOwner.GetNextCommandline(job) && job) {
        FCurrentFFMpegCommandLine = job;
        StartEncode();
        return;
    }
    FCurrentFFMpegCommandLine = nullptr;
    FRunning = false;
    emit Finished(this);
}

void TEncoder::StartEncode() {
    const TFFmpegCommandLine& job = *FCurrentFFMpegCommandLine;
    FCurrentFileListIndex = job.FileListIndex;
    FFFMpegProgress = TFFMpegProgressInfo();
    FConsoleOutput.clear();
    FCPUUsage = 0;
    FCoverArtAborted = false;
    const QString thread = QStringLiteral("Thread %1 ").arg(FThreadIndex);
    LogInfo(thread + QStringLiteral("StartEncode() Source file path: ") + job.SourceFilePath);
    LogInfo(thread + QStringLiteral("StartEncode() Destination file path: ") + job.DestinationFilePath);
    LogInfo(thread + QStringLiteral("StartEncode() Command line: ") + job.CommandLine);
    FOwner.UpdateFileListItemState(FCurrentFileListIndex, StateConverting);

    // A folder that cannot be made is not handled here: ffmpeg then fails to
    // write and the job ends as an error.
    const QFileInfo destination(job.DestinationFilePath);
    QDir().mkpath(destination.absolutePath());

    QStringList arguments = job.Arguments;
    const qsizetype outputIndex = arguments.lastIndexOf(job.DestinationFilePath);
    if (outputIndex >= 0) {
        FTemporaryOutputPath = TemporaryOutputPathFor(job.DestinationFilePath);
        arguments[outputIndex] = FTemporaryOutputPath;
    } else {
        FTemporaryOutputPath.clear(); // custom arguments that name the output differently
    }

    FProcess->ApplicationName = FFFMpegPath;
    FProcess->Arguments = arguments;
    FProcess->CommandLine = job.CommandLine;
    if (!FProcess->Run()) {
        LogException(QStringLiteral("TEncoder.StartEncode"), FProcess->ErrorString());
        QMetaObject::invokeMethod(
            this, [this] { ProcessTerminate(TConsoleRunner::StartFailedExitCode); }, Qt::QueuedConnection);
    }
}

void TEncoder::ProcessRead(const QString& line) {
    try {
        const qint64 pid = FProcess->ProcessId();
        if (pid > 0 && (!FCounter || FCounter->PID != quint32(pid))) {
            CloseUsageCounter(FCounter);
            FCounter = OpenUsageCounter(quint32(pid));
        }
    } catch (const std::exception& e) {
        LogException(QStringLiteral("TEncoder.ProcessRead1"), QString::fromUtf8(e.what()));
    }
    FConsoleOutput = line;
    try {
        FFFMpegProgress = TFFMpegProgressParser::GetTime(line);
        if (FFFMpegProgress.TimeProcessed >= 0)
            FOwner.UpdateListItemProgress(FCurrentFileListIndex, FFFMpegProgress);
    } catch (const std::exception& e) {
        LogException(QStringLiteral("TEncoder.ProcessRead2"), QString::fromUtf8(e.what()));
        return;
    }
    try {
        if (FCounter)
            FCPUUsage = ReadCpuUsage(*FCounter);
    } catch (const std::exception& e) {
        LogException(QStringLiteral("TEncoder.ProcessRead1"), QString::fromUtf8(e.what()));
    }
}

void TEncoder::ProcessTerminate(quint32 exitCode) {
    const TFFmpegCommandLine& job = *FCurrentFFMpegCommandLine;
    const QString thread = QStringLiteral("Thread %1 ").arg(FThreadIndex);
    WriteBackendOutputToDisk();
    LogInfo(thread + QStringLiteral("ProcessTerminate() ExitCode: ") + QString::number(exitCode));

    if (FStoppedByUser) {
        FOwner.UpdateListItemProgressEx(FCurrentFileListIndex, StoppedText);
        if (FDelUnfinished) {
            DiscardTemporaryOutput();
            if (FTemporaryOutputPath.isEmpty() && QFileInfo::exists(job.DestinationFilePath) &&
                !QFile::remove(job.DestinationFilePath))
                LogException(QStringLiteral("TEncoder.ProcessTerminate"),
                             QStringLiteral("Cannot delete ") + job.DestinationFilePath);
        } else if (!FTemporaryOutputPath.isEmpty() && QFileInfo::exists(FTemporaryOutputPath)) {
            // Kept as the user asked, but never in place of a complete file.
            if (QFileInfo::exists(job.DestinationFilePath))
                LogWarning(QStringLiteral("Unfinished file kept as ") + FTemporaryOutputPath +
                           QStringLiteral(", since ") + job.DestinationFilePath + QStringLiteral(" exists"));
            else
                MoveTemporaryOutputToDestination();
        }
        FinishJob(StateStopped);
        return;
    }

    if (exitCode != 0) {
        if (!FProcess->StartError().isEmpty())
            LogError(thread + QStringLiteral("ProcessTerminate() Cannot start ffmpeg \"") + FFFMpegPath +
                     QStringLiteral("\": ") + FProcess->StartError());
        FOwner.MarkAsError(FCurrentFileListIndex, FProcess->CommandLine, FProcess->ConsoleOutput.join(u'\n'),
                           qint32(exitCode));
        LogError(thread + QStringLiteral("ProcessTerminate() Command line: ") + FProcess->CommandLine);
        LogInfo(thread + QStringLiteral("ProcessTerminate() Console output: ") +
                ConsoleOutputAsJson(FProcess->ConsoleOutput));
        DiscardTemporaryOutput();
        FinishJob(StateFailed);
        return;
    }

    if (FEmbeddArtwork && !job.TempCoverArtFilePath.isEmpty() &&
        QFileInfo::exists(job.TempCoverArtFilePath)) {
        // The picture goes into the file before it takes the destination's name,
        // and the tool runs beside the other slots instead of halting them.
        const QString target =
            FTemporaryOutputPath.isEmpty() ? job.DestinationFilePath : FTemporaryOutputPath;
        FCoverArtProcess->ApplicationName = FCoverArtWriterPath;
        FCoverArtProcess->Arguments = QStringList{target, job.TempCoverArtFilePath};
        FCoverArtProcess->CommandLine =
            Quoted(FCoverArtWriterPath) + u' ' + Quoted(target) + u' ' + Quoted(job.TempCoverArtFilePath);
        FCoverArtProcess->ConsoleOutput.clear();
        if (FCoverArtProcess->Run())
            return;
        CoverArtTerminate(TConsoleRunner::StartFailedExitCode);
        return;
    }
    CompleteConvertedJob(0);
}

void TEncoder::CoverArtTerminate(quint32 exitCode) {
    if (FCoverArtAborted)
        exitCode = RunAndWaitAbortedExitCode;
    if (!FCoverArtProcess->StartError().isEmpty())
        LogWarning(QStringLiteral("Cannot start the cover-art tool \"") + FCoverArtWriterPath +
                   QStringLiteral("\": ") + FCoverArtProcess->StartError());
    else if (exitCode != 0 && !FCoverArtProcess->ConsoleOutput.join(QString()).trimmed().isEmpty())
        LogWarning(QStringLiteral("Coverstamp: ") + FCoverArtProcess->ConsoleOutput.join(u' ').trimmed());
    CompleteConvertedJob(exitCode);
}

void TEncoder::CompleteConvertedJob(quint32 coverArtExitCode) {
    // The converted file stays even when its picture could not be written.
    if (!MoveTemporaryOutputToDestination()) {
        const TFFmpegCommandLine& job = *FCurrentFFMpegCommandLine;
        const QString reason = QStringLiteral("Cannot move the converted file to ") + job.DestinationFilePath;
        FOwner.MarkAsError(FCurrentFileListIndex, FProcess->CommandLine, reason, -1);
        LogError(QStringLiteral("Thread %1 ProcessTerminate() ").arg(FThreadIndex) + reason);
        DiscardTemporaryOutput();
        FinishJob(StateFailed);
        return;
    }
    if (coverArtExitCode != 0) {
        LogWarning(QStringLiteral("Coverstamp exit code : ") + QString::number(qint32(coverArtExitCode)));
        FOwner.UpdateListItemProgressEx(FCurrentFileListIndex, ArtworkFailedText);
        FinishJob(StateStopped);
        return;
    }
    FOwner.UpdateListItemProgressEx(FCurrentFileListIndex, DoneText);
    FinishJob(StateDone);
}

void TEncoder::FinishJob(int state) {
    FProcess->ConsoleOutput.clear();
    FTemporaryOutputPath.clear();
    FOwner.IncreaseTotalProgress(FCurrentFileListIndex, state);
    if (FStoppedByUser) {
        FRunning = false;
        FCurrentFFMpegCommandLine = nullptr;
        emit Finished(this);
        return;
    }
    ++FProgress;
    TakeNextJob();
}

void TEncoder::WriteBackendOutputToDisk() {
    try {
        FProcess->ConsoleOutput.prepend(FCurrentFFMpegCommandLine->CommandLine);
        const QString folder = FOwner.BackendOutputFolderPath();
        if (folder.isEmpty())
            return; // the owner keeps no dumps
        QDir().mkpath(folder);
        // Jobs ending within the same second each keep their own dump.
        const QString stamp = GetTimeStampText();
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
        for (const QString& line : std::as_const(FProcess->ConsoleOutput))
            content += line.toUtf8() + "\r\n";
        if (file.write(content) != content.size() || !file.flush())
            throw std::runtime_error(file.errorString().toStdString() + ": " + file.fileName().toStdString());
    } catch (const std::exception& e) {
        LogException(QStringLiteral("WriteBackendOutputToDisk"), QString::fromUtf8(e.what()));
    }
}

void TEncoder::DiscardTemporaryOutput() {
    if (FTemporaryOutputPath.isEmpty() || !QFileInfo::exists(FTemporaryOutputPath))
        return;
    if (!QFile::remove(FTemporaryOutputPath))
        LogException(QStringLiteral("TEncoder.ProcessTerminate"),
                     QStringLiteral("Cannot delete ") + FTemporaryOutputPath);
}

bool TEncoder::MoveTemporaryOutputToDestination() {
    if (FTemporaryOutputPath.isEmpty())
        return true; // ffmpeg wrote the destination itself
    const QString destination = FCurrentFFMpegCommandLine->DestinationFilePath;
    std::error_code error;
    // rename() replaces an existing destination in one step: it is never missing
    // or half-written, whatever happens meanwhile.
    std::filesystem::rename(QFile::encodeName(FTemporaryOutputPath).toStdString(),
                            QFile::encodeName(destination).toStdString(), error);
    if (error) {
        LogException(QStringLiteral("TEncoder.ProcessTerminate"),
                     QString::fromStdString(error.message()) + QStringLiteral(": ") + destination);
        return false;
    }
    FTemporaryOutputPath.clear();
    return true;
}
