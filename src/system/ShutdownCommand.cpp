#include "system/ShutdownCommand.h"

#include "base/CommandLineSplit.h"
#include "base/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMutex>
#include <QProcess>

namespace ShutdownCommand {

namespace {

QMutex commandLock;
QStringList replacement;

bool runProgram(const QStringList& command, QString* error) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (!process.waitForStarted()) {
        if (error)
            *error = process.errorString();
        return false;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("%1 exited with code %2").arg(command.first()).arg(process.exitCode());
        return false;
    }
    return true;
}

} // namespace

void setCommand(const QStringList& programAndArguments) {
    const QMutexLocker locker(&commandLock);
    replacement = programAndArguments;
}

QStringList replacementCommand() {
    {
        const QMutexLocker locker(&commandLock);
        if (!replacement.isEmpty())
            return replacement;
    }
    const QString fromEnvironment = qEnvironmentVariable("VELMO_SHUTDOWN_COMMAND");
    return fromEnvironment.trimmed().isEmpty() ? QStringList() : splitCommandLine(fromEnvironment);
}

bool run(QString* error) {
    const QStringList command = replacementCommand();
    if (!command.isEmpty()) {
        logInfo(QStringLiteral("Shutdown command: ") + command.join(u' '));
        return runProgram(command, error);
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive: no authentication dialog
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    logWarning(QStringLiteral("logind PowerOff failed: ") + reply.errorMessage());
    return runProgram({QStringLiteral("systemctl"), QStringLiteral("poweroff")}, error);
}

} // namespace ShutdownCommand
