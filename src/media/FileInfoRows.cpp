#include "media/FileInfoRows.h"

namespace {

// Every character with code 32 or below counts as blank at either end.
QString trimControlAndBlanks(const QString& line) {
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && line.at(start).unicode() <= 32)
        ++start;
    while (end > start && line.at(end - 1).unicode() <= 32)
        --end;
    return line.mid(start, end - start);
}

} // namespace

QList<FileInfoRow> fileInfoRowsFromIniLines(const QStringList& lines) {
    QList<FileInfoRow> rows;
    for (const QString& rawLine : lines) {
        const QString line = trimControlAndBlanks(rawLine);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList parts = line.split(u'=');
        if (parts.size() == 2) {
            rows.append({QStringLiteral("     ") + parts[0], parts[1]});
            continue;
        }
        QString heading = line;
        heading.remove(u'[').remove(u']');
        rows.append({heading, QString()});
    }
    return rows;
}
