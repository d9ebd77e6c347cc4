#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <optional>

// Measures how much processor time one child process uses, from /proc/<pid>/stat.
struct CpuUsageData {
    quint32 pid = 0;
    int handle = -1;            // open descriptor of /proc/<pid>/stat; reads fail once the process is gone
    qint64 oldUser = 0;         // user time at the last reading, 100 ns units
    qint64 oldKernel = 0;       // kernel time at the last reading, 100 ns units
    quint32 lastUpdateTime = 0; // monotonic millisecond tick of the last reading (wraps)
    float lastUsage = 0;        // percent of one processor
    quint32 tag = 0;            // free for the owner

    CpuUsageData() = default;
    CpuUsageData(const CpuUsageData&) = delete;
    CpuUsageData& operator=(const CpuUsageData&) = delete;
    ~CpuUsageData();
};

struct ProcessTimes {
    qint64 user = 0;   // 100 ns units
    qint64 kernel = 0; // 100 ns units
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
