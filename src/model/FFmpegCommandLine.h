#pragma once

#include <QString>
#include <QStringList>

// One file's conversion job. CommandLine is the readable text kept for logs and
// console dumps (it begins with one space); the process is started with
// Arguments, in which every path is exactly one argument.
struct TFFmpegCommandLine {
    QString SourceFilePath;
    QString DestinationFilePath;
    qint32 ThreadIndex = 0;
    QString CommandLine;
    QStringList Arguments;
    qint32 FileListIndex = 0;
    qint64 Duration = 0;          // milliseconds
    QString TempCoverArtFilePath; // empty when the file has no picture
};
