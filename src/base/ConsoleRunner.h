#pragma once

#include "base/ConsoleLineAssembler.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs one console program at a time without blocking: output and error output
// come through one channel, are assembled into lines (ConsoleLineAssembler) and
// delivered as onRead signals; the end arrives as one onTerminate signal after
// all output was delivered. Both signals are emitted on the thread that owns the
// runner (the main thread). The same runner is reused for the next program.
class ConsoleRunner : public QObject {
    Q_OBJECT
public:
    enum class State { Ready, Waiting };

    // Exit codes of our own for runs that never reached the program's own end;
    // the logs and the error list have always shown these numbers.
    static constexpr quint32 StartFailedExitCode = 0xFFFFFFFFu; // could not be started at all
    static constexpr quint32 AbortedExitCode = 1223;            // stopped on the owner's request
    // Unread output kept while the main thread is busy; older output is dropped beyond it.
    static constexpr qsizetype MaxPendingBytes = 131072;

    explicit ConsoleRunner(QObject* parent = nullptr);
    // Stops listening and kills a child that still runs, so that no converter
    // outlives the program.
    ~ConsoleRunner() override;

    QString applicationName;   // full path of the program
    QStringList arguments;     // every argument exactly as the program receives it
    QString commandLine;       // readable text of the call, kept for logs and dumps
    QString currentDirectory;  // empty: the parent's
    QStringList consoleOutput; // every line so far; callers may clear it or insert lines
    bool idlePriority = true;  // run the child at the lowest processor and I/O priority

    // Starts the program and returns at once. False with errorString() "Cannot
    // perform this operation when process is running" while a child runs. A
    // program that cannot be started is not an error here: it ends like any
    // other run, with onTerminate(StartFailedExitCode) and startError() set.
    bool run();
    // Ends the running child (killed at once, or asked to end with SIGTERM when
    // graceful); its end is reported with exit code 0.
    void terminate(bool graceful = false);

    State state() const { return m_state; }
    qint64 processId() const; // 0 when no child runs
    QString errorString() const { return m_errorString; }
    // Why the last program could not be started; empty when it started.
    QString startError() const { return m_startError; }

signals:
    void onRead(ConsoleRunner* runner, const QString& line, bool startsOnNewLine);
    void onTerminate(ConsoleRunner* runner, quint32 exitCode);

private:
    void readAvailable();
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void processError(QProcess::ProcessError error);
    void finish(quint32 exitCode);

    QProcess* m_process = nullptr;
    ConsoleLineAssembler m_assembler;
    State m_state = State::Ready;
    bool m_terminatedByCaller = false;
    QString m_errorString;
    QString m_startError;
};
