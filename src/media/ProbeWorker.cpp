#include "media/ProbeWorker.h"

#include "base/Log.h"
#include "base/TextFormat.h"
#include "media/FFmpegDecoder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUuid>

#include <exception>

namespace {

// Video streams with one of these codec texts hold cover pictures; any other
// video (a film) is not a picture.
const QStringList PictureCodecs{
    QStringLiteral("mjpeg(MJPEG (Motion JPEG))"),
    QStringLiteral("mjpeg(Motion JPEG)"),
    QStringLiteral("png(PNG (Portable Network Graphics) image)"),
};

constexpr int JpegQuality = 90;

} // namespace

ProbeWorker::ProbeWorker(FFmpegDecoder* decoder, const QString& tempCoverArtFolderPath, QObject* parent)
    : QObject(parent), m_decoder(decoder), m_tempCoverArtFolderPath(tempCoverArtFolderPath) {
    if (!m_decoder) {
        m_ownDecoder = std::make_unique<FFmpegDecoder>();
        m_decoder = m_ownDecoder.get();
    }
}

ProbeWorker::~ProbeWorker() {
    // Results of a run that is cut short here are of no use to anyone.
    stop();
    waitForFinished();
}

void ProbeWorker::reset() {
    waitForFinished();
    m_fileName.clear();
    m_audioStreams.clear();
    m_coverArtStreams.clear();
    m_errorText.clear();
}

void ProbeWorker::start(const QString& fileName) {
    reset();
    m_stopRequested.store(false);
    m_fileName = fileName;
    m_worker.start(
        QStringLiteral("FileInfoThread"), [this] { execute(); }, [this] { emit finished(); });
}

void ProbeWorker::stop() {
    m_stopRequested.store(true);
}

QList<AudioStream> ProbeWorker::takeAudioStreams() {
    return std::exchange(m_audioStreams, {});
}

QList<CoverArt> ProbeWorker::takeCoverArtStreams() {
    return std::exchange(m_coverArtStreams, {});
}

void ProbeWorker::execute() {
    try {
        if (!m_stopRequested.load()) {
            m_errorText.clear();
            probe();
        }
    } catch (const std::exception& error) {
        logException(QStringLiteral("TFileInfoThread.Execute"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        logException(QStringLiteral("TFileInfoThread.Execute"));
    }
    if (m_stopRequested.load()) {
        m_errorText = QStringLiteral("Stopped by user.");
        discardResults();
    }
}

// The pictures of a stopped run were never handed to anyone, so their files go too.
void ProbeWorker::discardResults() {
    for (const CoverArt& artwork : std::as_const(m_coverArtStreams))
        QFile::remove(artwork.tempFilePath);
    m_audioStreams.clear();
    m_coverArtStreams.clear();
}

void ProbeWorker::probe() {
    if (!m_decoder->avLibLoaded()) {
        m_errorText = QStringLiteral("Unable to load libav");
        return;
    }
    m_decoder->closeFile();
    if (m_stopRequested.load())
        return;

    if (!m_decoder->loadFile(m_fileName)) {
        m_errorText = QStringLiteral("Unable to open %1. Error: %2").arg(m_fileName, m_decoder->lastError());
        return;
    }

    const FileStreamInfo fileInfo = m_decoder->fileStreamInfo();
    const qint32 fileBitRate = fileInfo.bitRate;
    const qint64 fileDuration = fileInfo.duration > 0 ? fileInfo.duration / 1000 : 0;
    const bool singleAudioStream = m_decoder->audioStreamCount() == 1;

    for (int i = 0; i < m_decoder->streamCount() && !m_stopRequested.load(); ++i) {
        if (m_decoder->isAudioStream(i)) {
            const AudioStreamInfo info = m_decoder->audioStreamInfo(i);
            AudioStream stream;
            stream.streamIndex = i;
            stream.bitrate = info.bitRate;
            stream.samplingRate = info.sampleRate;
            stream.codec = info.codecName.section(u'(', 0, 0);
            // A single stream takes the container's duration, which is the more
            // reliable figure for files whose stream header guesses its length.
            stream.duration = info.durationScaled / 1000;
            if (stream.duration <= 0 || singleAudioStream)
                stream.duration = fileDuration;
            stream.durationText = formatDuration(stream.duration / 1000);
            stream.lang = info.language;
            if (stream.bitrate == 0)
                stream.bitrate = fileBitRate;
            if (stream.lang.isEmpty())
                stream.lang = QStringLiteral("UND");
            m_audioStreams.append(stream);
        } else if (m_decoder->isVideoStream(i)) {
            const QString codecText = m_decoder->videoStreamInfo(i).codecName;
            if (isTextInList(PictureCodecs, codecText))
                addPicture(i, codecText);
        }
    }

    if (m_audioStreams.isEmpty())
        m_errorText = QStringLiteral("Unable to find audio streams in %1.").arg(m_fileName);
    m_decoder->closeFile();
}

// Each picture is decoded from its own stream, so a cover next to a film gets
// the cover and two different covers give two different files. A picture that
// cannot be decoded or written is left out rather than listed with a file that
// does not hold it.
void ProbeWorker::addPicture(int streamIndex, const QString& codecText) {
    QImage bitmap;
    if (!m_decoder->decode(streamIndex) || !m_decoder->copyToBitmap(bitmap)) {
        logWarning(QStringLiteral("Unable to decode cover picture %1 of %2: %3")
                       .arg(QString::number(streamIndex), m_fileName, m_decoder->lastError()));
        return;
    }
    if (m_tempCoverArtFolderPath.isEmpty()) {
        logWarning(QStringLiteral("No folder for cover pictures; picture %1 of %2 left out")
                       .arg(QString::number(streamIndex), m_fileName));
        return;
    }
    const QString name =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".jpg");
    const QString path = QDir(m_tempCoverArtFolderPath).filePath(name);
    if (!bitmap.save(path, "JPG", JpegQuality)) {
        QFile::remove(path);
        logWarning(QStringLiteral("Unable to write cover picture %1 of %2 to %3")
                       .arg(QString::number(streamIndex), m_fileName, path));
        return;
    }
    CoverArt artwork;
    artwork.streamIndex = streamIndex;
    artwork.codec = codecText;
    artwork.isEmbeded = true;
    artwork.tempFilePath = path;
    m_coverArtStreams.append(artwork);
}
