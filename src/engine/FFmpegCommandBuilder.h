#pragma once

#include "model/Codecs.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// Turns one file's facts and the run's codec settings into an ffmpeg call, from
// the per-codec template. Paths are inserted as they are, never searched for
// placeholders and never split; the custom parameters still receive the
// channel, sample-rate, bit-depth and rate values.

struct FFmpegCommandInput {
    QString sourcePath;     // absolute
    QString outputPath;     // absolute
    qint32 streamIndex = 0; // container index of the audio stream
    qint32 sourceSampleRate = 0;
    QString carriedPicturePath; // absolute; empty when no picture goes through ffmpeg
    QString customParams;       // the advanced settings' text, as typed
};

struct FFmpegCommand {
    QString commandLine;   // readable, begins with one space; for logs and dumps
    QStringList arguments; // what the process is started with
};

// A sample-rate text that must be read as a number and is none.
class FFmpegCommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The template of a codec and method; it begins with one space.
QString ffmpegTemplate(OutputCodec codec, EncodeType encodeType);

// Whether ffmpeg can put the cover picture into this codec's output file.
bool canCarryCoverArt(OutputCodec codec);

// Throws FFmpegCommandError when the profile's sample rate must be read as a
// number and is none. May write information lines to the program log.
FFmpegCommand buildFFmpegCommand(const EncodingProfile& profile, const FFmpegCommandInput& input);
