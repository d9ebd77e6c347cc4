#include "engine/OutputPath.h"

#include "base/FileNames.h"

#include <QDir>

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

QString outputFilePath(const QString& sourceFilePath, const QString& outputFolderPath, bool sameAsSource,
                       bool createFolderTree, const QString& outputExt, const QString& formatName) {
    const QString name = pathWithoutExtension(fileName(sourceFilePath));
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
