#pragma once

#include <QString>

// Where a converted file goes: <base>/<format name>/[<source folder without its
// leading "/">/]<name><ext>, where base is the output folder, or the source's
// folder when sameAsSource. Nothing on disk is checked or created.
QString outputFilePath(const QString& sourceFilePath, const QString& outputFolderPath, bool sameAsSource,
                       bool createFolderTree, const QString& outputExt, const QString& formatName);
