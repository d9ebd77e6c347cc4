#pragma once

#include <QString>

// One parsed ffmpeg status line, for example
// "size=    1024kB time=00:01:23.45 bitrate= 101.0kbits/s speed=21.3x    ".
struct FFmpegProgress {
    qint32 timeProcessed = -1; // whole seconds of input processed; -1 when the line is no status line
    QString kbps;              // the bit-rate field as ffmpeg wrote it ("101.0kbits/s")
    QString speed;             // the speed value followed by "x" ("21.3x")
    double speedInt = 0;       // the speed as a number; 0 when unreadable
};

namespace FFmpegProgressParser {

// Extracts time, bit rate and speed from one line of ffmpeg's output. Only
// locates three keys and copies three substrings, since every status line of
// every running conversion passes through here on the main thread.
// Throws std::runtime_error when the time field holds no readable time
// (a negative time, for example); the caller logs it and drops the line.
FFmpegProgress time(const QString& ffmpegOutput);

// Reads "H:MM:SS" (hours may exceed 23, for long audiobooks) into seconds;
// -1 when the text is no such time.
qint64 parseProgressTime(QStringView text);

} // namespace FFmpegProgressParser

// A job's progress in percent: whole processed seconds against whole seconds of
// its duration (milliseconds); 0 for a job shorter than one second. Not capped at 100.
qint64 progressPercent(qint32 timeProcessed, qint64 durationMs);
