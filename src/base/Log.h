#pragma once

#include <QDateTime>
#include <QString>

// The program log: one file per run, "<start time>_all.nxlog" in the data folder,
// one "|"-separated line per entry. The procedures may be called from any thread
// and never fail towards the caller. Until the log is configured, entries are dropped.

enum class LogLevel { Trace, Debug, Info, Warning, Error, Fatal };

// Points the log at its folder; the file name base is the start time, local.
void ConfigureProgramLog(const QString& folder, const QDateTime& startTime = QDateTime::currentDateTime());
// The file the entries of this run go to; empty until configured.
QString ProgramLogFilePath();

void LogException(const QString& location, const QString& error = QString());
void LogError(const QString& message);
void LogInfo(const QString& message);
void LogWarning(const QString& message);

// One entry of the window log that the main window keeps in memory.
struct TLogItem {
    QDateTime Date;
    QString TypeStr; // "Info", "Warning" or "Error"
    QString Msg;
};
