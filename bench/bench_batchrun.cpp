// Whole runs of velmo-convert against plain ffmpeg processes started by
// "xargs -P 2" with the very argument lists velmo-convert would use (taken from
// its --dry-run), alternating the two commands. The slots run ffmpeg at the
// lowest processor and I/O priority, so the baseline runs at the same priority:
// the ratio measures the run machinery, not the scheduler; and against Debian's soundconverter
// when it is installed, each round of each from an empty output folder, checking
// that every run produced all its MP3s. Prints wall times, processor times and ratios.

#include "TestSupport.h"
#include "base/CommandLineSplit.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QString program() {
    return QDir(TestSupport::programDir()).filePath(QStringLiteral("velmo-convert"));
}

QProcessEnvironment environment(const QString& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    return env;
}

double timed(const QString& command, const QStringList& arguments, const QProcessEnvironment& env,
             QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(command, arguments);
    process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const QByteArray text = process.readAll();
    if (output)
        *output = text;
    if (process.exitCode() != 0)
        std::fprintf(stderr, "%s failed (%d): %s\n", qPrintable(command), process.exitCode(),
                     text.left(400).constData());
    return seconds;
}

// The xargs input: one job a line, every argument in double quotes.
QString xargsInput(const QByteArray& dryRun) {
    QString lines;
    const QStringList all = QString::fromUtf8(dryRun).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : all) {
        if (!line.startsWith(QStringLiteral("  ")))
            continue; // output paths and "Skipping" lines
        QStringList arguments = splitCommandLine(line.trimmed());
        arguments.removeFirst(); // the ffmpeg path; xargs is given it
        QStringList quoted;
        for (const QString& argument : arguments)
            quoted << u'"' + argument + u'"';
        lines += quoted.join(u' ') + u'\n';
    }
    return lines;
}

void compare(const char* title, const QStringList& sources, const QStringList& options, int repetitions,
             double limit) {
    QTemporaryDir work;
    const QString config = QDir(work.path()).filePath(QStringLiteral("config"));
    const QProcessEnvironment env = environment(config);
    const QString oursOut = QDir(work.path()).filePath(QStringLiteral("ours"));
    const QString baseOut = QDir(work.path()).filePath(QStringLiteral("xargs"));
    const QStringList common = options + QStringList{QStringLiteral("-j"),
                                                     QStringLiteral("2"),
                                                     QStringLiteral("--no-folder-structure"),
                                                     QStringLiteral("--overwrite"),
                                                     QStringLiteral("overwrite"),
                                                     QStringLiteral("--no-cover-art")};

    QByteArray dryRun;
    timed(program(), QStringList{QStringLiteral("-n"), QStringLiteral("-o"), baseOut} + common + sources, env,
          &dryRun);
    const QString jobsFile = QDir(work.path()).filePath(QStringLiteral("jobs.txt"));
    {
        QFile file(jobsFile);
        file.open(QIODevice::WriteOnly);
        file.write(xargsInput(dryRun).toUtf8());
    }
    QDir().mkpath(baseOut + QStringLiteral("/Mp3"));
    QDir().mkpath(baseOut + QStringLiteral("/Opus"));
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));

    double ours = 0;
    double baseline = 0;
    for (int round = 0; round < repetitions; ++round) {
        const double a = timed(program(), QStringList{QStringLiteral("-o"), oursOut} + common + sources, env);
        const double b =
            timed(QStringLiteral("sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral(
                       "nice -n 19 ionice -c 3 xargs -P 2 -L 1 \"$0\" -nostdin -loglevel error < \"$1\""),
                   ffmpeg, jobsFile},
                  env);
        std::printf("  round %d: velmo-convert %.2f s, xargs -P 2 ffmpeg %.2f s\n", round + 1, a, b);
        ours += a;
        baseline += b;
    }
    std::printf("%s: velmo-convert %.2f s, xargs baseline %.2f s, ratio %.3f (target at most %.2f)\n\n",
                title, ours / repetitions, baseline / repetitions, ours / baseline, limit);
    std::fflush(stdout);
}

