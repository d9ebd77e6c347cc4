#include "base/ConsoleRunner.h"

#include "base/CommandLineSplit.h"
#include "base/Log.h"

#include <QMetaObject>
#include <csignal>
#include <exception>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The functions below run in the child between fork and exec, so only raw
// system calls are made.

// The converter must not slow down the desktop: lowest processor priority and
// the idle I/O class.
void LowerChildPriority() {
    constexpr long IoprioWhoProcess = 1;
    constexpr long IoprioClassIdle = 3;
    constexpr long IoprioClassShift = 13;
    ::syscall(SYS_setpriority, PRIO_PROCESS, 0, 19);
    ::syscall(SYS_ioprio_set, IoprioWhoProcess, 0, IoprioClassIdle << IoprioClassShift);
}

// A terminal's Ctrl+C goes to its whole foreground process group. ffmpeg would
// take it as its own order to finish the file and exit with an error, racing
// our Stop: a stopped file could end up as failed, or the next file could start.
// In a group of its own the child hears only from us.
void LeaveParentProcessGroup() {
    ::setpgid(0, 0);
}

// Out of our group, a child no longer dies with us when we are killed outright
// or crash; it would convert on, unseen, into a file nobody renames. The kernel
// kills it when the thread that started it ends, which for a runner is its
// owner's thread: that thread outlives every child it waits for.
void DieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) // the parent ended before the line above
        ::_exit(127);
}

// A child killed by a signal it did not ask for must never read as success.
quint32 ExitCodeOf(const QProcess& process) {
    if (process.exitStatus() == QProcess::CrashExit)
        return 128u + quint32(process.exitCode());
    return quint32(process.exitCode());
}

} // namespace

TConsoleRunner::TConsoleRunner(QObject* parent) : QObject(parent), FAssembler(ConsoleOutput) {
    FAssembler.SetLineHandler([this](const QString& line, bool startsOnNewLine) {
        try {
            emit OnRead(this, line, startsOnNewLine);
        } catch (const std::exception& e) {
            LogException(QStringLiteral("TConsoleRunner.OnRead"), QString::fromUtf8(e.what()));
        }
    });
}

TConsoleRunner::~TConsoleRunner() {
    if (FProcess) {
        FProcess->disconnect(this);
        if (FProcess->state() != QProcess::NotRunning) {
            FProcess->kill();
            FProcess->waitForFinished(5000);
        }
        delete FProcess;
    }
}

bool TConsoleRunner::Run() {
    if (FState == TState::Waiting) {
        FErrorString = QStringLiteral("Cannot perform this operation when process is running");
        return false;
    }
    FErrorString.clear();
    FStartError.clear();
    FExitCode = 0;
    FTerminatedByCaller = false;
    FAssembler.Reset();

    if (FProcess) {
        FProcess->disconnect(this);
        FProcess->deleteLater();
    }
    FProcess = new QProcess(this);
    FProcess->setProcessChannelMode(QProcess::MergedChannels);
    FProcess->setStandardInputFile(QProcess::nullDevice());
    const QString directory = CurrentDirectory.trimmed();
    if (!directory.isEmpty())
        FProcess->setWorkingDirectory(directory);
    FProcess->setChildProcessModifier([idle = IdlePriority, parent = ::getpid()] {
        LeaveParentProcessGroup();
        DieWithParent(parent);
        if (idle)
            LowerChildPriority();
    });
    connect(FProcess, &QProcess::readyReadStandardOutput, this, &TConsoleRunner::ReadAvailable);
    connect(FProcess, &QProcess::finished, this, &TConsoleRunner::ProcessFinished);
    connect(FProcess, &QProcess::errorOccurred, this, &TConsoleRunner::ProcessError);

    FState = TState::Waiting;
    FProcess->start(ApplicationName.trimmed(), Arguments, QIODevice::ReadOnly);
    return true;
}

void TConsoleRunner::Terminate(bool graceful) {
    if (FState != TState::Waiting || !FProcess || FProcess->state() == QProcess::NotRunning)
        return;
    FTerminatedByCaller = true;
    if (graceful)
        FProcess->terminate();
    else
        FProcess->kill();
}

qint64 TConsoleRunner::ProcessId() const {
    if (FState != TState::Waiting || !FProcess)
        return 0;
    return FProcess->processId();
}

void TConsoleRunner::ReadAvailable() {
    QByteArray data = FProcess->readAll();
    // When the main thread fell far behind, the oldest unread output goes; the
    // status line that matters is the newest one.
    if (data.size() > MaxPendingBytes)
        data = data.last(MaxPendingBytes);
    FAssembler.Feed(data);
}

void TConsoleRunner::ProcessFinished(int, QProcess::ExitStatus) {
    ReadAvailable();
    FAssembler.Finish();
    Finish(FTerminatedByCaller ? 0u : ExitCodeOf(*FProcess));
}

void TConsoleRunner::ProcessError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return; // a crash or a broken pipe still ends in finished()
    FStartError = FProcess->errorString();
    // Reported like any other end, and never from inside Run(), so a caller's
    // bookkeeping runs in its usual order.
    QMetaObject::invokeMethod(
        this, [this] { Finish(StartFailedExitCode); }, Qt::QueuedConnection);
}

void TConsoleRunner::Finish(quint32 exitCode) {
    if (FState != TState::Waiting)
        return;
    FState = TState::Ready;
    FExitCode = exitCode;
    try {
        emit OnTerminate(this, exitCode);
    } catch (const std::exception& e) {
        LogException(QStringLiteral("TConsoleRunner.OnTerminate"), QString::fromUtf8(e.what()));
    }
}

quint32 RunAndWait(const QString& commandLineText, std::atomic_bool* abortFlag) {
    QStringList arguments = SplitCommandLine(commandLineText);
    if (arguments.isEmpty()) {
        if (abortFlag)
            abortFlag->store(false);
        return TConsoleRunner::StartFailedExitCode;
    }
    const QString program = arguments.takeFirst();
    return RunAndWait(program, arguments, abortFlag);
}

quint32 RunAndWait(const QString& program, const QStringList& arguments, std::atomic_bool* abortFlag) {
    if (abortFlag)
        abortFlag->store(false);
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return TConsoleRunner::StartFailedExitCode;
    constexpr int PollMs = 20;
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(PollMs)) {
        if (abortFlag && abortFlag->load()) {
            process.kill();
            process.waitForFinished(-1);
            return RunAndWaitAbortedExitCode;
        }
    }
    return ExitCodeOf(process);
}
