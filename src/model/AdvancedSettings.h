#pragma once

#include <QString>

// The advanced settings a conversion run copies into the command-line generator.
struct AdvancedSettings {
    QString customFFmpegParams; // put into every command line; may hold placeholders
    int aacExtensionIndex = 0;  // position in AacExtensions (".m4a", ".aac", ".m4b")

    bool operator==(const AdvancedSettings&) const = default;
};
