// Job generation for a large list: 10,000 media files become ffmpeg jobs.
// Baseline: the one-second budget for 10,000 files (the user waits behind the
// progress dialog meanwhile). Prints the time per job and the ratio to the budget.
//
//   build/bench/bench_generator [files] [rounds]

#include "engine/JobGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int fileCount = args.size() > 1 ? args[1].toInt() : 10000;
    const int rounds = args.size() > 2 ? args[2].toInt() : 5;
    constexpr double budgetSeconds = 1.0;
    constexpr int budgetFiles = 10000;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // Every other file has a cover on disk, so half the jobs carry a picture.
    const QString cover = dir.filePath(QStringLiteral("cover.jpg"));
    QFile(cover).open(QIODevice::WriteOnly);

    QList<MediaFile> files;
    files.reserve(fileCount);
    for (int i = 0; i < fileCount; ++i) {
        MediaFile file;
        file.filePath = dir.filePath(QStringLiteral("Music/Artist %1/Album %2/%3 - Track \"%4\".flac")
                                         .arg(i / 200)
                                         .arg(i / 20)
                                         .arg(i % 20)
                                         .arg(i));
        AudioStream stream;
        stream.streamIndex = 0;
        stream.samplingRate = i % 3 ? 44100 : 96000;
        stream.duration = 240000;
        file.audioStreams << stream;
        if (i % 2) {
            CoverArt artwork;
            artwork.streamIndex = 1;
            artwork.tempFilePath = cover;
            file.coverArtStreams << artwork;
        }
        files << file;
    }

    EncodingProfile profile;
    profile.codecId = OutputCodec::Mp3;
    profile.encodeType = EncodeType::Cbr;
    profile.bitrate = QStringLiteral("192");
    profile.sampleRate = QStringLiteral("44100");
    profile.changeSampleRate = true;
    profile.channel = ChannelType::Stereo;
    profile.changeChannel = true;
    AdvancedSettings advanced;
    advanced.customFFmpegParams = QStringLiteral("-metadata \"comment=made by %BITRATE%\"");

    QList<qint64> times;
    qsizetype jobs = 0;
    JobGenerator generator;
    for (int round = 0; round < rounds; ++round) {
        generator.reset();
        generator.setOutputFolder(dir.filePath(QStringLiteral("out")));
        generator.setOutputExt(QStringLiteral(".mp3"));
        generator.setMediaFiles(files);
        generator.setProfile(profile);
        generator.setAdvancedSettings(advanced);
        generator.setCopyCoverArt(true);
        QElapsedTimer timer;
        timer.start();
        generator.start();
        generator.waitForFinished();
        times << timer.nsecsElapsed();
        jobs = generator.jobs().size();
    }
    std::sort(times.begin(), times.end());
    const double median = double(times[times.size() / 2]) / 1e9;
    const double best = double(times.first()) / 1e9;
    const double budget = budgetSeconds * fileCount / budgetFiles;
    std::printf("bench_generator: %d files -> %lld jobs, %d rounds\n", fileCount,
                static_cast<long long>(jobs), rounds);
    std::printf("  total (median) %.3f s, best %.3f s\n", median, best);
    std::printf("  per job (median) %.1f us\n", median * 1e6 / std::max<qsizetype>(1, jobs));
    std::printf("  ratio to the budget of %.0f s per %d files: %.2f (below 1 meets it)\n", budgetSeconds,
                budgetFiles, median / budget);
    return jobs == fileCount ? 0 : 1;
}
