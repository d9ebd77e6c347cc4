// Whole runs of velmo-convert against plain ffmpeg processes started by
// "xargs -P 2" with the very argument lists velmo-convert would use (taken from
// its --dry-run), alternating the two commands. The slots run ffmpeg at the
// lowest processor and I/O priority, so the baseline runs at the same priority:
// the ratio measures the run machinery, not the scheduler; and against Debian's soundconverter
// when it is installed. Prints wall times and ratios.

#include "TestSupport.h"
#include "base/CommandLineSplit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

QString program() {
    return QDir(TestSupport::ProgramDir()).filePath(QStringLiteral("velmo-convert"));
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
        QStringList arguments = SplitCommandLine(line.trimmed());
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

void compareSoundconverter(const QStringList& sources, int repetitions) {
    const QString soundconverter = QStandardPaths::findExecutable(QStringLiteral("soundconverter"));
    if (soundconverter.isEmpty()) {
        std::printf("3. soundconverter is not installed (scripts/bench installs it); skipped\n");
        return;
    }
    QTemporaryDir work;
    const QProcessEnvironment env = environment(QDir(work.path()).filePath(QStringLiteral("config")));
    QStringList run = {QStringLiteral("-b"),
                       QStringLiteral("-j"),
                       QStringLiteral("2"),
                       QStringLiteral("-f"),
                       QStringLiteral("mp3"),
                       QStringLiteral("-m"),
                       QStringLiteral("cbr"),
                       QStringLiteral("-q"),
                       QStringLiteral("192"),
                       QStringLiteral("-o"),
                       QDir(work.path()).filePath(QStringLiteral("sc"))};
    double ours = 0;
    double peer = 0;
    for (int round = 0; round < repetitions; ++round) {
        const double a =
            timed(program(),
                  QStringList{QStringLiteral("-f"), QStringLiteral("mp3"), QStringLiteral("-m"),
                              QStringLiteral("cbr"), QStringLiteral("-b"), QStringLiteral("192"),
                              QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--overwrite"),
                              QStringLiteral("overwrite"), QStringLiteral("-o"),
                              QDir(work.path()).filePath(QStringLiteral("ours"))} +
                      sources,
                  env);
        QDir(QDir(work.path()).filePath(QStringLiteral("sc"))).removeRecursively();
        const double b = timed(soundconverter, run + sources, env);
        std::printf("  round %d: velmo-convert %.2f s, soundconverter %.2f s\n", round + 1, a, b);
        ours += a;
        peer += b;
    }
    std::printf("3. 16 x 60 s FLAC to MP3 CBR 192, 2 at a time: velmo-convert %.2f s, soundconverter %.2f s, "
                "ratio %.3f\n",
                ours / repetitions, peer / repetitions, ours / peer);
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
    TestSupport::MakeTone(shortFirst, 2);
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
    if (chosen.contains(QStringLiteral("3")))
        compareSoundconverter(longFiles, 2);
    return 0;
}
