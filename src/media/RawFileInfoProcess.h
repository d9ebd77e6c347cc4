#pragma once

#include "base/ConsoleRunner.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Runs ffprobe once for one file and collects everything it prints about the
// container and each stream, in its INI form, for the file-information window.
class RawFileInfoProcess : public QObject {
    Q_OBJECT

public:
    // ffprobePath: the probe tool's full path.
    explicit RawFileInfoProcess(const QString& ffprobePath, QObject* parent = nullptr);

    // Clears what an earlier run collected and starts the tool; returns at once.
    // Finished() follows in every case, also when the tool cannot be started.
    void start(const QString& fileName);
    // Ends the tool if it is running.
    void stop();

    bool isBusy() const;
    QString fileName() const { return m_fileName; }
    // The tool's output lines, in order.
    const QStringList& dataLines() const { return m_runner.consoleOutput; }
    // Empty after a run that ended with exit code 0.
    QString errorText() const { return m_errorText; }

    // The tool's arguments for a file: the path is one argument, made absolute so
    // that neither a leading "-" nor a "name:" prefix can be read as anything else.
    static QStringList probeArguments(const QString& fileName);

signals:
    void finished();

private:
    void processTerminate(ConsoleRunner* runner, quint32 exitCode);

    ConsoleRunner m_runner;
    QString m_fileName;
    QString m_errorText;
    bool m_busy = false;
};
