#include "base/CpuUsage.h"

#include <QElapsedTimer>
#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

qint64 ticksPerSecond() {
    static const qint64 ticks = [] {
        const long value = ::sysconf(_SC_CLK_TCK);
        return value > 0 ? qint64(value) : qint64(100);
    }();
    return ticks;
}

qint64 busyTicks(const ProcessTimes& times) {
    return times.user + times.kernel;
}

// Reads the whole stat text through the open descriptor; fails once the process
// is gone.
std::optional<ProcessTimes> readTimes(int fd) {
    char buffer[1024];
    ssize_t n;
    do {
        n = ::pread(fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return std::nullopt;
    return parseProcStatTimes(QByteArray::fromRawData(buffer, qsizetype(n)));
}

} // namespace

CpuUsageData::~CpuUsageData() {
    if (handle >= 0)
        ::close(handle);
}

quint32 currentTickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    // A fixed offset keeps the count away from 0 at program start, so a counter
    // opened then is not mistaken for one never read.
    return quint32(clock.elapsed() + 1000000);
}

std::optional<ProcessTimes> parseProcStatTimes(const QByteArray& statText) {
    // After the command name: state(3) ppid pgrp session tty_nr tpgid flags
    // minflt cminflt majflt cmajflt utime(14) stime(15).
    constexpr int utimeIndex = 11;
    constexpr int stimeIndex = 12;
    const qsizetype close = statText.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = statText.mid(close + 1).simplified().split(' ');
    if (fields.size() <= stimeIndex)
        return std::nullopt;
    bool userOk = false;
    bool kernelOk = false;
    const qint64 userTicks = fields[utimeIndex].toLongLong(&userOk);
    const qint64 kernelTicks = fields[stimeIndex].toLongLong(&kernelOk);
    if (!userOk || !kernelOk || userTicks < 0 || kernelTicks < 0)
        return std::nullopt;
    return ProcessTimes{userTicks, kernelTicks};
}

CpuUsageCounter openUsageCounter(quint32 pid) {
    if (pid == 0)
        return nullptr;
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto counter = std::make_unique<CpuUsageData>();
    counter->handle = fd;
    const std::optional<ProcessTimes> times = readTimes(fd);
    if (!times)
        return nullptr;
    counter->pid = pid;
    counter->lastUpdateTime = currentTickCount();
    counter->lastUsage = 0;
    counter->lastBusyTicks = busyTicks(*times);
    return counter;
}

float readCpuUsage(CpuUsageData& counter) {
    return readCpuUsage(counter, currentTickCount());
}

float readCpuUsage(CpuUsageData& counter, quint32 tickNow) {
    constexpr quint32 minimumIntervalMs = 250;
    const quint32 elapsed = tickNow - counter.lastUpdateTime;
    if (elapsed < minimumIntervalMs)
        return counter.lastUsage;
    counter.lastUpdateTime = tickNow;
    const std::optional<ProcessTimes> times = readTimes(counter.handle);
    if (!times)
        return counter.lastUsage;
    const qint64 delta = busyTicks(*times) - counter.lastBusyTicks;
    counter.lastBusyTicks = busyTicks(*times);
    // One processor busy for the whole interval gives 100.
    const double busyMs = double(delta) * 1000.0 / double(ticksPerSecond());
    counter.lastUsage = float(busyMs / double(elapsed) * 100.0);
    return counter.lastUsage;
}

void closeUsageCounter(CpuUsageCounter& counter) {
    counter.reset();
}
