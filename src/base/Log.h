#pragma once

#include <QDateTime>
#include <QString>

// The program log: one file per run, "<start time>_all.nxlog" in the data folder,
// one "|"-separated line per entry. The procedures may be called from any thread
// and never fail towards the caller. Until the log is configured, entries are dropped.

enum class LogLevel { Trace, Debug, Info, Warning, error, Fatal };

// Points the log at its folder; the file name base is the start time, local.
void configureProgramLog(const QString& folder, const QDateTime& startTime = QDateTime::currentDateTime());
// The file the entries of this run go to; empty until configured.
QString programLogFilePath();

void logException(const QString& location, const QString& error = QString());
void logError(const QString& message);
void logInfo(const QString& message);
void logWarning(const QString& message);
