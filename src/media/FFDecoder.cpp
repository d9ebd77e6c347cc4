#include "media/FFDecoder.h"

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

QString LibraryErrorText(int errorCode) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    // av_strerror writes "Error number %d occurred" itself for a code it has no text for.
    av_strerror(errorCode, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

QString MetadataText(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value) : QString();
}

qint32 MetadataNumber(const AVDictionary* metadata, const char* key) {
    bool ok = false;
    const int value = MetadataText(metadata, key).trimmed().toInt(&ok);
    return ok ? value : 0;
}

QString NameWithLongName(const char* name, const char* longName) {
    const QString shortText = QString::fromUtf8(name ? name : "");
    const QString longText = QString::fromUtf8(longName ? longName : "").trimmed();
    if (longText.isEmpty())
        return shortText;
    return shortText + u'(' + QString::fromUtf8(longName) + u')';
}

QString CodecText(AVCodecID codecId) {
    if (codecId == AV_CODEC_ID_NONE)
        return QStringLiteral("none");
    if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codecId))
        return NameWithLongName(descriptor->name, descriptor->long_name);
    if (const AVCodec* codec = avcodec_find_decoder(codecId))
        return NameWithLongName(codec->name, codec->long_name);
    return QStringLiteral("unknown_codec");
}

qint64 ScaledToMicroseconds(int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE || timeBase.den == 0)
        return -1;
    return av_rescale_q(value, timeBase, AV_TIME_BASE_Q);
}

