#include "base/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QThread>
#include <QTimeZone>

#include <unistd.h>

namespace {

struct ProgramLogger {
    QMutex lock;
    QString filePath;
};

ProgramLogger& logger() {
    static ProgramLogger instance;
    return instance;
}

QString levelWord(LogLevel level, bool carriesError) {
    switch (level) {
    case LogLevel::Trace:
        return QStringLiteral("trace");
    case LogLevel::Debug:
        return QStringLiteral("debug");
    case LogLevel::Info:
        return QStringLiteral("info");
    case LogLevel::Warning:
        return QStringLiteral("warn");
    case LogLevel::error:
        return carriesError ? QStringLiteral("exception") : QStringLiteral("error");
    case LogLevel::Fatal:
        return QStringLiteral("fatal");
    }
    return QString();
}

QString field(QString text) {
    return text.replace(u'|', u'-');
}

void writeEntry(LogLevel level, const QString& message, bool carriesError) {
    if (level < LogLevel::Info)
        return;
    ProgramLogger& log = logger();
    QMutexLocker locker(&log.lock);
    if (log.filePath.isEmpty())
        return;

    const QString timeStamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    const QStringList fields = {
        QStringLiteral("VelmoAudio"),
        timeStamp,
        levelWord(level, carriesError),
        field(message),
        QString::number(::getpid()),
        QString(),
        carriesError ? QStringLiteral("none") : QString(),
        QString(),
        QString::number(::gettid()), // the kernel's id, as ps and top show it
    };
    const QByteArray line = fields.join(u'|').toUtf8() + "\r\n";

    // A log that cannot be written is retried for half a second, then the entry is lost.
    for (int attempt = 0; attempt <= 10; ++attempt) {
        QDir().mkpath(QFileInfo(log.filePath).absolutePath());
        QFile file(log.filePath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size())
            return;
        QThread::msleep(50);
    }
}

} // namespace

void configureProgramLog(const QString& folder, const QDateTime& startTime) {
    ProgramLogger& log = logger();
    QMutexLocker locker(&log.lock);
    const QString base = startTime.toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
    log.filePath = QDir(folder).filePath(base + QStringLiteral("_all.nxlog"));
}

QString programLogFilePath() {
    ProgramLogger& log = logger();
    QMutexLocker locker(&log.lock);
    return log.filePath;
}

void logException(const QString& location, const QString& /*error*/) {
    writeEntry(LogLevel::error, location, true);
}

void logError(const QString& message) {
    writeEntry(LogLevel::error, message, false);
}

void logInfo(const QString& message) {
    writeEntry(LogLevel::Info, message, false);
}

void logWarning(const QString& message) {
    writeEntry(LogLevel::Warning, message, false);
}
