#pragma once

#include <QString>
#include <QStringList>

// The machine facts written to the log at start-up, for support: processor,
// memory, firmware, screen, special folders and the mounted local disks.

// Writes the facts, one information entry per line. A failure ends the list
// and is logged with the location "TMainForm.logHardwareInfo".
void logHardwareInfo();

namespace HardwareInfo {

struct MemoryInfo {
    qint64 totalBytes = 0;
    qint64 availableBytes = 0;
};

// The processor name from /proc/cpuinfo text; empty when it names none.
QString cpuNameFromCpuInfo(const QString& cpuInfo);
// Total and available memory from /proc/meminfo text.
MemoryInfo memoryFromMemInfo(const QString& memInfo);
// "Drive: <mount point> = Free Space :<free> Used Space: <used> Total Space: <total>";
// used is total minus free while the program may still write there, else 0.
QString driveSpaceLine(const QString& mountPoint, qint64 freeBytes, qint64 availableBytes, qint64 totalBytes);

// Every line logHardwareInfo writes, in order.
QStringList lines();

} // namespace HardwareInfo
