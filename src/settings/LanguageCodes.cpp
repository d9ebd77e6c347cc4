#include "settings/LanguageCodes.h"

#include "base/AppPaths.h"
#include "base/Log.h"

#include <QDir>
#include <QFile>

QStringList loadLanguageCodes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        logError(QStringLiteral("Unable to read the language list %1: %2").arg(path, file.errorString()));
        return {};
    }
    QStringList codes;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QString code = line.trimmed();
        if (!code.isEmpty())
            codes.append(code);
    }
    return codes;
}

QString languageCodesFilePath() {
    return QDir(AppPaths::programFolder()).filePath(QStringLiteral("langcodes.dat"));
}
