#pragma once

#include <QString>
#include <QStringList>

// One file's conversion job. commandLine is the readable text kept for logs and
// console dumps (it begins with one space); the process is started with
// Arguments, in which every path is exactly one argument.
struct Job {
    QString sourceFilePath;
    QString destinationFilePath;
    QString commandLine;
    QStringList arguments;
    qint32 fileListIndex = 0;
    QString tempCoverArtFilePath; // empty when the file has no picture
};
