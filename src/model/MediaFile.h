#pragma once

#include <QList>
#include <QString>

// One audio stream of an input file, as the probe found it.
struct TAudioStream {
    qint32 StreamIndex = 0;  // index in the container, counting streams of every kind
    qint32 Bitrate = 0;      // bits per second; the file's rate when the stream reports none
    qint32 SamplingRate = 0; // Hz
    QString Codec;           // short codec name
    qint64 Duration = 0;     // milliseconds
    QString DurationAsStr;   // FormatDuration of the whole seconds
    qint32 BitDepth = 0;     // not filled by probing
    QString Lang;            // the stream's language tag, "UND" when there is none
};

// One picture found in an input file.
struct TArtwork {
    qint32 StreamIndex = 0;
    QString Codec; // "short(long)", e.g. "mjpeg(Motion JPEG)"
    bool IsEmbedded = true;
    QString Title;
    QString TempFilePath; // the JPEG copy the probe wrote
};

// One file of the conversion list. Plain data: the records are values owned by
// the lists, and the JPEG copies on disk are removed only by DeleteCoverArtTempFiles
// or by the clean-up of the cover-art folder.
struct TMediaFile {
    QString FilePath;
    qint32 SelectedAudioStream = 0;
    qint32 SelectedArtwork = 0;
    QList<TAudioStream> AudioStreams;
    QList<TArtwork> ArtworkStreams;

    // The stream to convert; a position outside the list throws std::out_of_range.
    const TAudioStream& GetSelectedAudioStream() const;
    // The picture to use, or nullptr when the file has none.
    const TArtwork* GetSelectedArtworkStream() const;
    void DeleteCoverArtTempFiles() const;
};
