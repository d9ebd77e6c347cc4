#include "base/ProgramVersion.h"

#include <QFileInfo>

QString fileVersionBuild(const QString& path) {
    return QFileInfo::exists(path) ? QStringLiteral(VELMO_BUILD_NUMBER) : QString();
}
