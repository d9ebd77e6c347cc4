#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <optional>

// Measures how much processor time one child process uses, from /proc/<pid>/stat.
struct CpuUsageData {
    quint32 pid = 0;
    int handle = -1;            // open descriptor of /proc/<pid>/stat; reads fail once the process is gone
    qint64 lastBusyTicks = 0;   // user and kernel time at the last reading, clock ticks
    quint32 lastUpdateTime = 0; // monotonic millisecond tick of the last reading (wraps)
    float lastUsage = 0;        // percent of one processor

    CpuUsageData() = default;
    CpuUsageData(const CpuUsageData&) = delete;
    CpuUsageData& operator=(const CpuUsageData&) = delete;
    ~CpuUsageData();
};

// Clock ticks, as the kernel counts them (sysconf(_SC_CLK_TCK) per second).
struct ProcessTimes {
    qint64 user = 0;
    qint64 kernel = 0;
};

using CpuUsageCounter = std::unique_ptr<CpuUsageData>;

// A monotonic millisecond tick count that wraps at 32 bits.
quint32 currentTickCount();

// The user and kernel times of a /proc/<pid>/stat text. The command name in
// parentheses may itself hold blanks and parentheses, so fields are counted
// after the last ')'.
std::optional<ProcessTimes> parseProcStatTimes(const QByteArray& statText);

// Null when the process cannot be opened or its times cannot be read.
CpuUsageCounter openUsageCounter(quint32 pid);
// Percent of one processor since the previous reading; readings closer than
// 250 ms to the previous one return the stored value.
float readCpuUsage(CpuUsageData& counter);
float readCpuUsage(CpuUsageData& counter, quint32 tickNow);
void closeUsageCounter(CpuUsageCounter& counter);
