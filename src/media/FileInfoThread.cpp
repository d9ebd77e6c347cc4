#include "media/FileInfoThread.h"

#include "base/Log.h"
#include "base/TextFormat.h"
#include "media/FFDecoder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>
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

TFileInfoThread::TFileInfoThread(const QString& libavPath, TFFDecoder* decoder,
                                 const QString& tempCoverArtFolderPath, QObject* parent)
    : QObject(parent), FLibavPath(libavPath), FDecoder(decoder),
      FTempCoverArtFolderPath(tempCoverArtFolderPath) {
    if (!FDecoder) {
        FOwnDecoder = std::make_unique<TFFDecoder>();
        FDecoder = FOwnDecoder.get();
    }
}

TFileInfoThread::~TFileInfoThread() {
    // Results of a run that is cut short here are of no use to anyone.
    Stop();
    WaitForFinished();
}

bool TFileInfoThread::WaitForFinished(int msecs) {
    if (!FThread)
        return true;
    const QDeadlineTimer deadline =
        msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(msecs);
    return FThread->wait(deadline);
}

void TFileInfoThread::Reset() {
    WaitForFinished();
    FFileName.clear();
    FAudioStreams.clear();
    FArtworkStreams.clear();
    FErrorMsg.clear();
}

void TFileInfoThread::Start(const QString& fileName) {
    Reset();
    FThread.reset();
    FStopRequested.store(false);
    // Set before the worker starts, so a waiting caller never sees a stale false.
    FRunning.store(true, std::memory_order_release);
    FFileName = fileName;
    FThread.reset(QThread::create([this] { Execute(); }));
    FThread->setObjectName(QStringLiteral("FileInfoThread"));
    FThread->start();
}

void TFileInfoThread::Stop() {
    FStopRequested.store(true);
}

QList<TAudioStream> TFileInfoThread::TakeAudioStreams() {
    return std::exchange(FAudioStreams, {});
}

QList<TArtwork> TFileInfoThread::TakeArtkworkStreams() {
    return std::exchange(FArtworkStreams, {});
}

void TFileInfoThread::Execute() {
    try {
        if (!FStopRequested.load()) {
            FErrorMsg.clear();
            Probe();
        }
    } catch (const std::exception& error) {
        LogException(QStringLiteral("TFileInfoThread.Execute"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        LogException(QStringLiteral("TFileInfoThread.Execute"));
    }
    if (FStopRequested.load()) {
        FErrorMsg = QStringLiteral("Stopped by user.");
        DiscardResults();
    }
    FRunning.store(false, std::memory_order_release);
    emit Finished();
}

// The pictures of a stopped run were never handed to anyone, so their files go too.
void TFileInfoThread::DiscardResults() {
    for (const TArtwork& artwork : std::as_const(FArtworkStreams))
        QFile::remove(artwork.TempFilePath);
    FAudioStreams.clear();
    FArtworkStreams.clear();
}

void TFileInfoThread::Probe() {
    if (!FDecoder->AVLibLoaded() && !FDecoder->LoadAVLib(FLibavPath)) {
        FErrorMsg = QStringLiteral("Unable to load libav");
        return;
    }
    FDecoder->CloseFile();
    if (FStopRequested.load())
        return;

    if (!FDecoder->LoadFile(FFileName)) {
        FErrorMsg = QStringLiteral("Unable to open %1. Error: %2").arg(FFileName, FDecoder->LastErrMsg());
        return;
    }

    const TFileStreamInfo fileInfo = FDecoder->FileStreamInfo();
    const qint32 fileBitRate = fileInfo.BitRate;
    const qint64 fileDuration = fileInfo.Duration > 0 ? fileInfo.Duration / 1000 : 0;
    const bool singleAudioStream = FDecoder->AudioStreamCount() == 1;

    for (int i = 0; i < FDecoder->StreamCount() && !FStopRequested.load(); ++i) {
        if (FDecoder->IsAudioStream(i)) {
            const TAudioStreamInfo info = FDecoder->GetAudioStreamInfos(i);
            TAudioStream stream;
            stream.StreamIndex = i;
            stream.Bitrate = info.BitRate;
            stream.SamplingRate = info.SampleRate;
            stream.Codec = info.CodecName.section(u'(', 0, 0);
            // A single stream takes the container's duration, which is the more
            // reliable figure for files whose stream header guesses its length.
            stream.Duration = info.DurationScaled / 1000;
            if (stream.Duration <= 0 || singleAudioStream)
                stream.Duration = fileDuration;
            stream.DurationAsStr = FormatDuration(stream.Duration / 1000);
            stream.Lang = info.Language;
            if (stream.Bitrate == 0)
                stream.Bitrate = fileBitRate;
            if (stream.Lang.isEmpty())
                stream.Lang = QStringLiteral("UND");
            FAudioStreams.append(stream);
        } else if (FDecoder->IsVideoStream(i)) {
            const QString codecText = FDecoder->GetVideoStreamInfos(i).CodecName;
            if (IsTextInList(PictureCodecs, codecText))
                AddPicture(i, codecText);
        }
    }

    if (FAudioStreams.isEmpty())
        FErrorMsg = QStringLiteral("Unable to find audio streams in %1.").arg(FFileName);
    FDecoder->CloseFile();
}

// Each picture is decoded from its own stream, so a cover next to a film gets
// the cover and two different covers give two different files. A picture that
// cannot be decoded or written is left out rather than listed with a file that
// does not hold it.
void TFileInfoThread::AddPicture(int streamIndex, const QString& codecText) {
    QImage bitmap;
    if (!FDecoder->Decode(streamIndex) || !FDecoder->CopyToBitmap(bitmap)) {
        LogWarning(QStringLiteral("Unable to decode cover picture %1 of %2: %3")
                       .arg(QString::number(streamIndex), FFileName, FDecoder->LastErrMsg()));
        return;
    }
    if (FTempCoverArtFolderPath.isEmpty()) {
        LogWarning(QStringLiteral("No folder for cover pictures; picture %1 of %2 left out")
                       .arg(QString::number(streamIndex), FFileName));
        return;
    }
    const QString name =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".jpg");
    const QString path = QDir(FTempCoverArtFolderPath).filePath(name);
    if (!bitmap.save(path, "JPG", JpegQuality)) {
        QFile::remove(path);
        LogWarning(QStringLiteral("Unable to write cover picture %1 of %2 to %3")
                       .arg(QString::number(streamIndex), FFileName, path));
        return;
    }
    TArtwork artwork;
    artwork.StreamIndex = streamIndex;
    artwork.Codec = codecText;
    artwork.IsEmbedded = true;
    artwork.TempFilePath = path;
    FArtworkStreams.append(artwork);
}
