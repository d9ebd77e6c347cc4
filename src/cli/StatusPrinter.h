#pragma once

#include "engine/RunProgress.h"
#include "engine/SlotLoad.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdio>

class TConversionEngine;

// What velmo-convert shows while it runs. On a terminal one status line is
// rewritten in place (at most ten times a second) and every finished file gets a
// line of its own above it; otherwise only plain lines are written.
class TStatusPrinter : public QObject {
    Q_OBJECT
public:
    TStatusPrinter(TConversionEngine& engine, bool liveStatus, QObject* parent = nullptr);

    // A line on standard output (standard error when isError), kept clear of the status line.
    void PrintLine(const QString& line, bool isError = false);
    // Removes the status line before the program ends.
    void Finish();

private:
    void ShowFinishedFile(int row, int icon, const QString& text);
    void Refresh(bool force = false);
    void ClearStatus();

    TConversionEngine& FEngine;
    bool FLiveStatus = false;
    bool FStatusShown = false;
    QElapsedTimer FLastRefresh;
};