qint32 ClampToInt32(int64_t value) {
    return static_cast<qint32>(
        std::clamp<int64_t>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

TRational ToRational(AVRational value) {
    return TRational{value.num, value.den};
}

float ToFloat(AVRational value) {
    return value.den == 0 ? 0.0f : static_cast<float>(av_q2d(value));
}

// Decoding damaged files makes the libraries print to the terminal; the
// program reports failures through its own texts instead.
void QuietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

QString& LibraryFolder() {
    static QString folder;
    return folder;
}

} // namespace

struct TFFDecoder::TState {
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    int CodecStream = -1;
    bool CodecDraining = false;
    bool EndOfFile = false;
    int CurrentVideoStream = -1;
    AVFrame* Picture = nullptr;
    bool HasPicture = false;
    QList<int> DeliveredPictures; // attached pictures already handed out

    void CloseCodec() {
        avcodec_free_context(&Codec);
        CodecStream = -1;
        CodecDraining = false;
    }
};

TFFDecoder::TFFDecoder() : F(std::make_unique<TState>()) {
    QuietLibraryLog();
}

TFFDecoder::~TFFDecoder() {
    CloseFile();
}

bool TFFDecoder::AVLibLoaded() const {
    return (avutil_version() >> 16) == LIBAVUTIL_VERSION_MAJOR &&
           (avcodec_version() >> 16) == LIBAVCODEC_VERSION_MAJOR &&
           (avformat_version() >> 16) == LIBAVFORMAT_VERSION_MAJOR &&
           (swscale_version() >> 16) == LIBSWSCALE_VERSION_MAJOR;
}

bool TFFDecoder::LoadAVLib(const QString& path) {
    LibraryFolder() = path;
    if (AVLibLoaded())
        return true;
    FLastErrMsg = QStringLiteral("Load library %1 error(#%2): %3")
                      .arg(QStringLiteral("libavformat"))
                      .arg(0)
                      .arg(QStringLiteral("the libraries found at run time do not match the program"));
    return false;
}

void TFFDecoder::UnloadAVLib() {
    // Linked libraries stay mapped for the life of the process; nothing to release.
}

void TFFDecoder::ResetCounters() {
    FStreamCount = -1;
    FAudioStreamCount = -1;
    FVideoStreamCount = -1;
    FSubtitleStreamCount = -1;
    FFirstAudioStreamIndex = -1;
    FFirstVideoStreamIndex = -1;
    FFirstSubtitleStreamIndex = -1;
}

void TFFDecoder::CloseFile() {
    F->CloseCodec();
    av_frame_free(&F->Picture);
    F->HasPicture = false;
    F->EndOfFile = false;
    F->CurrentVideoStream = -1;
    F->DeliveredPictures.clear();
    avformat_close_input(&F->Format);
    ResetCounters();
}

bool TFFDecoder::IsLoaded() const {
    return F->Format != nullptr;
}

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName) {
    CloseFile();

    const AVInputFormat* inputFormat = nullptr;
    if (!formatName.isEmpty()) {
        inputFormat = av_find_input_format(formatName.toUtf8().constData());
        if (!inputFormat) {
            FLastErrMsg = QStringLiteral("Unknown input format: %1").arg(formatName);
            return false;
        }
    }

    const auto fail = [&](int errorCode) {
        FLastErrMsg = fileName + QStringLiteral(": ") + LibraryErrorText(errorCode);
        return false;
    };
    const auto failNotRegular = [&](const struct stat& status) {
        if (S_ISDIR(status.st_mode))
            return fail(AVERROR(EISDIR));
        FLastErrMsg = fileName + QStringLiteral(": Not a regular file");
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
    const int openResult = avformat_open_input(&F->Format, url.constData(), inputFormat, &options);
    av_dict_free(&options);
    if (openResult < 0) {
        F->Format = nullptr;
        return fail(openResult);
    }

    if (avformat_find_stream_info(F->Format, nullptr) < 0) {
        FLastErrMsg = QStringLiteral("%1: could not find codec parameters").arg(fileName);
        CloseFile();
        return false;
    }

    FStreamCount = static_cast<int>(F->Format->nb_streams);
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
    for (int i = 0; i < FStreamCount; ++i) {
        switch (F->Format->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            if (FAudioStreamCount++ == 0)
                FFirstAudioStreamIndex = i;
            break;
        case AVMEDIA_TYPE_VIDEO:
            if (FVideoStreamCount++ == 0)
                FFirstVideoStreamIndex = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (FSubtitleStreamCount++ == 0)
                FFirstSubtitleStreamIndex = i;
            break;
        default:
            break;
        }
    }
    return true;
}

TFileStreamInfo TFFDecoder::FileStreamInfo() {
    TFileStreamInfo info;
    if (!IsLoaded()) {
        FLastErrMsg = QStringLiteral("file not loaded.");
        return info;
    }
    const AVFormatContext* format = F->Format;
    info.StartTime = format->start_time;
    info.Duration = format->duration == AV_NOPTS_VALUE ? -1 : format->duration;
    info.BitRate = ClampToInt32(format->bit_rate);
    info.Year = MetadataNumber(format->metadata, "year");
    info.Track = MetadataNumber(format->metadata, "track");
    info.Title = MetadataText(format->metadata, "title");
    info.Artist = MetadataText(format->metadata, "artist");
    info.Album = MetadataText(format->metadata, "album");
    info.Genre = MetadataText(format->metadata, "genre");
    info.Comment = MetadataText(format->metadata, "comment");
    info.Copyright = MetadataText(format->metadata, "copyright");
    return info;
}

bool TFFDecoder::CheckStreamIndex(int streamIndex) {
    if (!IsLoaded()) {
        FLastErrMsg = QStringLiteral("file not loaded.");
        return false;
    }
    if (streamIndex < 0 || streamIndex >= FStreamCount) {
        FLastErrMsg = QStringLiteral("invalid stream index %1.").arg(streamIndex);
        return false;
    }
    return true;
}

bool TFFDecoder::IsAudioStream(int streamIndex) {
    return CheckStreamIndex(streamIndex) &&
           F->Format->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool TFFDecoder::IsVideoStream(int streamIndex) {
    return CheckStreamIndex(streamIndex) &&
           F->Format->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

// The facts every stream kind reports alike.
template <typename StreamInfo> void FillCommonStreamFields(StreamInfo& info, const AVStream* stream) {
    const AVCodecParameters* parameters = stream->codecpar;
    info.Language = MetadataText(stream->metadata, "language");
    info.CodecName = CodecText(parameters->codec_id);
    info.StartTime = stream->start_time;
    info.StartTimeScaled = ScaledToMicroseconds(stream->start_time, stream->time_base);
    info.Duration = stream->duration;
    info.DurationScaled = ScaledToMicroseconds(stream->duration, stream->time_base);
    info.BitRate = ClampToInt32(parameters->bit_rate);
}

TAudioStreamInfo TFFDecoder::GetAudioStreamInfos(int streamIndex) {
    if (streamIndex < 0)
        streamIndex = FFirstAudioStreamIndex;
    if (!CheckStreamIndex(streamIndex))
        return {};
    const AVStream* stream = F->Format->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_AUDIO) {
        FLastErrMsg = QStringLiteral("stream %1 is not an audio stream.").arg(streamIndex);
        return {};
    }
    TAudioStreamInfo info;
    FillCommonStreamFields(info, stream);
    info.Channels = parameters->ch_layout.nb_channels;
    info.SampleRate = parameters->sample_rate;
    info.SampleFormat = parameters->format;
    return info;
}

TVideoStreamInfo TFFDecoder::GetVideoStreamInfos(int streamIndex) {
    if (streamIndex < 0)
        streamIndex = FFirstVideoStreamIndex;
    if (!CheckStreamIndex(streamIndex))
        return {};
    AVStream* stream = F->Format->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO) {
        FLastErrMsg = QStringLiteral("stream %1 is not a video stream.").arg(streamIndex);
        return {};
    }
    TVideoStreamInfo info;
    FillCommonStreamFields(info, stream);
    info.Height = parameters->height;
    info.Width = parameters->width;
    const AVRational sar = av_guess_sample_aspect_ratio(F->Format, stream, nullptr);
    AVRational dar{0, 1};
    if (sar.num > 0 && parameters->width > 0 && parameters->height > 0)
        av_reduce(&dar.num, &dar.den, static_cast<int64_t>(parameters->width) * sar.num,
                  static_cast<int64_t>(parameters->height) * sar.den, 1024 * 1024);
    info.SAR = ToRational(sar);
    info.DAR = ToRational(dar);
    info.SampleAspectRatio = ToFloat(sar);
    info.DisplayAspectRatio = ToFloat(dar);
    info.PixFmt = parameters->format;
    info.FrameRate = ToRational(av_guess_frame_rate(F->Format, stream, nullptr));
    return info;
}

bool TFFDecoder::OpenVideoDecoder(int streamIndex) {
    F->CloseCodec();
    const AVCodecParameters* parameters = F->Format->streams[streamIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        FLastErrMsg = QStringLiteral("no decoder for %1.").arg(CodecText(parameters->codec_id));
        return false;
    }
    F->Codec = avcodec_alloc_context3(codec);
    if (!F->Codec) {
        FLastErrMsg = LibraryErrorText(AVERROR(ENOMEM));
        return false;
    }
    int result = avcodec_parameters_to_context(F->Codec, parameters);
    if (result >= 0)
        result = avcodec_open2(F->Codec, codec, nullptr);
    if (result < 0) {
        FLastErrMsg = LibraryErrorText(result);
        F->CloseCodec();
        return false;
    }
    F->CodecStream = streamIndex;
    return true;
}

bool TFFDecoder::Decode(int streamIndex) {
    if (!IsLoaded()) {
        FLastErrMsg = QStringLiteral("file not loaded.");
        return false;
    }
    if (streamIndex < 0) {
        streamIndex = F->CurrentVideoStream >= 0 ? F->CurrentVideoStream : FFirstVideoStreamIndex;
        if (streamIndex < 0) {
            FLastErrMsg = QStringLiteral("no video stream.");
            return false;
        }
    } else if (!IsVideoStream(streamIndex)) {
        if (CheckStreamIndex(streamIndex))
            FLastErrMsg = QStringLiteral("stream %1 is not a video stream.").arg(streamIndex);
        return false;
    }
    F->CurrentVideoStream = streamIndex;

    const AVStream* stream = F->Format->streams[streamIndex];
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0)
        return DecodeAttachedPicture(streamIndex);
    return DecodeFromPackets(streamIndex);
}

