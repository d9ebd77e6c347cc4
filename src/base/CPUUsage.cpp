#include "base/CPUUsage.h"

#include <QElapsedTimer>
#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads the whole stat text through the open descriptor; fails once the process
// is gone.
std::optional<TProcessTimes> ReadTimes(int fd) {
    char buffer[1024];
    ssize_t n;
    do {
        n = ::pread(fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return std::nullopt;
    return ParseProcStatTimes(QByteArray::fromRawData(buffer, qsizetype(n)));
}

} // namespace

TCPUUsageData::~TCPUUsageData() {
    if (Handle >= 0)
        ::close(Handle);
}

quint32 CurrentTickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    // A fixed offset keeps the count away from 0 at program start, so a counter
    // opened then is not mistaken for one never read.
    return quint32(clock.elapsed() + 1000000);
}

std::optional<TProcessTimes> ParseProcStatTimes(const QByteArray& statText) {
    // After the command name: state(3) ppid pgrp session tty_nr tpgid flags
    // minflt cminflt majflt cmajflt utime(14) stime(15).
    constexpr int UtimeIndex = 11;
    constexpr int StimeIndex = 12;
    const qsizetype close = statText.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = statText.mid(close + 1).simplified().split(' ');
    if (fields.size() <= StimeIndex)
        return std::nullopt;
    bool userOk = false;
    bool kernelOk = false;
    const qint64 userTicks = fields[UtimeIndex].toLongLong(&userOk);
    const qint64 kernelTicks = fields[StimeIndex].toLongLong(&kernelOk);
    if (!userOk || !kernelOk || userTicks < 0 || kernelTicks < 0)
        return std::nullopt;
    static const qint64 ticksPerSecond = [] {
        const long value = ::sysconf(_SC_CLK_TCK);
        return value > 0 ? qint64(value) : qint64(100);
    }();
    constexpr qint64 UnitsPerSecond = 10000000; // 100 ns units
    return TProcessTimes{userTicks * UnitsPerSecond / ticksPerSecond,
                         kernelTicks * UnitsPerSecond / ticksPerSecond};
}

TCPUUsageCounter OpenUsageCounter(quint32 pid) {
    if (pid == 0)
        return nullptr;
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto counter = std::make_unique<TCPUUsageData>();
    counter->Handle = fd;
    const std::optional<TProcessTimes> times = ReadTimes(fd);
    if (!times)
        return nullptr;
    counter->PID = pid;
    counter->LastUpdateTime = CurrentTickCount();
    counter->LastUsage = 0;
    counter->oldUser = times->User;
    counter->oldKernel = times->Kernel;
    return counter;
}

float ReadCpuUsage(TCPUUsageData& counter) {
    return ReadCpuUsage(counter, CurrentTickCount());
}

float ReadCpuUsage(TCPUUsageData& counter, quint32 tickNow) {
    constexpr quint32 MinimumIntervalMs = 250;
    const quint32 elapsed = tickNow - counter.LastUpdateTime;
    if (elapsed < MinimumIntervalMs)
        return counter.LastUsage;
    counter.LastUpdateTime = tickNow;
    const std::optional<TProcessTimes> times = ReadTimes(counter.Handle);
    if (!times)
        return counter.LastUsage;
    const qint64 delta = (times->User + times->Kernel) - (counter.oldUser + counter.oldKernel);
    counter.oldUser = times->User;
    counter.oldKernel = times->Kernel;
    // delta is in 100 ns units and elapsed in milliseconds: one busy processor gives 100.
    counter.LastUsage = float(double(delta) / double(elapsed) / 100.0);
    return counter.LastUsage;
}

void CloseUsageCounter(TCPUUsageCounter& counter) {
    counter.reset();
}
