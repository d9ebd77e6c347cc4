#include "media/RawFileInfoProcess.h"

#include <QFileInfo>
#include <QMetaObject>

RawFileInfoProcess::RawFileInfoProcess(const QString& ffprobePath, QObject* parent)
    : QObject(parent), m_runner(this) {
    m_runner.applicationName = ffprobePath;
    m_runner.idlePriority = true;
    connect(&m_runner, &ConsoleRunner::onTerminate, this, &RawFileInfoProcess::processTerminate);
}

QStringList RawFileInfoProcess::probeArguments(const QString& fileName) {
    return {QStringLiteral("-i"),           QFileInfo(fileName).absoluteFilePath(), QStringLiteral("-v"),
            QStringLiteral("error"),        QStringLiteral("-print_format"),        QStringLiteral("ini"),
            QStringLiteral("-show_format"), QStringLiteral("-show_streams")};
}

void RawFileInfoProcess::start(const QString& fileName) {
    m_runner.consoleOutput.clear();
    m_busy = true;
    m_fileName = fileName;
    m_errorText.clear();
    m_runner.arguments = probeArguments(fileName);
    m_runner.commandLine =
        QStringLiteral("\"%1\" -i \"%2\" -v error -print_format ini -show_format -show_streams")
            .arg(m_runner.applicationName, m_runner.arguments.at(1));
    if (m_runner.applicationName.trimmed().isEmpty()) {
        // Reported after Start returns, as every other end is.
        QMetaObject::invokeMethod(
            this, [this] { processTerminate(&m_runner, ConsoleRunner::StartFailedExitCode); },
            Qt::QueuedConnection);
        return;
    }
    if (!m_runner.run()) {
        m_errorText = m_runner.errorString();
        m_busy = false;
        emit finished();
    }
}

void RawFileInfoProcess::stop() {
    m_runner.terminate();
}

bool RawFileInfoProcess::isBusy() const {
    return m_busy || m_runner.state() == ConsoleRunner::State::Waiting;
}

void RawFileInfoProcess::processTerminate(ConsoleRunner*, quint32 exitCode) {
    if (!m_busy)
        return;
    if (m_runner.applicationName.trimmed().isEmpty())
        m_errorText = QStringLiteral("Unable to run ffprobe: it was not found");
    else if (!m_runner.startError().isEmpty())
        m_errorText =
            QStringLiteral("Unable to run %1: %2").arg(m_runner.applicationName, m_runner.startError());
    else if (exitCode != 0)
        m_errorText = QStringLiteral("Exit Code: ") + QString::number(exitCode);
    else
        m_errorText.clear();
    m_busy = false;
    emit finished();
}
