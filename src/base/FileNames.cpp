#include "base/FileNames.h"

#include <QFileInfo>
#include <QLocale>

namespace {
// Position of the extension's dot in the path, or -1.
qsizetype extensionDot(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') ? dot : -1;
}
} // namespace

QString fileExtension(const QString& path) {
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot);
}

QString pathWithoutExtension(const QString& path) {
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? path : path.left(dot);
}

QString uniqueFileName(const QString& path) {
    if (!QFileInfo::exists(path))
        return path;
    const QString stem = pathWithoutExtension(path);
    const QString extension = fileExtension(path);
    for (qint64 n = 1;; ++n) {
        const QString candidate = stem + u'_' + QString::number(n) + extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QDateTime fileCreationTime(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QDateTime();
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
}

bool isOlderThanDays(const QString& path, int days) {
    return isOlderThanDays(path, days, QDateTime::currentDateTime());
}

bool isOlderThanDays(const QString& path, int days, const QDateTime& now) {
    const QDateTime created = fileCreationTime(path);
    if (!created.isValid())
        return false;
    const qint64 wholeDays = created.secsTo(now) / (24 * 60 * 60);
    return wholeDays > days;
}

namespace {
QString normalisedExtension(const QString& path) {
    return QLocale().toLower(fileExtension(path).remove(u'.'));
}

bool extensionListed(const QString& path, const QStringList& list) {
    const QString extension = normalisedExtension(path);
    const QLocale locale;
    for (const QString& entry : list) {
        if (locale.toLower(entry) == extension)
            return true;
    }
    return false;
}
} // namespace

bool isInAddOnlyList(const QString& path, const QStringList& list) {
    return list.isEmpty() || extensionListed(path, list);
}

bool isNotInIgnoredList(const QString& path, const QStringList& list) {
    return !extensionListed(path, list);
}
