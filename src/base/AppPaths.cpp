#include "base/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace AppPaths {

QString dataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("VelmoAudio"));
}

QString backendOutputFolder() {
    return QDir(dataFolder()).filePath(QStringLiteral("BackendOutput"));
}

QString userProfilesFolder() {
    return QDir(dataFolder()).filePath(QStringLiteral("Profiles"));
}

QString programFolder() {
    return QCoreApplication::applicationDirPath();
}

QString coverstampPath() {
    return QDir(programFolder()).filePath(QStringLiteral("coverstamp"));
}

namespace {

bool ensurePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString tempCoverArtFolder() {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir()) {
        const QString path = QDir(runtimeDir).filePath(QStringLiteral("VelmoTempCoverArt"));
        if (ensurePrivateFolder(path))
            return path;
    }
    const QString path =
        QDir(QDir::tempPath()).filePath(QStringLiteral("VelmoTempCoverArt-%1").arg(::getuid()));
    return ensurePrivateFolder(path) ? path : QString();
}

QString bundledToolSubFolder() {
    return QStringLiteral("ffmpeg/");
}

QString findTool(const QString& name) {
    const QString bundled = QDir(programFolder()).filePath(bundledToolSubFolder() + name);
    const QFileInfo info(bundled);
    if (info.isFile() && info.isExecutable())
        return bundled;
    return QStandardPaths::findExecutable(name);
}

} // namespace AppPaths
