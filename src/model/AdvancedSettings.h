#pragma once

#include <QString>

// The advanced settings a conversion run copies into the command-line generator.
struct TAdvancedSettings {
    QString CustomFFmpegParams; // put into every command line; may hold placeholders
    int AacExtensionIndex = 0;  // position in AacExtensions (".m4a", ".aac", ".m4b")

    bool operator==(const TAdvancedSettings&) const = default;
};
