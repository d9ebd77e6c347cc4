#pragma once

#include "base/ConsoleLineAssembler.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>

// Runs one console program at a time without blocking: output and error output
// come through one channel, are assembled into lines (TConsoleLineAssembler) and
// delivered as OnRead signals; the end arrives as one OnTerminate signal after
// all output was delivered. Both signals are emitted on the thread that owns the
// runner (the main thread). The same runner is reused for the next program.
class TConsoleRunner : public QObject {
    Q_OBJECT
public:
    enum class TState { Ready, Waiting };

    // Exit code reported when the program could not be started at all.
    static constexpr quint32 StartFailedExitCode = 0xFFFFFFFFu;
    // Unread output kept while the main thread is busy; older output is dropped beyond it.
    static constexpr qsizetype MaxPendingBytes = 131072;

    explicit TConsoleRunner(QObject* parent = nullptr);
    // Stops listening and kills a child that still runs, so that no converter
    // outlives the program.
    ~TConsoleRunner() override;

    QString ApplicationName;   // full path of the program
    QStringList Arguments;     // every argument exactly as the program receives it
    QString CommandLine;       // readable text of the call, kept for logs and dumps
    QString CurrentDirectory;  // empty: the parent's
    QStringList ConsoleOutput; // every line so far; callers may clear it or insert lines
    bool IdlePriority = true;  // run the child at the lowest processor and I/O priority

    // Starts the program and returns at once. False with ErrorString() "Cannot
    // perform this operation when process is running" while a child runs. A
    // program that cannot be started is not an error here: it ends like any
    // other run, with OnTerminate(StartFailedExitCode) and StartError() set.
    bool Run();
    // Ends the running child (killed at once, or asked to end with SIGTERM when
    // graceful); its end is reported with exit code 0.
    void Terminate(bool graceful = false);

    TState State() const { return FState; }
    qint64 ProcessId() const; // 0 when no child runs
    quint32 ExitCode() const { return FExitCode; }
    QString ErrorString() const { return FErrorString; }
    // Why the last program could not be started; empty when it started.
    QString StartError() const { return FStartError; }

signals:
    void OnRead(TConsoleRunner* runner, const QString& line, bool startsOnNewLine);
    void OnTerminate(TConsoleRunner* runner, quint32 exitCode);

private:
    void ReadAvailable();
    void ProcessFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void ProcessError(QProcess::ProcessError error);
    void Finish(quint32 exitCode);

    QProcess* FProcess = nullptr;
    TConsoleLineAssembler FAssembler;
    TState FState = TState::Ready;
    quint32 FExitCode = 0;
    bool FTerminatedByCaller = false;
    QString FErrorString;
    QString FStartError;
};

// Exit code of RunAndWait when the abort flag stopped the program.
inline constexpr quint32 RunAndWaitAbortedExitCode = 1223;

// Runs one command-line text to its end on the calling thread (blocking, no
// events processed) and returns its exit code. The text is split by the Windows
// command-line rules; its first token is the program. Output is thrown away.
// The abort flag, when given, is cleared at the start; setting it from another
// thread kills the program and gives 1223. A program that cannot be started
// gives 0xFFFFFFFF.
quint32 RunAndWait(const QString& commandLineText, std::atomic_bool* abortFlag = nullptr);
// The same for an argument list that is already split.
quint32 RunAndWait(const QString& program, const QStringList& arguments,
                   std::atomic_bool* abortFlag = nullptr);
