#include "base/ConsoleRunner.h"

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
void lowerChildPriority() {
    constexpr long ioprioWhoProcess = 1;
    constexpr long ioprioClassIdle = 3;
    constexpr long ioprioClassShift = 13;
    ::syscall(SYS_setpriority, PRIO_PROCESS, 0, 19);
    ::syscall(SYS_ioprio_set, ioprioWhoProcess, 0, ioprioClassIdle << ioprioClassShift);
}

// A terminal's Ctrl+C goes to its whole foreground process group. ffmpeg would
// take it as its own order to finish the file and exit with an error, racing
// our Stop: a stopped file could end up as failed, or the next file could start.
// In a group of its own the child hears only from us.
void leaveParentProcessGroup() {
    ::setpgid(0, 0);
}

// Out of our group, a child no longer dies with us when we are killed outright
// or crash; it would convert on, unseen, into a file nobody renames. The kernel
// kills it when the thread that started it ends, which for a runner is its
// owner's thread: that thread outlives every child it waits for.
void dieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) // the parent ended before the line above
        ::_exit(127);
}

// A child killed by a signal it did not ask for must never read as success.
quint32 exitCodeOf(const QProcess& process) {
    if (process.exitStatus() == QProcess::CrashExit)
        return 128u + quint32(process.exitCode());
    return quint32(process.exitCode());
}

} // namespace

ConsoleRunner::ConsoleRunner(QObject* parent) : QObject(parent), m_assembler(consoleOutput) {
    m_assembler.setLineHandler([this](const QString& line, bool startsOnNewLine) {
        try {
            emit onRead(this, line, startsOnNewLine);
        } catch (const std::exception& e) {
            logException(QStringLiteral("TConsoleRunner.OnRead"), QString::fromUtf8(e.what()));
        }
    });
}

ConsoleRunner::~ConsoleRunner() {
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        delete m_process;
    }
}

bool ConsoleRunner::run() {
    if (m_state == State::Waiting) {
        m_errorString = QStringLiteral("Cannot perform this operation when process is running");
        return false;
    }
    m_errorString.clear();
    m_startError.clear();
    m_terminatedByCaller = false;
    m_assembler.reset();

    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    const QString directory = currentDirectory.trimmed();
    if (!directory.isEmpty())
        m_process->setWorkingDirectory(directory);
    m_process->setChildProcessModifier([idle = idlePriority, parent = ::getpid()] {
        leaveParentProcessGroup();
        dieWithParent(parent);
        if (idle)
            lowerChildPriority();
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ConsoleRunner::readAvailable);
    connect(m_process, &QProcess::finished, this, &ConsoleRunner::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ConsoleRunner::processError);

    m_state = State::Waiting;
    m_process->start(applicationName.trimmed(), arguments, QIODevice::ReadOnly);
    return true;
}

void ConsoleRunner::terminate(bool graceful) {
    if (m_state != State::Waiting || !m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_terminatedByCaller = true;
    if (graceful)
        m_process->terminate();
    else
        m_process->kill();
}

qint64 ConsoleRunner::processId() const {
    if (m_state != State::Waiting || !m_process)
        return 0;
    return m_process->processId();
}

void ConsoleRunner::readAvailable() {
    QByteArray data = m_process->readAll();
    // When the main thread fell far behind, the oldest unread output goes; the
    // status line that matters is the newest one.
    if (data.size() > MaxPendingBytes)
        data = data.last(MaxPendingBytes);
    m_assembler.feed(data);
}

void ConsoleRunner::processFinished(int, QProcess::ExitStatus) {
    readAvailable();
    m_assembler.finish();
    finish(m_terminatedByCaller ? 0u : exitCodeOf(*m_process));
}

void ConsoleRunner::processError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return; // a crash or a broken pipe still ends in finished()
    m_startError = m_process->errorString();
    // Reported like any other end, and never from inside Run(), so a caller's
    // bookkeeping runs in its usual order.
    QMetaObject::invokeMethod(
        this, [this] { finish(StartFailedExitCode); }, Qt::QueuedConnection);
}

void ConsoleRunner::finish(quint32 exitCode) {
    if (m_state != State::Waiting)
        return;
    m_state = State::Ready;
    try {
        emit onTerminate(this, exitCode);
    } catch (const std::exception& e) {
        logException(QStringLiteral("TConsoleRunner.OnTerminate"), QString::fromUtf8(e.what()));
    }
}
