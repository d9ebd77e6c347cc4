#pragma once

#include "model/AdvancedSettings.h"
#include "model/Codecs.h"

#include <QString>

// What one conversion run takes from the settings, copied when it starts. The
// window fills it from its settings objects, velmo-convert from the stored
// settings and its options.
struct TRunSettings {
    QString OutputFolder;
    bool CreateFolderStruct = true;
    int OverwriteOption = 0; // 0 new file name, 1 overwrite, 2 skip
    int ThreadCount = 1;     // encoder slots
    bool DelUnfinished = true;
    bool CopyCoverArt = true;
    TEncodingProfile Profile;
    TAdvancedSettings AdvancedSettings;
};

// The "When Done:" choices, by list position.
enum TPostEncodeAction : int {
    paDoNothing = 0,
    paOpenOutputFolder = 1,
    paCloseProgram = 2,
    paShutdownPC = 3
};
