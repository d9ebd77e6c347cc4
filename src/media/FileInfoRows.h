#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One row of the file-information list: a section heading (no value, drawn in
// bold) or an indented key with its value.
struct FileInfoRow {
    QString key;
    QString value;

    bool isBold() const { return value.isEmpty(); }
    bool operator==(const FileInfoRow&) const = default;
};

// Turns ffprobe's INI output into rows: "#" comments and empty lines are left
// out, "key=value" becomes a row keyed by five blanks and the key, and any other
// line a heading without its square brackets.
QList<FileInfoRow> fileInfoRowsFromIniLines(const QStringList& lines);
