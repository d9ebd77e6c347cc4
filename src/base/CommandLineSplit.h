#pragma once

#include <QString>
#include <QStringList>

// Splits a command-line text into arguments the way a Windows program's runtime
// does: blanks and tabs separate, double quotes group, a backslash escapes a
// double quote, and "" inside quotes is a literal quote. Callers that hold one
// text (custom ffmpeg parameters, a tool call) hand it over this way.
QStringList splitCommandLine(const QString& text);
