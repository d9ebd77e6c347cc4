#include "engine/FFmpegProgressParser.h"

#include "base/TextFormat.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// Blanks and control characters off both ends.
QStringView trimmedField(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

// The characters from `from` up to `to`, less `dropAtEnd` of them; empty when
// nothing is left.
QStringView between(QStringView line, qsizetype from, qsizetype to, qsizetype dropAtEnd) {
    const qsizetype length = to - from - dropAtEnd;
    if (from >= line.size() || length <= 0)
        return {};
    return line.sliced(from, std::min(length, line.size() - from));
}

int twoDigits(QStringView text) {
    if (text.size() != 2 || !text[0].isDigit() || !text[1].isDigit())
        return -1;
    return text[0].digitValue() * 10 + text[1].digitValue();
}

} // namespace

qint64 FFmpegProgressParser::parseProgressTime(QStringView text) {
    const qsizetype firstColon = text.indexOf(u':');
    const qsizetype secondColon = firstColon < 0 ? -1 : text.indexOf(u':', firstColon + 1);
    if (firstColon <= 0 || secondColon < 0)
        return -1;
    const QStringView hoursText = text.first(firstColon);
    if (hoursText.size() > 9 ||
        !std::all_of(hoursText.begin(), hoursText.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    const int minutes = twoDigits(text.sliced(firstColon + 1, secondColon - firstColon - 1));
    const int seconds = twoDigits(text.sliced(secondColon + 1));
    if (minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return -1;
    return hoursText.toLongLong() * 3600 + minutes * 60 + seconds;
}

FFmpegProgress FFmpegProgressParser::time(const QString& ffmpegOutput) {
    static const QString timeKey = QStringLiteral("time=");
    static const QString bitrateKey = QStringLiteral("bitrate=");
    static const QString speedKey = QStringLiteral("speed=");

    FFmpegProgress info;
    const QStringView line(ffmpegOutput);
    const qsizetype timePos = line.indexOf(timeKey);
    const qsizetype bitratePos = line.indexOf(bitrateKey);
    const qsizetype speedPos = line.indexOf(speedKey);
    if (timePos < 0 || bitratePos < 0 || speedPos < 0)
        return info;

    // ffmpeg writes "time=HH:MM:SS.hh " and ends the line with "x" and four
    // blanks: the hundredths and the "x" are cut off by position.
    const QStringView timeText = trimmedField(between(line, timePos + timeKey.size(), bitratePos, 4));
    info.kbps = trimmedField(between(line, bitratePos + bitrateKey.size(), speedPos, 0)).toString();
    const QStringView speedText = trimmedField(between(line, speedPos + speedKey.size(), line.size(), 5));
    info.speedInt = parseFloatText(speedText.toString());
    info.speed = speedText.toString() + u'x';

    if (!timeText.isEmpty()) {
        const qint64 seconds = parseProgressTime(timeText);
        if (seconds < 0 || seconds > std::numeric_limits<qint32>::max())
            throw std::runtime_error("'" + timeText.toString().toStdString() + "' is not a valid time");
        info.timeProcessed = qint32(seconds);
    }
    return info;
}

qint64 progressPercent(qint32 timeProcessed, qint64 durationMs) {
    const qint64 durationSeconds = durationMs / 1000;
    if (durationSeconds <= 0)
        return 0;
    return qint64(timeProcessed) * 100 / durationSeconds;
}
