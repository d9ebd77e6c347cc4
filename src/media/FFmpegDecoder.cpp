#include "media/FFmpegDecoder.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

QString libraryErrorText(int errorCode) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    // av_strerror writes "Error number %d occurred" itself for a code it has no text for.
    av_strerror(errorCode, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

QString metadataText(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value) : QString();
}

qint32 metadataNumber(const AVDictionary* metadata, const char* key) {
    bool ok = false;
    const int value = metadataText(metadata, key).trimmed().toInt(&ok);
    return ok ? value : 0;
}

QString nameWithLongName(const char* name, const char* longName) {
    const QString shortText = QString::fromUtf8(name ? name : "");
    const QString longText = QString::fromUtf8(longName ? longName : "").trimmed();
    if (longText.isEmpty())
        return shortText;
    return shortText + u'(' + QString::fromUtf8(longName) + u')';
}

QString codecText(AVCodecID codecId) {
    if (codecId == AV_CODEC_ID_NONE)
        return QStringLiteral("none");
    if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codecId))
        return nameWithLongName(descriptor->name, descriptor->long_name);
    if (const AVCodec* codec = avcodec_find_decoder(codecId))
        return nameWithLongName(codec->name, codec->long_name);
    return QStringLiteral("unknown_codec");
}

qint64 scaledToMicroseconds(int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE || timeBase.den == 0)
        return -1;
    return av_rescale_q(value, timeBase, AV_TIME_BASE_Q);
}

qint32 clampToInt32(int64_t value) {
    return static_cast<qint32>(
        std::clamp<int64_t>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

Rational toRational(AVRational value) {
    return Rational{value.num, value.den};
}

float toFloat(AVRational value) {
    return value.den == 0 ? 0.0f : static_cast<float>(av_q2d(value));
}

// Decoding damaged files makes the libraries print to the terminal; the
// program reports failures through its own texts instead.
void quietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

} // namespace

struct FFmpegDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    int codecStream = -1;
    bool codecDraining = false;
    bool endOfFile = false;
    int currentVideoStream = -1;
    AVFrame* picture = nullptr;
    bool hasPicture = false;
    QList<int> deliveredPictures; // attached pictures already handed out

    void closeCodec() {
        avcodec_free_context(&codec);
        codecStream = -1;
        codecDraining = false;
    }
};

FFmpegDecoder::FFmpegDecoder() : m_f(std::make_unique<State>()) {
    quietLibraryLog();
}

FFmpegDecoder::~FFmpegDecoder() {
    closeFile();
}

bool FFmpegDecoder::avLibLoaded() const {
    return (avutil_version() >> 16) == LIBAVUTIL_VERSION_MAJOR &&
           (avcodec_version() >> 16) == LIBAVCODEC_VERSION_MAJOR &&
           (avformat_version() >> 16) == LIBAVFORMAT_VERSION_MAJOR &&
           (swscale_version() >> 16) == LIBSWSCALE_VERSION_MAJOR;
}

void FFmpegDecoder::resetCounters() {
    m_streamCount = -1;
    m_audioStreamCount = -1;
    m_videoStreamCount = -1;
    m_subtitleStreamCount = -1;
    m_firstAudioStreamIndex = -1;
    m_firstVideoStreamIndex = -1;
    m_firstSubtitleStreamIndex = -1;
}

void FFmpegDecoder::closeFile() {
    m_f->closeCodec();
    av_frame_free(&m_f->picture);
    m_f->hasPicture = false;
    m_f->endOfFile = false;
    m_f->currentVideoStream = -1;
    m_f->deliveredPictures.clear();
    avformat_close_input(&m_f->format);
    resetCounters();
}

bool FFmpegDecoder::isLoaded() const {
    return m_f->format != nullptr;
}

