#pragma once

#include <QString>
#include <QStringList>

// The machine facts written to the log at start-up, for support: processor,
// memory, firmware, screen, special folders and the mounted local disks.

// Writes the facts, one information entry per line. A failure ends the list
// and is logged with the location "TMainForm.LogHardwareInfo".
void LogHardwareInfo();

namespace HardwareInfo {

struct MemoryInfo {
    qint64 TotalBytes = 0;
    qint64 AvailableBytes = 0;
};

// The processor name from /proc/cpuinfo text; empty when it names none.
QString CpuNameFromCpuInfo(const QString& cpuInfo);
// Total and available memory from /proc/meminfo text.
MemoryInfo MemoryFromMemInfo(const QString& memInfo);
// "Drive: <mount point> = Free Space :<free> Used Space: <used> Total Space: <total>";
// used is total minus free while the program may still write there, else 0.
QString DriveSpaceLine(const QString& mountPoint, qint64 freeBytes, qint64 availableBytes, qint64 totalBytes);

// Every line LogHardwareInfo writes, in order.
QStringList Lines();

} // namespace HardwareInfo
