#pragma once

#include "cli/CliOptions.h"
#include "engine/MediaFileAdder.h"
#include "model/CodecPanelPositions.h"
#include "model/RunSettings.h"

#include <optional>

struct TProgramSettings;
struct TMainSettings;
#include "settings/Presets.h"

// The stored settings a velmo-convert run starts from.
struct TStoredSettings {
    const TProgramSettings& Program;
    const TMainSettings& Main;
    const TAdvancedSettings& Advanced;
    const QStringList& LanguageCodes;
    const QList<TProfile>& Presets; // every preset, built-in and user, in list order
};

// What one velmo-convert call runs with.
struct TCliRun {
    TRunSettings Run;
    TAddSettings Add;
    TCodecPanelPositions Panel;
};

// The short option name of each format ("mp3", "ogg", ...).
QString CliFormatName(TOutputCodec codec);

// Sets the panel from the codec options (method, bit rate, quality, managed mode,
// sample rate, channels, bit depth) for the panel's format. A value the format
// does not take is a usage error: false with a one-line reason.
bool ApplyCodecOptions(const TCliOptions& options, const TCodecTable& table, TCodecPanelPositions& panel,
                       std::optional<QString>& typedBitrate, QString& error);

// The stored settings with a preset and the options laid over them; nothing is
// written back. False with a one-line reason on a usage error.
bool BuildCliRun(const TCliOptions& options, const TStoredSettings& stored, const TCodecTable& table,
                 TCliRun& run, QString& error);
