#pragma once

#include "model/Codecs.h"

#include <QString>
#include <QStringList>
#include <optional>

// The options of one velmo-convert call, as typed. Every option is optional: what
// is not given comes from the user's stored settings.
struct CliOptions {
    std::optional<OutputCodec> format;
    std::optional<QString> preset;
    std::optional<QString> method; // "cbr", "quality" or "vbr"
    std::optional<QString> bitrate;
    std::optional<QString> quality;
    bool managed = false;
    std::optional<QString> sampleRate; // "original" or hertz
    std::optional<ChannelType> channels;
    std::optional<BitDepth> bitDepth;
    std::optional<QString> outputFolder;
    std::optional<bool> folderStructure;
    std::optional<int> overwrite; // 0 new name, 1 overwrite, 2 skip
    std::optional<int> threads;
    std::optional<bool> coverArt;
    std::optional<bool> deleteUnfinished;
    std::optional<QString> customParams;
    std::optional<int> aacExtension; // position in AacExtensions
    std::optional<QString> language;
    std::optional<QString> ignoreTypes;
    std::optional<QString> onlyTypes;
    bool dryRun = false;
    bool help = false;
    bool listPresets = false;
    QStringList paths;
};

// The highest slot count the command line accepts.
inline constexpr int MaxCliThreads = 32;

// Reads the arguments (the program name first). On a usage error returns false and
// puts a one-line reason into error.
bool parseCliOptions(const QStringList& arguments, CliOptions& options, QString& error);

// The --help text: every option with its values.
QString cliHelpText();

// The short option name of each format ("mp3", "ogg", ...), as --format takes it.
QString cliFormatName(OutputCodec codec);
