#pragma once

#include "cli/CliOptions.h"
#include "engine/FileAdder.h"
#include "model/CodecPanelPositions.h"
#include "model/RunSettings.h"

#include <optional>

struct ProgramSettings;
struct MainSettings;
#include "settings/Presets.h"

// The stored settings a velmo-convert run starts from.
struct StoredSettings {
    const ProgramSettings& program;
    const MainSettings& main;
    const AdvancedSettings& advanced;
    const QStringList& languageCodes;
    const QList<Preset>& presets; // every preset, built-in and user, in list order
};

// What one velmo-convert call runs with.
struct CliRun {
    RunSettings run;
    AddSettings add;
    CodecPanelPositions panel;
};

// Sets the panel from the codec options (method, bit rate, quality, managed mode,
// sample rate, channels, bit depth) for the panel's format. A value the format
// does not take is a usage error: false with a one-line reason.
bool applyCodecOptions(const CliOptions& options, const CodecTable& table, CodecPanelPositions& panel,
                       std::optional<QString>& typedBitrate, QString& error);

// The stored settings with a preset and the options laid over them; nothing is
// written back. False with a one-line reason on a usage error.
bool buildCliRun(const CliOptions& options, const StoredSettings& stored, const CodecTable& table,
                 CliRun& run, QString& error);
