#include "model/MediaFile.h"

#include "base/Log.h"

#include <QFile>
#include <stdexcept>

const AudioStream& MediaFile::selectedAudioStream() const {
    if (selectedStreamIndex < 0 || selectedStreamIndex >= audioStreams.size())
        throw std::out_of_range("TMediaFile.GetSelectedAudioStream: selected stream out of range");
    return audioStreams[selectedStreamIndex];
}

const CoverArt* MediaFile::selectedCoverArt() const {
    if (coverArtStreams.isEmpty() || selectedCoverArtIndex < 0 ||
        selectedCoverArtIndex >= coverArtStreams.size())
        return nullptr;
    return &coverArtStreams[selectedCoverArtIndex];
}

void MediaFile::deleteCoverArtTempFiles() const {
    for (const CoverArt& artwork : coverArtStreams) {
        if (artwork.tempFilePath.isEmpty() || !QFile::exists(artwork.tempFilePath))
            continue;
        QFile file(artwork.tempFilePath);
        if (!file.remove())
            logException(QStringLiteral("DeleteCoverArtTempFiles"), file.errorString());
    }
}
