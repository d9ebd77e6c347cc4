#pragma once

#include "base/ConsoleRunner.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Runs ffprobe once for one file and collects everything it prints about the
// container and each stream, in its INI form, for the file-information window.
class TRawFileInfoProcess : public QObject {
    Q_OBJECT

public:
    // ffprobePath: the probe tool's full path.
    explicit TRawFileInfoProcess(const QString& ffprobePath, QObject* parent = nullptr);

    // Clears what an earlier run collected and starts the tool; returns at once.
    // Finished() follows in every case, also when the tool cannot be started.
    void Start(const QString& fileName);
    // Ends the tool if it is running.
    void Stop();

    bool IsBusy() const;
    QString FileName() const { return FFileName; }
    // The tool's output lines, in order.
    const QStringList& DataLines() const { return FRunner.ConsoleOutput; }
    // Empty after a run that ended with exit code 0.
    QString ErrorMsg() const { return FErrorMsg; }

    // The tool's arguments for a file: the path is one argument, made absolute so
    // that neither a leading "-" nor a "name:" prefix can be read as anything else.
    static QStringList ProbeArguments(const QString& fileName);

signals:
    void Finished();

private:
    void ProcessTerminate(TConsoleRunner* runner, quint32 exitCode);

    TConsoleRunner FRunner;
    QString FFileName;
    QString FErrorMsg;
    bool FBusy = false;
};
