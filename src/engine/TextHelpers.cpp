#include "engine/TextHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <array>
#include <cmath>

QString GetTimeStampText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
}

QString FormatDuration(qint64 seconds) {
    if (seconds <= 0)
        return QStringLiteral("00:00:00");
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 - hours * 60;
    const qint64 rest = seconds % 60;
    const auto twoDigits = [](qint64 value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return twoDigits(hours) + u':' + twoDigits(minutes) + u':' + twoDigits(rest);
}

QString FormatByteSize(qint64 bytes) {
    struct Unit {
        int shift;
        const char* name;
    };
    static const std::array<Unit, 6> units = {
        {{60, "EB"}, {50, "PB"}, {40, "TB"}, {30, "GB"}, {20, "MB"}, {10, "KB"}}};
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    for (const Unit& unit : units) {
        const qint64 size = qint64(1) << unit.shift;
        if (bytes > size)
            return locale.toString(double(bytes) / double(size), 'f', 2) + u' ' + QLatin1String(unit.name);
    }
    return QString::number(bytes) + QStringLiteral(" Byte");
}

namespace {
// Position of the extension's dot in the path, or -1.
qsizetype extensionDot(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') ? dot : -1;
}
} // namespace

QString FileExtension(const QString& path) {
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot);
}

QString PathWithoutExtension(const QString& path) {
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? path : path.left(dot);
}

QString GetUniqueFileName(const QString& path) {
    if (!QFileInfo::exists(path))
        return path;
    const QString stem = PathWithoutExtension(path);
    const QString extension = FileExtension(path);
    for (qint64 n = 1;; ++n) {
        const QString candidate = stem + u'_' + QString::number(n) + extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

double ParseFloatText(const QString& text) {
    const QLocale locale;
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (!ok)
        value = locale.toDouble(QString(text).replace(u'.', u','), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString MakeValidFileName(const QString& text) {
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    QString result = text;
    for (QChar& c : result) {
        if (forbidden.contains(c))
            c = u'_';
    }
    return result;
}

QDateTime FileCreationTime(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QDateTime();
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
}

bool IsOlderThanDays(const QString& path, int days) {
    return IsOlderThanDays(path, days, QDateTime::currentDateTime());
}

bool IsOlderThanDays(const QString& path, int days, const QDateTime& now) {
    const QDateTime created = FileCreationTime(path);
    if (!created.isValid())
        return false;
    const qint64 wholeDays = created.secsTo(now) / (24 * 60 * 60);
    return wholeDays > days;
}

bool IsTextInList(const QStringList& list, const QString& text) {
    return list.contains(text, Qt::CaseSensitive);
}

namespace {
QString normalisedExtension(const QString& path) {
    return QLocale().toLower(FileExtension(path).remove(u'.'));
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

bool IsInAddOnlyList(const QString& path, const QStringList& list) {
    return list.isEmpty() || extensionListed(path, list);
}

bool IsNotInIgnoredList(const QString& path, const QStringList& list) {
    return !extensionListed(path, list);
}

int GetThreadCountCeiling(int count) {
    for (const int ceiling : {1, 2, 4, 8, 12, 32}) {
        if (ceiling >= count)
            return ceiling;
    }
    return 32;
}

QString GetFileVersionBuild(const QString& path) {
    return QFileInfo::exists(path) ? QStringLiteral(VELMO_BUILD_NUMBER) : QString();
}

namespace {
QString withTrailingSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

// The folder of a path without its final "/", except for the root itself.
QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}
} // namespace

QString TOutputFilePathHelper::GenerateOutputFilePath(const QString& sourceFilePath,
                                                      const QString& outputFolderPath, bool sameAsSource,
                                                      bool createFolderTree, const QString& outputExt,
                                                      const QString& formatName) {
    const QString name = PathWithoutExtension(fileName(sourceFilePath));
    const QString base = sameAsSource ? folderOf(sourceFilePath) : outputFolderPath;
    QString folder = withTrailingSlash(base + u'/' + formatName + u'/');
    if (createFolderTree) {
        // ".." segments are resolved first, so that a source path cannot lead the
        // tree out of the format folder.
        QString tree = withTrailingSlash(QDir::cleanPath(folderOf(sourceFilePath)));
        while (tree.startsWith(u'/'))
            tree.remove(0, 1);
        while (tree.startsWith(QLatin1String("../")))
            tree.remove(0, 3);
        folder = withTrailingSlash(folder + tree);
    }
    return folder + name + outputExt;
}
