#include "engine/FFmpegCommandLineGenerator.h"

#include "base/FileNames.h"
#include "base/Log.h"
#include "engine/FFmpegCommandBuilder.h"
#include "engine/OutputPath.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <exception>

namespace {

// ffmpeg must never read a path as an option or a protocol, so every path it
// gets is absolute.
QString absolutePath(const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
}

// Paths of one run are compared in this form, so that "a//b" and "a/./b" meet.
QString pathKey(const QString& path) {
    return QDir::cleanPath(path);
}

// The first "<stem>_<n><ext>" that neither exists nor is taken by the run.
QString nextFreeName(const QString& path, const QSet<QString>& taken) {
    const QString stem = PathWithoutExtension(path);
    const QString extension = FileExtension(path);
    for (qint64 n = 1;; ++n) {
        const QString candidate = stem + u'_' + QString::number(n) + extension;
        if (!taken.contains(pathKey(candidate)) && !QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace

TFFmpegCommandLineGenerator::TFFmpegCommandLineGenerator(QObject* parent)
    : QObject(parent), FThreadCount(qMax(1, QThread::idealThreadCount())) {}

TFFmpegCommandLineGenerator::~TFFmpegCommandLineGenerator() {
    Stop();
    WaitForFinished();
}

void TFFmpegCommandLineGenerator::Reset() {
    Stop();
    WaitForFinished();
    FFFmpegCommandLines.clear();
    FOutputFolder.clear();
    FOutputExt.clear();
    FSameAsSource = false;
    FCreateFolderStruct = true;
}

bool TFFmpegCommandLineGenerator::Start() {
    if (Running())
        return false;
    if (FThread)
        FThread->wait(); // the previous pass has ended; let its thread finish returning
    FSkippedFileIndex.clear();
    FProgress.store(0);
    {
        QMutexLocker locker(&FLock);
        FCurrentFile.clear();
        FErrorText.clear();
    }
    FStop.store(false);
    FRunning.store(true, std::memory_order_release);
    FThread.reset(QThread::create([this] { IdThreadRun(); }));
    FThread->setObjectName(QStringLiteral("TFFmpegCommandLineGenerator"));
    FThread->start();
    return true;
}

void TFFmpegCommandLineGenerator::Stop() {
    FStop.store(true);
}

bool TFFmpegCommandLineGenerator::WaitForFinished(int timeoutMs) {
    if (!FThread)
        return true;
    return FThread->wait(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs));
}

QString TFFmpegCommandLineGenerator::CurrentFile() const {
    QMutexLocker locker(&FLock);
    return FCurrentFile;
}

QString TFFmpegCommandLineGenerator::ErrorText() const {
    QMutexLocker locker(&FLock);
    return FErrorText;
}

void TFFmpegCommandLineGenerator::SetCurrentFile(const QString& path) {
    QMutexLocker locker(&FLock);
    FCurrentFile = path;
}

void TFFmpegCommandLineGenerator::IdThreadRun() {
    try {
        MakeJobs();
    } catch (const std::exception& error) {
        // The jobs made so far stay; the caller learns why the rest is missing.
        const QString text = QString::fromStdString(error.what());
        {
            QMutexLocker locker(&FLock);
            FErrorText = text;
        }
        LogException(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun"), text);
    }
    FRunning.store(false, std::memory_order_release);
    emit Finished();
}

void TFFmpegCommandLineGenerator::MakeJobs() {
    const QString outputFolder = absolutePath(FOutputFolder);
    const QString formatName = TExtensions::TOutputCodecsToStr(FProfile.FCodecId);
    const int threadCount = qMax(1, FThreadCount);

    // No job may write over a source of the run or over the output of an earlier job.
    QSet<QString> taken;
    for (const TMediaFile& file : std::as_const(FMediaFiles))
        taken.insert(pathKey(absolutePath(file.FilePath)));

    for (qsizetype p = 0; p < FMediaFiles.size(); ++p) {
        if (FStop.load())
            break;
        const TMediaFile& file = FMediaFiles[p];
        FProgress.store(int(p + 1), std::memory_order_relaxed);
        SetCurrentFile(file.FilePath);

        TFFmpegCommandLine job;
        job.ThreadIndex = qint32(p % threadCount);
        job.FileListIndex = qint32(p);
        job.SourceFilePath = absolutePath(file.FilePath);

        QString output = TOutputFilePathHelper::GenerateOutputFilePath(
            job.SourceFilePath, outputFolder, FSameAsSource, FCreateFolderStruct, FOutputExt, formatName);
        if (taken.contains(pathKey(output))) {
            const QString renamed = nextFreeName(output, taken);
            LogInfo(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun ") + output +
                    QStringLiteral(" is already used in this run, writing ") + renamed +
                    QStringLiteral(" instead"));
            output = renamed;
        } else if (QFileInfo::exists(output)) {
            if (FOverwriteOption == 0) {
                output = nextFreeName(output, taken);
            } else if (FOverwriteOption == 2) {
                FSkippedFileIndex.append(qint32(p));
                LogInfo(QStringLiteral("Skipping ") + output + QStringLiteral(" because it already exists"));
                continue;
            }
        }
        taken.insert(pathKey(output));

        const TAudioStream& stream = file.GetSelectedAudioStream();
        const TArtwork* artwork = file.GetSelectedArtworkStream();
        TFFmpegCommandInput input;
        input.SourcePath = job.SourceFilePath;
        input.OutputPath = output;
        input.StreamIndex = stream.StreamIndex;
        input.SourceSampleRate = stream.SamplingRate;
        input.CustomParams = FAdvancedSettings.CustomFFmpegParams;
        if (artwork) {
            job.TempCoverArtFilePath =
                artwork->TempFilePath.isEmpty() ? QString() : absolutePath(artwork->TempFilePath);
            if (FCopyCoverAart && CanCarryCoverArt(FProfile.FCodecId) &&
                !job.TempCoverArtFilePath.isEmpty() && QFileInfo::exists(job.TempCoverArtFilePath))
                input.CarriedPicturePath = job.TempCoverArtFilePath;
        }
        const TFFmpegCommand command = BuildFFmpegCommand(FProfile, input);
        job.CommandLine = command.CommandLine;
        job.Arguments = command.Arguments;
        job.DestinationFilePath = output;
        job.Duration = stream.Duration;
        FFFmpegCommandLines.append(job);
    }
}