// A cover picture is one packet that the container keeps apart from the others;
// it is decoded from there, so every picture stream yields its own picture
// whatever order the streams come in.
bool TFFDecoder::DecodeAttachedPicture(int streamIndex) {
    if (F->DeliveredPictures.contains(streamIndex)) {
        FLastErrMsg = QStringLiteral("end of file.");
        return false;
    }
    F->DeliveredPictures.append(streamIndex);
    if (!OpenVideoDecoder(streamIndex))
        return false;
    AVFrame* frame = av_frame_alloc();
    const auto freeFrame = qScopeGuard([&frame] { av_frame_free(&frame); });
    int result = avcodec_send_packet(F->Codec, &F->Format->streams[streamIndex]->attached_pic);
    if (result >= 0)
        result = avcodec_send_packet(F->Codec, nullptr);
    if (result >= 0)
        result = avcodec_receive_frame(F->Codec, frame);
    F->CloseCodec();
    if (result < 0) {
        FLastErrMsg = LibraryErrorText(result);
        return false;
    }
    if (!F->Picture)
        F->Picture = av_frame_alloc();
    av_frame_unref(F->Picture);
    av_frame_move_ref(F->Picture, frame);
    F->HasPicture = true;
    return true;
}

bool TFFDecoder::DecodeFromPackets(int streamIndex) {
    if (F->CodecStream != streamIndex && !OpenVideoDecoder(streamIndex))
        return false;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const auto release = qScopeGuard([&] {
        av_frame_free(&frame);
        av_packet_free(&packet);
    });
    for (;;) {
        const int received = avcodec_receive_frame(F->Codec, frame);
        if (received >= 0) {
            if (!F->Picture)
                F->Picture = av_frame_alloc();
            av_frame_unref(F->Picture);
            av_frame_move_ref(F->Picture, frame);
            F->HasPicture = true;
            return true;
        }
        if (received == AVERROR_EOF || (F->CodecDraining && received == AVERROR(EAGAIN))) {
            FLastErrMsg = QStringLiteral("end of file.");
            return false;
        }
        // Any other error is one damaged picture: ask again (while draining) or read on.
        if (F->CodecDraining)
            continue;
        if (F->EndOfFile || av_read_frame(F->Format, packet) < 0) {
            F->EndOfFile = true;
            F->CodecDraining = true;
            avcodec_send_packet(F->Codec, nullptr);
            continue;
        }
        const AVStream* stream = F->Format->streams[packet->stream_index];
        const bool wanted =
            packet->stream_index == streamIndex && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (wanted)
            avcodec_send_packet(F->Codec, packet);
        av_packet_unref(packet);
    }
}

bool TFFDecoder::CopyToBitmap(QImage& bitmap) {
    if (!F->HasPicture || !F->Picture) {
        FLastErrMsg = QStringLiteral("no picture decoded.");
        return false;
    }
    const AVFrame* picture = F->Picture;
    const int width = picture->width;
    const int height = picture->height;
    const auto failBlack = [&](const QString& reason) {
        FLastErrMsg = reason;
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
        return failBlack(LibraryErrorText(AVERROR(ENOMEM)));
    uint8_t* destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    int destinationStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows =
        sws_scale(scaler, picture->data, picture->linesize, 0, height, destination, destinationStride);
    if (rows != height)
        return failBlack(QStringLiteral("cannot convert the picture to RGB."));
    bitmap = std::move(image);
    return true;
}
