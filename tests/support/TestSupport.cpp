#include "TestSupport.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtDebug>

namespace TestSupport {

bool RunFFmpeg(const QStringList& arguments, QString* errorOutput) {
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                              QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")} +
                      arguments);
    if (!process.waitForFinished(300000)) {
        if (errorOutput)
            *errorOutput = QStringLiteral("ffmpeg did not finish");
        return false;
    }
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (errorOutput)
        *errorOutput = err;
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok)
        qWarning().noquote() << "ffmpeg" << arguments.join(u' ') << "failed:" << err;
    return ok;
}

QByteArray runFFprobe(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("ffprobe"), QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                                         QStringLiteral("-of"), QStringLiteral("json")} +
                                                 arguments);
    process.waitForFinished(120000);
    return process.readAllStandardOutput();
}

bool makeTone(const QString& path, double seconds, int sampleRate, int channels,
              const QStringList& extraArgs) {
    const QString source =
        QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(sampleRate).arg(seconds);
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source};
    args << QStringLiteral("-ac") << QString::number(channels);
    args << extraArgs << path;
    return RunFFmpeg(args);
}

bool makePicture(const QString& path, int width, int height, const QString& color) {
    const QString source = QStringLiteral("color=c=%1:s=%2x%3").arg(color).arg(width).arg(height);
    return RunFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source,
                      QStringLiteral("-frames:v"), QStringLiteral("1"), path});
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

bool touch(const QString& path) {
    return writeFile(path, QByteArray());
}

bool writeScript(const QString& path, const QByteArray& text) {
    return writeFile(path, text) &&
           QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readText(const QString& path) {
    return QString::fromUtf8(readFile(path));
}

QString programLogText() {
    return readText(programLogFilePath());
}

QString programDir() {
    return QStringLiteral(VELMO_PROGRAM_DIR);
}

} // namespace TestSupport
