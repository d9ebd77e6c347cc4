#pragma once

#include "model/AdvancedSettings.h"
#include "model/Codecs.h"

#include <QString>

// What the overwrite option does with an output that exists already, by its
// stored number: take the next free name "<name>_<n>", replace it, or skip the file.
enum class OverwriteOption { NewFileName, Overwrite, Skip };

// What one conversion run takes from the settings, copied when it starts. The
// window fills it from its settings objects, velmo-convert from the stored
// settings and its options.
struct RunSettings {
    QString outputFolder;
    bool createFolderStruct = true;
    OverwriteOption overwriteOption = OverwriteOption::NewFileName;
    int threadCount = 1; // encoder slots
    bool deleteUnfinished = true;
    bool copyCoverArt = true;
    EncodingProfile profile;
    AdvancedSettings advancedSettings;
};

// The "When Done:" choices, by list position.
enum class PostEncodeAction : int { DoNothing = 0, OpenOutputFolder = 1, CloseProgram = 2, ShutdownPc = 3 };