// Processor time (user + system) of the children waited for so far; a delta around
// one run is that run's cost, its ffmpeg or GStreamer work included.
double childProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time the whole machine has spent busy, from the "cpu" line of /proc/stat.
// Less the run's own share it is what other processes took meanwhile: velmo-convert
// runs its encoders at the lowest priority, so any other work on the machine
// lengthens its wall time far more than that of a peer at normal priority, and the
// round's figures mean little unless this stays near zero.
double machineBusySeconds() {
    QFile file(QStringLiteral("/proc/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QStringList fields =
        QString::fromLatin1(file.readLine()).split(u' ', Qt::SkipEmptyParts); // cpu user nice system idle ...
    double ticks = 0;
    for (const int field : {1, 2, 3, 6, 7, 8}) // user nice system irq softirq steal
        ticks += fields.value(field).toDouble();
    return ticks / sysconf(_SC_CLK_TCK);
}

struct Measured {
    double seconds = 0;
    double processorSeconds = 0;
    double othersSeconds = 0; // processor time other processes of the machine used meanwhile
    QString failure;          // empty when the command exited normally with 0
};

Measured measured(const QString& command, const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const double processorBefore = childProcessorSeconds();
    const double busyBefore = machineBusySeconds();
    QElapsedTimer timer;
    timer.start();
    process.start(command, arguments);
    process.waitForFinished(-1);
    Measured result;
    result.seconds = timer.nsecsElapsed() / 1e9;
    result.processorSeconds = childProcessorSeconds() - processorBefore;
    result.othersSeconds = std::max(0.0, machineBusySeconds() - busyBefore - result.processorSeconds);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        result.failure = QStringLiteral("exit %1 (%2): %3")
                             .arg(process.exitCode())
                             .arg(process.errorString(), QString::fromUtf8(process.readAll().right(600)));
    return result;
}

// What a run has to leave behind: one MP3 for every source and nothing else, each
// of the source's 60 s at 192 kbit/s. A timing from a run that skipped, failed or
// wrote elsewhere is worthless, so anything short of this is reported.
QStringList outputProblems(const QString& folder, const QStringList& sources) {
    QStringList problems;
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        found << files.next();
    if (found.size() != sources.size())
        problems << QStringLiteral("%1 files in %2, expected %3")
                        .arg(found.size())
                        .arg(folder)
                        .arg(sources.size());
    for (const QString& source : sources) {
        const QString expected = QFileInfo(source).completeBaseName() + QStringLiteral(".mp3");
        const auto matches = std::count_if(found.cbegin(), found.cend(), [&](const QString& path) {
            return QFileInfo(path).fileName() == expected;
        });
        if (matches != 1)
            problems << QStringLiteral("%1 found %2 times").arg(expected).arg(matches);
    }
    for (const QString& path : found) {
        const QJsonObject probe =
            QJsonDocument::fromJson(TestSupport::runFFprobe({QStringLiteral("-show_entries"),
                                                             QStringLiteral("format=format_name,duration:"
                                                                            "stream=codec_name,bit_rate"),
                                                             path}))
                .object();
        const QJsonObject format = probe.value(QStringLiteral("format")).toObject();
        const QJsonArray streams = probe.value(QStringLiteral("streams")).toArray();
        const double duration = format.value(QStringLiteral("duration")).toString().toDouble();
        const QJsonObject stream = streams.isEmpty() ? QJsonObject() : streams.first().toObject();
        if (format.value(QStringLiteral("format_name")).toString() != QStringLiteral("mp3") ||
            streams.size() != 1 ||
            stream.value(QStringLiteral("codec_name")).toString() != QStringLiteral("mp3"))
            problems << QStringLiteral("%1 is not a single-stream MP3").arg(path);
        else if (std::abs(duration - 60.0) > 1.0)
            problems << QStringLiteral("%1 lasts %2 s, not 60 s").arg(path).arg(duration);
        else if (stream.value(QStringLiteral("bit_rate")).toString() != QStringLiteral("192000"))
            problems << QStringLiteral("%1 has bit rate %2, not 192000")
                            .arg(path, stream.value(QStringLiteral("bit_rate")).toString());
    }
    return problems;
}

// Returns false when a round of either command failed or left other than the 16
// expected outputs.
bool compareSoundconverter(const QStringList& sources, int repetitions) {
    const QString soundconverter = QStandardPaths::findExecutable(QStringLiteral("soundconverter"));
    if (soundconverter.isEmpty()) {
        std::printf("3. soundconverter is not installed (scripts/bench installs it); skipped\n");
        return true;
    }
    const QDir sourceFolder = QFileInfo(sources.first()).dir();
    const QStringList sourceEntries = sourceFolder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QTemporaryDir work;

    struct Command {
        const char* name;
        QString program;
        QStringList arguments; // the output folder is appended
        double seconds = 0;
        double processorSeconds = 0;
        double othersSeconds = 0;
    };
    Command ours{"velmo-convert", program(),
                 QStringList{QStringLiteral("-f"), QStringLiteral("mp3"), QStringLiteral("-m"),
                             QStringLiteral("cbr"), QStringLiteral("-b"), QStringLiteral("192"),
                             QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--overwrite"),
                             QStringLiteral("overwrite"), QStringLiteral("-o")}};
    // Overwriting is moot in an empty folder, but should one ever not be empty,
    // neither command may skip a file or write it under another name.
    // velmo-convert runs its ffmpegs at nice 19 and idle I/O priority; the peer runs
    // at the same priority, so that other work on the machine slows both alike.
    Command peer{"soundconverter", QStringLiteral("nice"),
                 QStringList{QStringLiteral("-n"), QStringLiteral("19"), QStringLiteral("ionice"),
                             QStringLiteral("-c"), QStringLiteral("3"), soundconverter, QStringLiteral("-b"),
                             QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-f"),
                             QStringLiteral("mp3"), QStringLiteral("-m"), QStringLiteral("cbr"),
                             QStringLiteral("-q"), QStringLiteral("192"), QStringLiteral("-e"),
                             QStringLiteral("overwrite"), QStringLiteral("-o")}};

    bool allGood = true;
    for (int round = 0; round < repetitions; ++round) {
        // Alternating which goes first spreads any drift of the machine over both.
        Command* order[2] = {&ours, &peer};
        if (round % 2 == 1)
            std::swap(order[0], order[1]);
        Measured results[2];
        for (int index = 0; index < 2; ++index) {
            Command& command = *order[index];
            // Each run gets an output folder and a settings folder of its own, both new
            // and empty: no earlier output to skip over and no settings or logs left
            // behind by an earlier round.
            const QString base =
                QDir(work.path()).filePath(QStringLiteral("round%1-%2").arg(round + 1).arg(command.name));
            const QString output = base + QStringLiteral("/out");
            QDir().mkpath(output);
            const Measured result =
                measured(command.program, command.arguments + QStringList{output} + sources,
                         environment(base + QStringLiteral("/config")));
            QStringList problems = outputProblems(output, sources);
            if (!result.failure.isEmpty())
                problems.prepend(result.failure);
            if (sourceFolder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot) != sourceEntries)
                problems << QStringLiteral("the source folder %1 changed").arg(sourceFolder.path());
            if (!problems.isEmpty()) {
                std::fprintf(stderr, "3. FAILED: round %d, %s:\n  %s\n", round + 1, command.name,
                             qPrintable(problems.join(QStringLiteral("\n  "))));
                allGood = false;
            }
            QDir(base).removeRecursively();
            command.seconds += result.seconds;
            command.processorSeconds += result.processorSeconds;
            command.othersSeconds += result.othersSeconds;
            results[index] = result;
        }
        const Measured& a = order[0] == &ours ? results[0] : results[1];
        const Measured& b = order[0] == &ours ? results[1] : results[0];
        std::printf("  round %d (%s first): velmo-convert %.2f s wall %.2f s CPU (others %.1f s CPU), "
                    "soundconverter %.2f s wall %.2f s CPU (others %.1f s CPU); ratio wall %.3f CPU %.3f\n",
                    round + 1, order[0]->name, a.seconds, a.processorSeconds, a.othersSeconds, b.seconds,
                    b.processorSeconds, b.othersSeconds, a.seconds / b.seconds,
                    a.processorSeconds / b.processorSeconds);
        std::fflush(stdout);
    }
    if (!allGood) {
        std::fprintf(stderr, "3. FAILED: a run did not produce its 16 MP3s; no ratio is given\n");
        return false;
    }
    std::printf(
        "3. 16 x 60 s FLAC to MP3 CBR 192, 2 at a time, %d rounds: velmo-convert %.2f s wall %.2f s CPU, "
        "soundconverter %.2f s wall %.2f s CPU; ratio wall %.3f, CPU %.3f\n",
        repetitions, ours.seconds / repetitions, ours.processorSeconds / repetitions,
        peer.seconds / repetitions, peer.processorSeconds / repetitions, ours.seconds / peer.seconds,
        ours.processorSeconds / peer.processorSeconds);
    const double others = (ours.othersSeconds + peer.othersSeconds) / (2 * repetitions);
    if (others > 1.0)
        std::printf(
            "   other processes took %.1f s of processor time per run on average: the machine was busy, "
            "and velmo-convert's low-priority encoders give way to them, so the wall ratio is likely too "
            "high\n",
            others);
    return true;
}

} // namespace

