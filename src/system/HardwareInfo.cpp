#include "system/HardwareInfo.h"

#include "base/Log.h"
#include "base/TextFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <exception>

namespace {

QString readTextFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString firmwareText(const char* name) {
    return readTextFile(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(name)).trimmed();
}

QString joinNonEmpty(const QStringList& parts) {
    QStringList kept;
    for (const QString& part : parts) {
        if (!part.isEmpty())
            kept << part;
    }
    return kept.join(u' ');
}

QString location(QStandardPaths::StandardLocation kind) {
    return QStandardPaths::writableLocation(kind);
}

// Local disks take the place of drive letters: mounted block devices, in
// mount-point order. Loop devices are images (snaps and the like), not disks.
QList<QStorageInfo> localDisks() {
    QList<QStorageInfo> disks;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& volume : volumes) {
        const QString device = QString::fromLocal8Bit(volume.device());
        if (volume.isValid() && volume.isReady() && device.startsWith(QLatin1String("/dev/")) &&
            !device.startsWith(QLatin1String("/dev/loop")))
            disks << volume;
    }
    std::sort(disks.begin(), disks.end(),
              [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
    return disks;
}

} // namespace

namespace HardwareInfo {

QString cpuNameFromCpuInfo(const QString& cpuInfo) {
    // x86 names the model; several ARM kernels only name the hardware.
    for (const char* key : {"model name", "Hardware", "Processor", "cpu model"}) {
        const QRegularExpression line(QStringLiteral("^%1\\s*:\\s*(.+)$").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(cpuInfo);
        if (match.hasMatch())
            return match.captured(1).trimmed();
    }
    return QString();
}

MemoryInfo memoryFromMemInfo(const QString& memInfo) {
    const auto kibibytes = [&memInfo](const char* key) -> qint64 {
        const QRegularExpression line(QStringLiteral("^%1:\\s*(\\d+)\\s*kB").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(memInfo);
        return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : -1;
    };
    MemoryInfo info;
    info.totalBytes = qMax<qint64>(0, kibibytes("MemTotal"));
    info.availableBytes = kibibytes("MemAvailable");
    if (info.availableBytes < 0) // kernels before 3.14
        info.availableBytes = qMax<qint64>(0, kibibytes("MemFree"));
    return info;
}

QString driveSpaceLine(const QString& mountPoint, qint64 freeBytes, qint64 availableBytes,
                       qint64 totalBytes) {
    const qint64 usedBytes = availableBytes > 0 ? totalBytes - freeBytes : 0;
    return QStringLiteral("Drive: ") + mountPoint + QStringLiteral(" = Free Space :") +
           formatByteSize(freeBytes) + QStringLiteral(" Used Space: ") + formatByteSize(usedBytes) +
           QStringLiteral(" Total Space: ") + formatByteSize(totalBytes);
}

QStringList lines() {
    QStringList lines;
    QString cpuName = cpuNameFromCpuInfo(readTextFile(QStringLiteral("/proc/cpuinfo")));
    if (cpuName.isEmpty())
        cpuName = QSysInfo::currentCpuArchitecture();
    lines << QStringLiteral("CPU.Name: ") + cpuName;
    lines << QStringLiteral("CPU.ProcessorCount: ") + QString::number(QThread::idealThreadCount());

    const MemoryInfo memory = memoryFromMemInfo(readTextFile(QStringLiteral("/proc/meminfo")));
    lines << QStringLiteral("Memory.TotalPhysicalMemory: ") + formatByteSize(memory.totalBytes);
    lines << QStringLiteral("Memory.FreePhysicalMemory: ") + formatByteSize(memory.availableBytes);

    lines << QStringLiteral("BIOS.Name: ") +
                 joinNonEmpty({firmwareText("bios_vendor"), firmwareText("bios_version")});
    lines << QStringLiteral("BIOS.ExtendedInfo: ") +
                 joinNonEmpty(
                     {firmwareText("bios_date"), firmwareText("bios_release"), firmwareText("board_name")});

    // Screens exist only in the desktop program, not in the command-line tools.
    QString width, height, refresh;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QSize size = screen->size() * screen->devicePixelRatio();
            width = QString::number(size.width());
            height = QString::number(size.height());
            refresh = QString::number(qRound(screen->refreshRate()));
        }
    }
    lines << QStringLiteral("Screen.ScreenResolution.X: ") + width;
    lines << QStringLiteral("Screen.ScreenResolution.Y: ") + height;
    lines << QStringLiteral("Screen.Hz: ") + refresh;

    lines << QStringLiteral("Folders.CommonFiles: ") +
                 QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation).join(u':');
    lines << QStringLiteral("Folders.ProgramFiles: ") + qEnvironmentVariable("PATH");
    lines << QStringLiteral("Folders.Windows: ") + QDir::rootPath();
    lines << QStringLiteral("Folders.System: ") + QLibraryInfo::path(QLibraryInfo::LibrariesPath);
    lines << QStringLiteral("Folders.Temp: ") + QDir::tempPath();
    lines << QStringLiteral("Folders.Desktop: ") + location(QStandardPaths::DesktopLocation);
    lines << QStringLiteral("Folders.Programs: ") + location(QStandardPaths::ApplicationsLocation);
    lines << QStringLiteral("Folders.Personal: ") + location(QStandardPaths::DocumentsLocation);

    for (const QStorageInfo& disk : localDisks()) {
        if (disk.bytesTotal() <= 0)
            continue; // its space cannot be queried
        lines << driveSpaceLine(disk.rootPath(), disk.bytesFree(), disk.bytesAvailable(), disk.bytesTotal());
    }
    return lines;
}

} // namespace HardwareInfo

void logHardwareInfo() {
    try {
        const QStringList lines = HardwareInfo::lines();
        for (const QString& line : lines)
            logInfo(line);
    } catch (const std::exception& error) {
        logException(QStringLiteral("TMainForm.LogHardwareInfo"), QString::fromStdString(error.what()));
    }
}
