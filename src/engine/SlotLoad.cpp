#include "engine/SlotLoad.h"

#include <QLocale>

SlotLoad SlotLoad::sum(const QList<SlotReading>& readings, int processorCount) {
    double cpuSum = 0;
    SlotLoad load;
    for (const SlotReading& reading : readings) {
        if (!reading.running)
            continue;
        cpuSum += reading.cpuUsage;
        load.speed += reading.speed;
    }
    load.cpuUsage = float(cpuSum / qMax(1, processorCount));
    return load;
}

QString SlotLoad::cpuUsageText() const {
    // "%5.2f": at least five characters, padded with blanks on the left.
    return QStringLiteral("CPU Usage: %1%").arg(QLocale().toString(double(cpuUsage), 'f', 2), 5);
}

QString SlotLoad::speedText() const {
    return QStringLiteral("Speed: %1x").arg(QLocale().toString(double(speed), 'f', 2));
}
