// Line assembly and progress parsing of ffmpeg's console output: 100 MB of
// recorded output are fed through the console line assembler and every
// emitted line through the progress parser, as an encoder slot does on the
// main thread. Baseline: 100 MB/s, far more than ffmpeg processes write; the
// figure must stay well above it so that parsing never slows a run.

#include "base/ConsoleLineAssembler.h"
#include "engine/FFmpegProgressParser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>
#include <ctime>
#include <exception>

namespace {

// Real ffmpeg output: banner, stream descriptions and many rewritten status lines.
QByteArray recordFFmpegOutput() {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-stats_period", "0.001", "-f", "lavfi", "-i",
                  "sine=frequency=440:duration=600", "-c:a", "libmp3lame", "-f", "null", "-"});
    ffmpeg.waitForFinished(600000);
    return ffmpeg.readAll();
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QByteArray sample = recordFFmpegOutput();
    if (sample.count('\r') < 10) {
        out << "could not record ffmpeg output\n";
        return 1;
    }
    constexpr qsizetype totalBytes = 100 * 1024 * 1024;
    QByteArray input;
    input.reserve(totalBytes + sample.size());
    while (input.size() < totalBytes)
        input += sample;

    QStringList consoleOutput;
    ConsoleLineAssembler assembler(consoleOutput);
    qint64 lines = 0;
    qint64 statusLines = 0;
    assembler.setLineHandler([&](const QString& line, bool) {
        ++lines;
        try {
            if (FFmpegProgressParser::time(line).timeProcessed >= 0)
                ++statusLines;
        } catch (const std::exception&) {
        }
        // A slot's runner keeps every line; ffmpeg's few lines do not grow it much,
        // but 100 MB of them would, so the bench keeps it short.
        if (consoleOutput.size() > 1000)
            consoleOutput.clear();
    });

    // The size QProcess typically hands over per read.
    constexpr qsizetype readSize = 16384;
    QElapsedTimer timer;
    const double cpuStart = threadCpuSeconds();
    timer.start();
    for (qsizetype offset = 0; offset < input.size(); offset += readSize)
        assembler.feed(QByteArrayView(input).sliced(offset, std::min(readSize, input.size() - offset)));
    assembler.finish();
    const double seconds = std::max<qint64>(1, timer.nsecsElapsed()) / 1e9;
    const double cpuSeconds = std::max(1e-9, threadCpuSeconds() - cpuStart);

    const double megabytes = double(input.size()) / (1024.0 * 1024.0);
    // Processor time, so that other work on a shared machine does not distort the figure.
    const double megabytesPerSecond = megabytes / cpuSeconds;
    out << "recorded sample: " << sample.size() << " bytes, repeated to " << input.size() << " bytes\n";
    out << "emitted lines: " << lines << ", status lines parsed: " << statusLines << '\n';
    out << "line assembly + progress parsing: " << QString::number(megabytesPerSecond, 'f', 1)
        << " MB/s of processor time (" << QString::number(megabytes / seconds, 'f', 1)
        << " MB/s wall clock)\n";
    out << "ratio to the 100 MB/s baseline: " << QString::number(megabytesPerSecond / 100.0, 'f', 2) << "x\n";
    return 0;
}
