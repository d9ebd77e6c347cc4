#include "media/RawFileInfoProcess.h"

#include <QFileInfo>
#include <QMetaObject>

TRawFileInfoProcess::TRawFileInfoProcess(const QString& ffprobePath, QObject* parent)
    : QObject(parent), FRunner(this) {
    FRunner.ApplicationName = ffprobePath;
    FRunner.IdlePriority = true;
    connect(&FRunner, &TConsoleRunner::OnTerminate, this, &TRawFileInfoProcess::ProcessTerminate);
}

QStringList TRawFileInfoProcess::ProbeArguments(const QString& fileName) {
    return {QStringLiteral("-i"),           QFileInfo(fileName).absoluteFilePath(), QStringLiteral("-v"),
            QStringLiteral("error"),        QStringLiteral("-print_format"),        QStringLiteral("ini"),
            QStringLiteral("-show_format"), QStringLiteral("-show_streams")};
}

void TRawFileInfoProcess::Start(const QString& fileName) {
    FRunner.ConsoleOutput.clear();
    FBusy = true;
    FFileName = fileName;
    FErrorMsg.clear();
    FRunner.Arguments = ProbeArguments(fileName);
    FRunner.CommandLine =
        QStringLiteral("\"%1\" -i \"%2\" -v error -print_format ini -show_format -show_streams")
            .arg(FRunner.ApplicationName, FRunner.Arguments.at(1));
    if (FRunner.ApplicationName.trimmed().isEmpty()) {
        // Reported after Start returns, as every other end is.
        QMetaObject::invokeMethod(
            this, [this] { ProcessTerminate(&FRunner, TConsoleRunner::StartFailedExitCode); },
            Qt::QueuedConnection);
        return;
    }
    if (!FRunner.Run()) {
        FErrorMsg = FRunner.ErrorString();
        FBusy = false;
        emit Finished();
    }
}

void TRawFileInfoProcess::Stop() {
    FRunner.Terminate();
}

bool TRawFileInfoProcess::IsBusy() const {
    return FBusy || FRunner.State() == TConsoleRunner::TState::Waiting;
}

void TRawFileInfoProcess::ProcessTerminate(TConsoleRunner*, quint32 exitCode) {
    if (!FBusy)
        return;
    if (FRunner.ApplicationName.trimmed().isEmpty())
        FErrorMsg = QStringLiteral("Unable to run ffprobe: it was not found");
    else if (!FRunner.StartError().isEmpty())
        FErrorMsg = QStringLiteral("Unable to run %1: %2").arg(FRunner.ApplicationName, FRunner.StartError());
    else if (exitCode != 0)
        FErrorMsg = QStringLiteral("Exit Code: ") + QString::number(exitCode);
    else
        FErrorMsg.clear();
    FBusy = false;
    emit Finished();
}
