#include "engine/SlotLoad.h"

#include <QLocale>

TSlotLoad TSlotLoad::Sum(const QList<TSlotReading>& readings, int processorCount) {
    double cpuSum = 0;
    TSlotLoad load;
    for (const TSlotReading& reading : readings) {
        if (!reading.Running)
            continue;
        cpuSum += reading.CPUUsage;
        load.Speed += reading.Speed;
    }
    load.CPUUsage = float(cpuSum / qMax(1, processorCount));
    return load;
}

QString TSlotLoad::CPUUsageText() const {
    // "%5.2f": at least five characters, padded with blanks on the left.
    return QStringLiteral("CPU Usage: %1%").arg(QLocale().toString(double(CPUUsage), 'f', 2), 5);
}

QString TSlotLoad::SpeedText() const {
    return QStringLiteral("Speed: %1x").arg(QLocale().toString(double(Speed), 'f', 2));
}
