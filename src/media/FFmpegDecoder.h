#pragma once

#include <QImage>
#include <QString>

#include <limits>
#include <memory>

struct AVStream;

// Container facts of the open file. Times are microseconds.
struct FileStreamInfo {
    qint64 startTime = std::numeric_limits<qint64>::min(); // the library's no-value marker when unknown
    qint64 duration = -1;
    qint32 bitRate = -1; // bits per second, 0 when the library knows none
    qint32 year = -1;
    qint32 track = -1;
    QString title;
    QString artist;
    QString album;
    QString genre;
    QString comment;
    QString copyright;
};

struct Rational {
    int num = 0;
    int den = 1;
};

struct AudioStreamInfo {
    QString language;
    QString codecName;
    qint64 startTime = -1;       // in the stream's time base
    qint64 startTimeScaled = -1; // microseconds, -1 when the stream has none
    qint64 duration = -1;        // in the stream's time base
    qint64 durationScaled = -1;  // microseconds, -1 when the stream has none
    qint32 bitRate = -1;
    qint32 channels = -1;
    qint32 sampleRate = -1;
    int sampleFormat = -1; // AVSampleFormat
};

struct VideoStreamInfo {
    QString language;
    QString codecName;
    qint64 startTime = -1;
    qint64 startTimeScaled = -1;
    qint64 duration = -1;
    qint64 durationScaled = -1;
    qint32 bitRate = -1;
    qint32 height = -1;
    qint32 width = -1;
    float sampleAspectRatio = -1;
    float displayAspectRatio = -1;
    Rational sar;
    Rational dar;
    int pixFmt = -1; // AVPixelFormat
    Rational frameRate;
};

// A thin layer over the FFmpeg libraries: opens one file at a time, reports its
// container and stream facts and decodes single pictures of video streams.
// Not safe for concurrent use; no operation throws, failures come back through
// the result and lastError.
class FFmpegDecoder {
public:
    FFmpegDecoder();
    ~FFmpegDecoder();
    FFmpegDecoder(const FFmpegDecoder&) = delete;
    FFmpegDecoder& operator=(const FFmpegDecoder&) = delete;

    // The libraries are linked into the program, so they are there whenever the
    // program runs; this still checks that the ones found at run time are of the
    // series the program was built against.
    bool avLibLoaded() const;

    // Only regular files are opened: anything else (a folder, a pipe, a device)
    // is refused before it is opened, since opening a pipe would block.
    bool loadFile(const QString& fileName, const QString& formatName = QString());
    void closeFile();
    bool isLoaded() const;

    FileStreamInfo fileStreamInfo();

    int streamCount() const { return m_streamCount; }
    int audioStreamCount() const { return m_audioStreamCount; }
    int videoStreamCount() const { return m_videoStreamCount; }
    int subtitleStreamCount() const { return m_subtitleStreamCount; }
    int firstAudioStreamIndex() const { return m_firstAudioStreamIndex; }
    int firstVideoStreamIndex() const { return m_firstVideoStreamIndex; }
    int firstSubtitleStreamIndex() const { return m_firstSubtitleStreamIndex; }

    bool isAudioStream(int streamIndex);
    bool isVideoStream(int streamIndex);
    // A negative index means the first stream of the kind.
    AudioStreamInfo audioStreamInfo(int streamIndex);
    VideoStreamInfo videoStreamInfo(int streamIndex);

    // Decodes the next picture of a video stream; -1 means the current video
    // stream (the one used last, else the first of the file).
    bool decode(int streamIndex = -1);
    // The picture of the last successful Decode as RGB at its own size.
    bool copyToBitmap(QImage& bitmap);

    QString lastError() const { return m_lastError; }

private:
    struct State;

    bool checkStreamIndex(int streamIndex);
    // The stream at the index, or the first of its kind for a negative index, when it is
    // of that kind (an AVMediaType); nullptr with the reason in lastError otherwise.
    AVStream* streamOfKind(int streamIndex, int firstOfKind, int kind, const QString& kindName);
    bool decodeAttachedPicture(int streamIndex);
    bool decodeFromPackets(int streamIndex);
    bool openVideoDecoder(int streamIndex);
    void resetCounters();

    std::unique_ptr<State> m_f;
    QString m_lastError;
    int m_streamCount = -1;
    int m_audioStreamCount = -1;
    int m_videoStreamCount = -1;
    int m_subtitleStreamCount = -1;
    int m_firstAudioStreamIndex = -1;
    int m_firstVideoStreamIndex = -1;
    int m_firstSubtitleStreamIndex = -1;
};
