#pragma once

#include <QList>
#include <QString>

// What one encoder slot reports ten times a second during a run.
struct SlotReading {
    bool running = false;
    float cpuUsage = 0; // percent of one processor
    double speed = 0;   // the speed of its latest progress line
};

// The run's summed speed and overall CPU usage over the running slots.
struct SlotLoad {
    float cpuUsage = 0; // percent of the whole machine
    double speed = 0;   // the sum, not the mean: two slots at 2x convert at 4x

    static SlotLoad sum(const QList<SlotReading>& readings, int processorCount);

    // "CPU Usage: 50.00%", with the user's decimal separator
    QString cpuUsageText() const;
    // "Speed: 6.00x"
    QString speedText() const;
};
