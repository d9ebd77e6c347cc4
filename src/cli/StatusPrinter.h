#pragma once

#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"
#include "model/RowState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdio>

class ConversionRun;
class FileListModel;

// What velmo-convert shows while it runs. On a terminal one status line is
// rewritten in place (at most ten times a second) and every finished file gets a
// line of its own above it; otherwise only plain lines are written.
class StatusPrinter : public QObject {
    Q_OBJECT
public:
    StatusPrinter(const FileListModel& files, const ConversionRun& run, bool liveStatus,
                  QObject* parent = nullptr);

    // A line on standard output (standard error when isError), kept clear of the status line.
    void printLine(const QString& line, bool isError = false);
    // Removes the status line before the program ends.
    void finish();

private:
    void showFinishedFile(int row, JobOutcome outcome);
    void refresh(bool force = false);
    void clearStatus();

    const FileListModel& m_files;
    const ConversionRun& m_run;
    bool m_liveStatus = false;
    bool m_statusShown = false;
    QElapsedTimer m_lastRefresh;
};
