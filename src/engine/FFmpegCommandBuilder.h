#pragma once

#include "model/Codecs.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// Turns one file's facts and the run's codec settings into an ffmpeg call, from
// the per-codec template. Paths are inserted as they are, never searched for
// placeholders and never split; the custom parameters still receive the
// channel, sample-rate, bit-depth and rate values.

struct TFFmpegCommandInput {
    QString SourcePath;     // absolute
    QString OutputPath;     // absolute
    qint32 StreamIndex = 0; // container index of the audio stream
    qint32 SourceSampleRate = 0;
    QString CarriedPicturePath; // absolute; empty when no picture goes through ffmpeg
    QString CustomParams;       // the advanced settings' text, as typed
};

struct TFFmpegCommand {
    QString CommandLine;   // readable, begins with one space; for logs and dumps
    QStringList Arguments; // what the process is started with
};

// A sample-rate text that must be read as a number and is none.
class TFFmpegCommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The template of a codec and method; it begins with one space.
QString FFmpegTemplate(TOutputCodec codec, TEncodeType encodeType);

// Whether ffmpeg can put the cover picture into this codec's output file.
bool CanCarryCoverArt(TOutputCodec codec);

// Throws TFFmpegCommandError when the profile's sample rate must be read as a
// number and is none. May write information lines to the program log.
TFFmpegCommand BuildFFmpegCommand(const TEncodingProfile& profile, const TFFmpegCommandInput& input);
