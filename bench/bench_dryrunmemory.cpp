// Peak memory of "velmo-convert --dry-run" over a folder of 10,000 files: every
// file is probed and listed and gets its job, nothing is converted. The peak
// resident size (VmHWM) is read from /proc while the program runs.

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

qint64 peakKilobytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int fileCount = 10000;
    QTemporaryDir work;
    const QString folder = QDir(work.path()).filePath(QStringLiteral("many"));
    QDir().mkpath(folder);
    const QString first = QDir(folder).filePath(QStringLiteral("f00000.mp3"));
    TestSupport::makeTone(first, 0.5, 44100, 2, {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")});
    for (int index = 1; index < fileCount; ++index)
        QFile::copy(first, QDir(folder).filePath(QStringLiteral("f%1.mp3").arg(index, 5, 10, QChar(u'0'))));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(work.path()).filePath(QStringLiteral("config")));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QDir(TestSupport::programDir()).filePath(QStringLiteral("velmo-convert")),
                  {QStringLiteral("--dry-run"), QStringLiteral("-f"), QStringLiteral("mp3"),
                   QStringLiteral("-o"), QDir(work.path()).filePath(QStringLiteral("out")), folder});
    process.waitForStarted();
    const qint64 pid = process.processId();
    qint64 peak = 0;
    while (!process.waitForFinished(5))
        peak = qMax(peak, peakKilobytes(pid));
    std::printf(
        "4. velmo-convert --dry-run over %d files: peak resident memory %.1f MB (target under 150 MB), "
        "exit %d, %.1f s\n",
        fileCount, peak / 1024.0, process.exitCode(), timer.elapsed() / 1000.0);
    return 0;
}