bool FFmpegDecoder::loadFile(const QString& fileName, const QString& formatName) {
    closeFile();

    const AVInputFormat* inputFormat = nullptr;
    if (!formatName.isEmpty()) {
        inputFormat = av_find_input_format(formatName.toUtf8().constData());
        if (!inputFormat) {
            m_lastError = QStringLiteral("Unknown input format: %1").arg(formatName);
            return false;
        }
    }

    const auto fail = [&](int errorCode) {
        m_lastError = fileName + QStringLiteral(": ") + libraryErrorText(errorCode);
        return false;
    };
    const auto failNotRegular = [&](const struct stat& status) {
        if (S_ISDIR(status.st_mode))
            return fail(AVERROR(EISDIR));
        m_lastError = fileName + QStringLiteral(": Not a regular file");
        return false;
    };

    // Check the kind before opening: opening a named pipe blocks until a writer
    // comes, and opening a device may have effects of its own.
    const QByteArray localPath = QFile::encodeName(fileName);
    struct stat status {};
    if (::stat(localPath.constData(), &status) != 0)
        return fail(AVERROR(errno));
    if (!S_ISREG(status.st_mode))
        return failNotRegular(status);

    // Open it ourselves without blocking and check again, so a file swapped for
    // a pipe in between cannot hang us; the libraries then read this very file
    // through its descriptor, whatever the name holds (blanks, ':', newlines).
    const int fd = ::open(localPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(AVERROR(errno));
    const auto closeDescriptor = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &status) != 0)
        return fail(AVERROR(errno));
    if (!S_ISREG(status.st_mode))
        return failNotRegular(status);

    const QByteArray url = QByteArrayLiteral("file:/proc/self/fd/") + QByteArray::number(fd);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int openResult = avformat_open_input(&m_f->format, url.constData(), inputFormat, &options);
    av_dict_free(&options);
    if (openResult < 0) {
        m_f->format = nullptr;
        return fail(openResult);
    }

    if (avformat_find_stream_info(m_f->format, nullptr) < 0) {
        m_lastError = QStringLiteral("%1: could not find codec parameters").arg(fileName);
        closeFile();
        return false;
    }

    m_streamCount = static_cast<int>(m_f->format->nb_streams);
    m_audioStreamCount = m_videoStreamCount = m_subtitleStreamCount = 0;
    for (int i = 0; i < m_streamCount; ++i) {
        switch (m_f->format->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            if (m_audioStreamCount++ == 0)
                m_firstAudioStreamIndex = i;
            break;
        case AVMEDIA_TYPE_VIDEO:
            if (m_videoStreamCount++ == 0)
                m_firstVideoStreamIndex = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (m_subtitleStreamCount++ == 0)
                m_firstSubtitleStreamIndex = i;
            break;
        default:
            break;
        }
    }
    return true;
}

FileStreamInfo FFmpegDecoder::fileStreamInfo() {
    FileStreamInfo info;
    if (!isLoaded()) {
        m_lastError = QStringLiteral("file not loaded.");
        return info;
    }
    const AVFormatContext* format = m_f->format;
    info.startTime = format->start_time;
    info.duration = format->duration == AV_NOPTS_VALUE ? -1 : format->duration;
    info.bitRate = clampToInt32(format->bit_rate);
    info.year = metadataNumber(format->metadata, "year");
    info.track = metadataNumber(format->metadata, "track");
    info.title = metadataText(format->metadata, "title");
    info.artist = metadataText(format->metadata, "artist");
    info.album = metadataText(format->metadata, "album");
    info.genre = metadataText(format->metadata, "genre");
    info.comment = metadataText(format->metadata, "comment");
    info.copyright = metadataText(format->metadata, "copyright");
    return info;
}

bool FFmpegDecoder::checkStreamIndex(int streamIndex) {
    if (!isLoaded()) {
        m_lastError = QStringLiteral("file not loaded.");
        return false;
    }
    if (streamIndex < 0 || streamIndex >= m_streamCount) {
        m_lastError = QStringLiteral("invalid stream index %1.").arg(streamIndex);
        return false;
    }
    return true;
}

