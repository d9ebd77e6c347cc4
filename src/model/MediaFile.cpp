#include "model/MediaFile.h"

#include "base/Log.h"

#include <QFile>
#include <stdexcept>

const TAudioStream& TMediaFile::GetSelectedAudioStream() const {
    if (SelectedAudioStream < 0 || SelectedAudioStream >= AudioStreams.size())
        throw std::out_of_range("TMediaFile.GetSelectedAudioStream: selected stream out of range");
    return AudioStreams[SelectedAudioStream];
}

const TArtwork* TMediaFile::GetSelectedArtworkStream() const {
    if (ArtworkStreams.isEmpty() || SelectedArtwork < 0 || SelectedArtwork >= ArtworkStreams.size())
        return nullptr;
    return &ArtworkStreams[SelectedArtwork];
}

void TMediaFile::DeleteCoverArtTempFiles() const {
    for (const TArtwork& artwork : ArtworkStreams) {
        if (artwork.TempFilePath.isEmpty() || !QFile::exists(artwork.TempFilePath))
            continue;
        QFile file(artwork.TempFilePath);
        if (!file.remove())
            LogException(QStringLiteral("DeleteCoverArtTempFiles"), file.errorString());
    }
}
