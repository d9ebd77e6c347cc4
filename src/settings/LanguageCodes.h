#pragma once

#include <QString>
#include <QStringList>

// The preferred-language list: three-letter codes, one a line, in file order;
// entry 0 is the default choice. Empty lines are skipped.
// A missing or unreadable file gives an empty list and an error in the log.
QStringList loadLanguageCodes(const QString& path);

// langcodes.dat in the program folder.
QString languageCodesFilePath();