// Arguments, when given, name the benchmarks to run ("1 3"); none runs all three.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList chosen = app.arguments().mid(1);
    if (chosen.isEmpty())
        chosen = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    QTemporaryDir sources;
    QStringList longFiles;
    for (int index = 0; index < 16; ++index) {
        const QString file =
            QDir(sources.path()).filePath(QStringLiteral("long%1.flac").arg(index, 2, 10, QChar(u'0')));
        TestSupport::RunFFmpeg(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=60").arg(220 + 20 * index),
             QStringLiteral("-ac"), QStringLiteral("2"), file});
        longFiles << file;
    }
    QStringList shortFiles;
    const QString shortFirst = QDir(sources.path()).filePath(QStringLiteral("short000.flac"));
    TestSupport::makeTone(shortFirst, 2);
    shortFiles << shortFirst;
    for (int index = 1; index < 300; ++index) {
        const QString file =
            QDir(sources.path()).filePath(QStringLiteral("short%1.flac").arg(index, 3, 10, QChar(u'0')));
        QFile::copy(shortFirst, file);
        shortFiles << file;
    }

    // A 60 s file encodes in about half a second, so a run lasts only seconds and
    // one round's noise is of the size of the margin: five rounds.
    if (chosen.contains(QStringLiteral("1")))
        compare("1. 16 x 60 s FLAC to MP3 CBR 192, 2 slots", longFiles,
                {QStringLiteral("-f"), QStringLiteral("mp3"), QStringLiteral("-m"), QStringLiteral("cbr"),
                 QStringLiteral("-b"), QStringLiteral("192")},
                5, 1.03);
    if (chosen.contains(QStringLiteral("2")))
        compare("2. 300 x 2 s FLAC to Opus, 2 slots", shortFiles,
                {QStringLiteral("-f"), QStringLiteral("opus")}, 3, 1.10);
    bool passed = true;
    if (chosen.contains(QStringLiteral("3")))
        passed = compareSoundconverter(longFiles, 5);
    return passed ? 0 : 1;
}
