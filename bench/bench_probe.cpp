// Probing speed: the in-process probe against running `ffprobe -show_streams`
// once per file, over 1,000 generated MP3, FLAC and M4A files of which a third
// carry a cover picture. Prints both times and their ratio (target: 0.2 or less).

#include "media/FFmpegDecoder.h"
#include "media/ProbeWorker.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int FileCount = 1000;

bool makeSources(const QDir& dir, QStringList& withCover, QStringList& plain) {
    const QStringList encoders{QStringLiteral("libmp3lame"), QStringLiteral("flac"), QStringLiteral("aac")};
    const QStringList extensions{QStringLiteral("mp3"), QStringLiteral("flac"), QStringLiteral("m4a")};
    for (int i = 0; i < encoders.size(); ++i) {
        const QString tone = dir.filePath(QStringLiteral("source.") + extensions[i]);
        if (!TestSupport::makeTone(tone, 3.0, 44100, 2, {QStringLiteral("-c:a"), encoders[i]}))
            return false;
        plain << tone;
        const QString picture = dir.filePath(QStringLiteral("cover.jpg"));
        const QString covered = dir.filePath(QStringLiteral("covered.") + extensions[i]);
        if (!TestSupport::makePicture(picture, 500, 500, QStringLiteral("orange")) ||
            !TestSupport::RunFFmpeg({QStringLiteral("-i"), tone, QStringLiteral("-i"), picture,
                                     QStringLiteral("-map"), QStringLiteral("0"), QStringLiteral("-map"),
                                     QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("copy"),
                                     QStringLiteral("-disposition:v"), QStringLiteral("attached_pic"),
                                     covered}))
            return false;
        withCover << covered;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    QTemporaryDir work;
    QTemporaryDir covers;
    if (ffprobe.isEmpty() || !work.isValid() || !covers.isValid()) {
        std::fprintf(stderr, "needs ffprobe and a temporary folder\n");
        return 1;
    }
    const QDir dir(work.path());
    QStringList withCover;
    QStringList plain;
    if (!makeSources(dir, withCover, plain)) {
        std::fprintf(stderr, "could not make the source files\n");
        return 1;
    }
    QStringList files;
    for (int i = 0; i < FileCount; ++i) {
        const QStringList& kinds = i % 3 == 0 ? withCover : plain;
        const QString source = kinds[(i / 3) % kinds.size()];
        const QString copy =
            dir.filePath(QStringLiteral("file %1.%2").arg(i).arg(QFileInfo(source).suffix()));
        QFile::copy(source, copy);
        files << copy;
    }

    FFmpegDecoder decoder;
    ProbeWorker probe(&decoder, covers.path());
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    for (const QString& file : std::as_const(files)) {
        probe.start(file);
        probe.waitForFinished();
        if (!probe.errorText().isEmpty())
            ++failures;
    }
    const qint64 probeMs = clock.elapsed();

    clock.restart();
    for (const QString& file : std::as_const(files)) {
        QProcess process;
        process.start(ffprobe,
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"), file});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            ++failures;
        process.readAllStandardOutput();
    }
    const qint64 ffprobeMs = clock.elapsed();

    std::printf("files: %d (a third with a 500x500 cover), failures: %d\n", FileCount, failures);
    std::printf("probe:   %lld ms (%.2f ms per file)\n", static_cast<long long>(probeMs),
                static_cast<double>(probeMs) / FileCount);
    std::printf("ffprobe: %lld ms (%.2f ms per file)\n", static_cast<long long>(ffprobeMs),
                static_cast<double>(ffprobeMs) / FileCount);
    std::printf("ratio probe/ffprobe: %.3f (target <= 0.2)\n",
                ffprobeMs > 0 ? static_cast<double>(probeMs) / static_cast<double>(ffprobeMs) : 0.0);
    return failures == 0 ? 0 : 1;
}
