#include "engine/JobGenerator.h"

#include "base/FileNames.h"
#include "base/Log.h"
#include "engine/FFmpegCommandBuilder.h"
#include "engine/OutputPath.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

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
    const QString stem = pathWithoutExtension(path);
    const QString extension = fileExtension(path);
    for (qint64 n = 1;; ++n) {
        const QString candidate = stem + u'_' + QString::number(n) + extension;
        if (!taken.contains(pathKey(candidate)) && !QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace

JobGenerator::JobGenerator(QObject* parent) : QObject(parent) {}

JobGenerator::~JobGenerator() {
    stop();
    waitForFinished();
}

void JobGenerator::reset() {
    stop();
    waitForFinished();
    m_jobs.clear();
    m_outputFolder.clear();
    m_outputExt.clear();
    m_sameAsSource = false;
    m_createFolderStruct = true;
}

bool JobGenerator::start() {
    if (running())
        return false;
    m_skippedRows.clear();
    m_progress.store(0);
    {
        QMutexLocker locker(&m_lock);
        m_currentFile.clear();
        m_errorText.clear();
    }
    m_stop.store(false);
    m_worker.start(
        QStringLiteral("TFFmpegCommandLineGenerator"), [this] { run(); }, [this] { emit finished(); });
    return true;
}

void JobGenerator::stop() {
    m_stop.store(true);
}

bool JobGenerator::waitForFinished(int timeoutMs) {
    return m_worker.wait(timeoutMs);
}

QString JobGenerator::currentFile() const {
    QMutexLocker locker(&m_lock);
    return m_currentFile;
}

QString JobGenerator::errorText() const {
    QMutexLocker locker(&m_lock);
    return m_errorText;
}

void JobGenerator::setCurrentFile(const QString& path) {
    QMutexLocker locker(&m_lock);
    m_currentFile = path;
}

void JobGenerator::run() {
    try {
        makeJobs();
    } catch (const std::exception& error) {
        // The jobs made so far stay; the caller learns why the rest is missing.
        const QString text = QString::fromStdString(error.what());
        {
            QMutexLocker locker(&m_lock);
            m_errorText = text;
        }
        logException(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun"), text);
    }
}

void JobGenerator::makeJobs() {
    const QString outputFolder = absolutePath(m_outputFolder);
    const QString format = formatName(m_profile.codecId);

    // No job may write over a source of the run or over the output of an earlier job.
    QSet<QString> taken;
    for (const MediaFile& file : std::as_const(m_mediaFiles))
        taken.insert(pathKey(absolutePath(file.filePath)));

    for (qsizetype p = 0; p < m_mediaFiles.size(); ++p) {
        if (m_stop.load())
            break;
        const MediaFile& file = m_mediaFiles[p];
        m_progress.store(int(p + 1), std::memory_order_relaxed);
        setCurrentFile(file.filePath);

        Job job;
        job.fileListIndex = qint32(p);
        job.sourceFilePath = absolutePath(file.filePath);

        QString output = outputFilePath(job.sourceFilePath, outputFolder, m_sameAsSource,
                                        m_createFolderStruct, m_outputExt, format);
        if (taken.contains(pathKey(output))) {
            const QString renamed = nextFreeName(output, taken);
            logInfo(QStringLiteral("TFFmpegCommandLineGenerator.IdThreadRun ") + output +
                    QStringLiteral(" is already used in this run, writing ") + renamed +
                    QStringLiteral(" instead"));
            output = renamed;
        } else if (QFileInfo::exists(output)) {
            if (m_overwriteOption == OverwriteOption::NewFileName) {
                output = nextFreeName(output, taken);
            } else if (m_overwriteOption == OverwriteOption::Skip) {
                m_skippedRows.append(qint32(p));
                logInfo(QStringLiteral("Skipping ") + output + QStringLiteral(" because it already exists"));
                continue;
            }
        }
        taken.insert(pathKey(output));

        const AudioStream& stream = file.selectedAudioStream();
        const CoverArt* artwork = file.selectedCoverArt();
        FFmpegCommandInput input;
        input.sourcePath = job.sourceFilePath;
        input.outputPath = output;
        input.streamIndex = stream.streamIndex;
        input.sourceSampleRate = stream.samplingRate;
        input.customParams = m_advancedSettings.customFFmpegParams;
        if (artwork) {
            job.tempCoverArtFilePath =
                artwork->tempFilePath.isEmpty() ? QString() : absolutePath(artwork->tempFilePath);
            if (m_copyCoverArt && canCarryCoverArt(m_profile.codecId) &&
                !job.tempCoverArtFilePath.isEmpty() && QFileInfo::exists(job.tempCoverArtFilePath))
                input.carriedPicturePath = job.tempCoverArtFilePath;
        }
        const FFmpegCommand command = buildFFmpegCommand(m_profile, input);
        job.commandLine = command.commandLine;
        job.arguments = command.arguments;
        job.destinationFilePath = output;
        m_jobs.append(job);
    }
}
