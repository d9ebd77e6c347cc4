#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <optional>

// Measures how much processor time one child process uses, from /proc/<pid>/stat.
struct TCPUUsageData {
    quint32 PID = 0;
    int Handle = -1;            // open descriptor of /proc/<pid>/stat; reads fail once the process is gone
    qint64 oldUser = 0;         // user time at the last reading, 100 ns units
    qint64 oldKernel = 0;       // kernel time at the last reading, 100 ns units
    quint32 LastUpdateTime = 0; // monotonic millisecond tick of the last reading (wraps)
    float LastUsage = 0;        // percent of one processor
    quint32 Tag = 0;            // free for the owner

    TCPUUsageData() = default;
    TCPUUsageData(const TCPUUsageData&) = delete;
    TCPUUsageData& operator=(const TCPUUsageData&) = delete;
    ~TCPUUsageData();
};

struct TProcessTimes {
    qint64 User = 0;   // 100 ns units
    qint64 Kernel = 0; // 100 ns units
};

using TCPUUsageCounter = std::unique_ptr<TCPUUsageData>;

// A monotonic millisecond tick count that wraps at 32 bits.
quint32 CurrentTickCount();

// The user and kernel times of a /proc/<pid>/stat text. The command name in
// parentheses may itself hold blanks and parentheses, so fields are counted
// after the last ')'.
std::optional<TProcessTimes> ParseProcStatTimes(const QByteArray& statText);

// Null when the process cannot be opened or its times cannot be read.
TCPUUsageCounter OpenUsageCounter(quint32 pid);
// Percent of one processor since the previous reading; readings closer than
// 250 ms to the previous one return the stored value.
float ReadCpuUsage(TCPUUsageData& counter);
float ReadCpuUsage(TCPUUsageData& counter, quint32 tickNow);
void CloseUsageCounter(TCPUUsageCounter& counter);
