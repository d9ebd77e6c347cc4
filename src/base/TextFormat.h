#pragma once

#include <QString>
#include <QStringList>

// Texts the program shows and writes: times, sizes, numbers, file-name-safe
// texts. The functions keep no state and raise nothing.

// The current local time as "yyyy_MM_dd_hh_mm_ss" (console dump and log names).
QString timeStampText();

// "hh:mm:ss" with hours uncapped ("100:00:00"); "00:00:00" for 0 or less.
QString formatDuration(qint64 seconds);

// "%d Byte" up to 1024, otherwise two decimals (the user's separator) with
// "KB", "MB", "GB", "TB", "PB" or "EB", each step 1024 times the previous.
QString formatByteSize(qint64 bytes);

// A number written with the user's decimal separator, or with "." in its place
// when that fails; 0 when neither reads.
double parseFloatText(const QString& text);

// The text with each of " * / : < > ? \ | replaced by "_".
QString makeValidFileName(const QString& text);

// True when an entry equals the text exactly, case included.
bool isTextInList(const QStringList& list, const QString& text);
