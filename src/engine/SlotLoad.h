#pragma once

#include <QList>
#include <QString>

// What one encoder slot reports ten times a second during a run.
struct TSlotReading {
    bool Running = false;
    float CPUUsage = 0; // percent of one processor
    double Speed = 0;   // the speed of its latest progress line
};

// The run's summed speed and overall CPU usage over the running slots.
struct TSlotLoad {
    float CPUUsage = 0; // percent of the whole machine
    double Speed = 0;   // the sum, not the mean: two slots at 2x convert at 4x

    static TSlotLoad Sum(const QList<TSlotReading>& readings, int processorCount);

    // "CPU Usage: 50.00%", with the user's decimal separator
    QString CPUUsageText() const;
    // "Speed: 6.00x"
    QString SpeedText() const;
};
