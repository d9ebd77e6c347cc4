#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One row of the file-information list: a section heading (no value, drawn in
// bold) or an indented key with its value.
struct TFileInfoRow {
    QString Key;
    QString Value;

    bool IsBold() const { return Value.isEmpty(); }
    bool operator==(const TFileInfoRow&) const = default;
};

// Turns ffprobe's INI output into rows: "#" comments and empty lines are left
// out, "key=value" becomes a row keyed by five blanks and the key, and any other
// line a heading without its square brackets.
QList<TFileInfoRow> FileInfoRowsFromIniLines(const QStringList& lines);
