#pragma once

#include "model/AdvancedSettings.h"

#include <QString>

// advanced.ini in the data folder.
QString advancedSettingsFilePath();

// The parameters as one line: every line break becomes a blank, because the
// command line is one line and the stored key holds one line.
QString joinCustomParamLines(const QString& params);

// general/customparams and aac/ext; a missing file or key gives the defaults
// (no parameters, ".m4a"); an extension index outside 0..2 is kept as -1, no
// selection, which outputExtension turns into ".m4a". Read at start-up too,
// so the stored values apply from the first conversion.
AdvancedSettings loadAdvancedSettings(const QString& path);

// Writes the joined parameters, then the extension index, keeping the file's
// other keys; failures go to the log.
bool saveAdvancedSettings(const QString& path, const AdvancedSettings& settings,
                          QString* errorText = nullptr);