bool FFmpegDecoder::isAudioStream(int streamIndex) {
    return checkStreamIndex(streamIndex) &&
           m_f->format->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool FFmpegDecoder::isVideoStream(int streamIndex) {
    return checkStreamIndex(streamIndex) &&
           m_f->format->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

// The facts every stream kind reports alike.
template <typename StreamInfo> void fillCommonStreamFields(StreamInfo& info, const AVStream* stream) {
    const AVCodecParameters* parameters = stream->codecpar;
    info.language = metadataText(stream->metadata, "language");
    info.codecName = codecText(parameters->codec_id);
    info.startTime = stream->start_time;
    info.startTimeScaled = scaledToMicroseconds(stream->start_time, stream->time_base);
    info.duration = stream->duration;
    info.durationScaled = scaledToMicroseconds(stream->duration, stream->time_base);
    info.bitRate = clampToInt32(parameters->bit_rate);
}

AVStream* FFmpegDecoder::streamOfKind(int streamIndex, int firstOfKind, int kind, const QString& kindName) {
    if (streamIndex < 0)
        streamIndex = firstOfKind;
    if (!checkStreamIndex(streamIndex))
        return nullptr;
    AVStream* stream = m_f->format->streams[streamIndex];
    if (stream->codecpar->codec_type != kind) {
        m_lastError = QStringLiteral("stream %1 is not %2 stream.").arg(streamIndex).arg(kindName);
        return nullptr;
    }
    return stream;
}

AudioStreamInfo FFmpegDecoder::audioStreamInfo(int streamIndex) {
    const AVStream* stream =
        streamOfKind(streamIndex, m_firstAudioStreamIndex, AVMEDIA_TYPE_AUDIO, QStringLiteral("an audio"));
    if (!stream)
        return {};
    const AVCodecParameters* parameters = stream->codecpar;
    AudioStreamInfo info;
    fillCommonStreamFields(info, stream);
    info.channels = parameters->ch_layout.nb_channels;
    info.sampleRate = parameters->sample_rate;
    info.sampleFormat = parameters->format;
    return info;
}

VideoStreamInfo FFmpegDecoder::videoStreamInfo(int streamIndex) {
    AVStream* stream =
        streamOfKind(streamIndex, m_firstVideoStreamIndex, AVMEDIA_TYPE_VIDEO, QStringLiteral("a video"));
    if (!stream)
        return {};
    const AVCodecParameters* parameters = stream->codecpar;
    VideoStreamInfo info;
    fillCommonStreamFields(info, stream);
    info.height = parameters->height;
    info.width = parameters->width;
    const AVRational sar = av_guess_sample_aspect_ratio(m_f->format, stream, nullptr);
    AVRational dar{0, 1};
    if (sar.num > 0 && parameters->width > 0 && parameters->height > 0)
        av_reduce(&dar.num, &dar.den, static_cast<int64_t>(parameters->width) * sar.num,
                  static_cast<int64_t>(parameters->height) * sar.den, 1024 * 1024);
    info.sar = toRational(sar);
    info.dar = toRational(dar);
    info.sampleAspectRatio = toFloat(sar);
    info.displayAspectRatio = toFloat(dar);
    info.pixFmt = parameters->format;
    info.frameRate = toRational(av_guess_frame_rate(m_f->format, stream, nullptr));
    return info;
}

bool FFmpegDecoder::openVideoDecoder(int streamIndex) {
    m_f->closeCodec();
    const AVCodecParameters* parameters = m_f->format->streams[streamIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        m_lastError = QStringLiteral("no decoder for %1.").arg(codecText(parameters->codec_id));
        return false;
    }
    m_f->codec = avcodec_alloc_context3(codec);
    if (!m_f->codec) {
        m_lastError = libraryErrorText(AVERROR(ENOMEM));
        return false;
    }
    int result = avcodec_parameters_to_context(m_f->codec, parameters);
    if (result >= 0)
        result = avcodec_open2(m_f->codec, codec, nullptr);
    if (result < 0) {
        m_lastError = libraryErrorText(result);
        m_f->closeCodec();
        return false;
    }
    m_f->codecStream = streamIndex;
    return true;
}

bool FFmpegDecoder::decode(int streamIndex) {
    if (!isLoaded()) {
        m_lastError = QStringLiteral("file not loaded.");
        return false;
    }
    if (streamIndex < 0) {
        streamIndex = m_f->currentVideoStream >= 0 ? m_f->currentVideoStream : m_firstVideoStreamIndex;
        if (streamIndex < 0) {
            m_lastError = QStringLiteral("no video stream.");
            return false;
        }
    } else if (!isVideoStream(streamIndex)) {
        if (checkStreamIndex(streamIndex))
            m_lastError = QStringLiteral("stream %1 is not a video stream.").arg(streamIndex);
        return false;
    }
    m_f->currentVideoStream = streamIndex;

    const AVStream* stream = m_f->format->streams[streamIndex];
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0)
        return decodeAttachedPicture(streamIndex);
    return decodeFromPackets(streamIndex);
}

// A cover picture is one packet that the container keeps apart from the others;
// it is decoded from there, so every picture stream yields its own picture
// whatever order the streams come in.
bool FFmpegDecoder::decodeAttachedPicture(int streamIndex) {
    if (m_f->deliveredPictures.contains(streamIndex)) {
        m_lastError = QStringLiteral("end of file.");
        return false;
    }
    m_f->deliveredPictures.append(streamIndex);
    if (!openVideoDecoder(streamIndex))
        return false;
    AVFrame* frame = av_frame_alloc();
    const auto freeFrame = qScopeGuard([&frame] { av_frame_free(&frame); });
    int result = avcodec_send_packet(m_f->codec, &m_f->format->streams[streamIndex]->attached_pic);
    if (result >= 0)
        result = avcodec_send_packet(m_f->codec, nullptr);
    if (result >= 0)
        result = avcodec_receive_frame(m_f->codec, frame);
    m_f->closeCodec();
    if (result < 0) {
        m_lastError = libraryErrorText(result);
        return false;
    }
    if (!m_f->picture)
        m_f->picture = av_frame_alloc();
    av_frame_unref(m_f->picture);
    av_frame_move_ref(m_f->picture, frame);
    m_f->hasPicture = true;
    return true;
}

bool FFmpegDecoder::decodeFromPackets(int streamIndex) {
    if (m_f->codecStream != streamIndex && !openVideoDecoder(streamIndex))
        return false;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const auto release = qScopeGuard([&] {
        av_frame_free(&frame);
        av_packet_free(&packet);
    });
    for (;;) {
        const int received = avcodec_receive_frame(m_f->codec, frame);
        if (received >= 0) {
            if (!m_f->picture)
                m_f->picture = av_frame_alloc();
            av_frame_unref(m_f->picture);
            av_frame_move_ref(m_f->picture, frame);
            m_f->hasPicture = true;
            return true;
        }
        if (received == AVERROR_EOF || (m_f->codecDraining && received == AVERROR(EAGAIN))) {
            m_lastError = QStringLiteral("end of file.");
            return false;
        }
        // Any other error is one damaged picture: ask again (while draining) or read on.
        if (m_f->codecDraining)
            continue;
        if (m_f->endOfFile || av_read_frame(m_f->format, packet) < 0) {
            m_f->endOfFile = true;
            m_f->codecDraining = true;
            avcodec_send_packet(m_f->codec, nullptr);
            continue;
        }
        const AVStream* stream = m_f->format->streams[packet->stream_index];
        const bool wanted =
            packet->stream_index == streamIndex && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (wanted)
            avcodec_send_packet(m_f->codec, packet);
        av_packet_unref(packet);
    }
}

bool FFmpegDecoder::copyToBitmap(QImage& bitmap) {
    if (!m_f->hasPicture || !m_f->picture) {
        m_lastError = QStringLiteral("no picture decoded.");
        return false;
    }
    const AVFrame* picture = m_f->picture;
    const int width = picture->width;
    const int height = picture->height;
    const auto failBlack = [&](const QString& reason) {
        m_lastError = reason;
        bitmap = QImage(std::max(width, 0), std::max(height, 0), QImage::Format_RGB888);
        if (!bitmap.isNull())
            bitmap.fill(Qt::black);
        return false;
    };
    if (av_image_check_size(static_cast<unsigned>(width), static_cast<unsigned>(height), 0, nullptr) < 0)
        return failBlack(QStringLiteral("invalid picture size %1x%2.").arg(width).arg(height));

    SwsContext* scaler = sws_getContext(width, height, static_cast<AVPixelFormat>(picture->format), width,
                                        height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler)
        return failBlack(QStringLiteral("cannot convert the picture to RGB."));
    const auto freeScaler = qScopeGuard([scaler] { sws_freeContext(scaler); });

    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return failBlack(libraryErrorText(AVERROR(ENOMEM)));
    uint8_t* destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    int destinationStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows =
        sws_scale(scaler, picture->data, picture->linesize, 0, height, destination, destinationStride);
    if (rows != height)
        return failBlack(QStringLiteral("cannot convert the picture to RGB."));
    bitmap = std::move(image);
    return true;
}
