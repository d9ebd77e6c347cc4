#pragma once

#include <QImage>
#include <QString>

#include <limits>
#include <memory>

// Container facts of the open file. Times are microseconds.
struct TFileStreamInfo {
    qint64 StartTime = std::numeric_limits<qint64>::min(); // the library's no-value marker when unknown
    qint64 Duration = -1;
    qint32 BitRate = -1; // bits per second, 0 when the library knows none
    qint32 Year = -1;
    qint32 Track = -1;
    QString Title;
    QString Artist;
    QString Album;
    QString Genre;
    QString Comment;
    QString Copyright;
};

struct TRational {
    int Num = 0;
    int Den = 1;
};

struct TAudioStreamInfo {
    QString Language;
    QString CodecName;
    qint64 StartTime = -1;       // in the stream's time base
    qint64 StartTimeScaled = -1; // microseconds, -1 when the stream has none
    qint64 Duration = -1;        // in the stream's time base
    qint64 DurationScaled = -1;  // microseconds, -1 when the stream has none
    qint32 BitRate = -1;
    qint32 Channels = -1;
    qint32 SampleRate = -1;
    int SampleFormat = -1; // AVSampleFormat
};

struct TVideoStreamInfo {
    QString Language;
    QString CodecName;
    qint64 StartTime = -1;
    qint64 StartTimeScaled = -1;
    qint64 Duration = -1;
    qint64 DurationScaled = -1;
    qint32 BitRate = -1;
    qint32 Height = -1;
    qint32 Width = -1;
    float SampleAspectRatio = -1;
    float DisplayAspectRatio = -1;
    TRational SAR;
    TRational DAR;
    int PixFmt = -1; // AVPixelFormat
    TRational FrameRate;
};

// A thin layer over the FFmpeg libraries: opens one file at a time, reports its
// container and stream facts and decodes single pictures of video streams.
// Not safe for concurrent use; no operation throws, failures come back through
// the result and LastErrMsg.
class TFFDecoder {
public:
    TFFDecoder();
    ~TFFDecoder();
    TFFDecoder(const TFFDecoder&) = delete;
    TFFDecoder& operator=(const TFFDecoder&) = delete;

    // The libraries are linked into the program, so they are there whenever the
    // program runs; AVLibLoaded still checks that the ones found at run time are
    // of the series the program was built against.
    bool AVLibLoaded() const;
    bool LoadAVLib(const QString& path);
    void UnloadAVLib();

    // Only regular files are opened: anything else (a folder, a pipe, a device)
    // is refused before it is opened, since opening a pipe would block.
    bool LoadFile(const QString& fileName, const QString& formatName = QString());
    void CloseFile();
    bool IsLoaded() const;

    TFileStreamInfo FileStreamInfo();

    int StreamCount() const { return FStreamCount; }
    int AudioStreamCount() const { return FAudioStreamCount; }
    int VideoStreamCount() const { return FVideoStreamCount; }
    int SubtitleStreamCount() const { return FSubtitleStreamCount; }
    int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
    int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
    int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

    bool IsAudioStream(int streamIndex);
    bool IsVideoStream(int streamIndex);
    // A negative index means the first stream of the kind.
    TAudioStreamInfo GetAudioStreamInfos(int streamIndex);
    TVideoStreamInfo GetVideoStreamInfos(int streamIndex);

    // Decodes the next picture of a video stream; -1 means the current video
    // stream (the one used last, else the first of the file).
    bool Decode(int streamIndex = -1);
    // The picture of the last successful Decode as RGB at its own size.
    bool CopyToBitmap(QImage& bitmap);

    QString LastErrMsg() const { return FLastErrMsg; }

private:
    struct TState;

    bool CheckStreamIndex(int streamIndex);
    bool DecodeAttachedPicture(int streamIndex);
    bool DecodeFromPackets(int streamIndex);
    bool OpenVideoDecoder(int streamIndex);
    void ResetCounters();

    std::unique_ptr<TState> F;
    QString FLastErrMsg;
    int FStreamCount = -1;
    int FAudioStreamCount = -1;
    int FVideoStreamCount = -1;
    int FSubtitleStreamCount = -1;
    int FFirstAudioStreamIndex = -1;
    int FFirstVideoStreamIndex = -1;
    int FFirstSubtitleStreamIndex = -1;
};
