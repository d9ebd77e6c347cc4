#pragma once

#include <QList>
#include <QString>

// One audio stream of an input file, as the probe found it.
struct AudioStream {
    qint32 streamIndex = 0;  // index in the container, counting streams of every kind
    qint32 bitrate = 0;      // bits per second; the file's rate when the stream reports none
    qint32 samplingRate = 0; // Hz
    QString codec;           // short codec name
    qint64 duration = 0;     // milliseconds
    QString durationText;    // formatDuration of the whole seconds
    qint32 bitDepth = 0;     // not filled by probing
    QString lang;            // the stream's language tag, "UND" when there is none
};

// One picture found in an input file.
struct CoverArt {
    qint32 streamIndex = 0;
    QString codec; // "short(long)", e.g. "mjpeg(Motion JPEG)"
    bool isEmbeded = true;
    QString title;
    QString tempFilePath; // the JPEG copy the probe wrote
};

// One file of the conversion list. Plain data: the records are values owned by
// the lists, and the JPEG copies on disk are removed only by deleteCoverArtTempFiles
// or by the clean-up of the cover-art folder.
struct MediaFile {
    QString filePath;
    qint32 selectedStreamIndex = 0;
    qint32 selectedCoverArtIndex = 0;
    QList<AudioStream> audioStreams;
    QList<CoverArt> coverArtStreams;

    // The stream to convert; a position outside the list throws std::out_of_range.
    const AudioStream& selectedAudioStream() const;
    // The picture to use, or nullptr when the file has none.
    const CoverArt* selectedCoverArt() const;
    void deleteCoverArtTempFiles() const;
};
