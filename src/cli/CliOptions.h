#pragma once

#include "model/Codecs.h"

#include <QString>
#include <QStringList>
#include <optional>

// The options of one velmo-convert call, as typed. Every option is optional: what
// is not given comes from the user's stored settings.
struct TCliOptions {
    std::optional<TOutputCodec> Format;
    std::optional<QString> Preset;
    std::optional<QString> Method; // "cbr", "quality" or "vbr"
    std::optional<QString> Bitrate;
    std::optional<QString> Quality;
    bool Managed = false;
    std::optional<QString> SampleRate; // "original" or hertz
    std::optional<TChannelType> Channels;
    std::optional<TBitDepth> BitDepth;
    std::optional<QString> OutputFolder;
    std::optional<bool> FolderStructure;
    std::optional<int> Overwrite; // 0 new name, 1 overwrite, 2 skip
    std::optional<int> Threads;
    std::optional<bool> CoverArt;
    std::optional<bool> DeleteUnfinished;
    std::optional<QString> CustomParams;
    std::optional<int> AacExtension; // position in AacExtensions
    std::optional<QString> Language;
    std::optional<QString> IgnoreTypes;
    std::optional<QString> OnlyTypes;
    bool DryRun = false;
    bool Help = false;
    bool ListPresets = false;
    QStringList Paths;
};

// The highest slot count the command line accepts.
inline constexpr int MaxCliThreads = 32;

// Reads the arguments (the program name first). On a usage error returns false and
// puts a one-line reason into error.
bool ParseCliOptions(const QStringList& arguments, TCliOptions& options, QString& error);

// The --help text: every option with its values.
QString CliHelpText();
