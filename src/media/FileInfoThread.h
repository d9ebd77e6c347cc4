#pragma once

#include "model/MediaFile.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class TFFDecoder;

// Probes one file at a time on a worker thread: its audio streams and its cover
// pictures, each picture saved as a JPEG in the cover-art folder.
//
// The results are read once Running() has turned false (it is published with
// release ordering, so the lists and ErrorMsg are complete when it reads false).
// Callers without an event loop can block in WaitForFinished(); event-driven
// callers can connect to Finished() instead of polling.
class TFileInfoThread : public QObject {
    Q_OBJECT

public:
    // The decoder is shared, not owned; with none the probe uses one of its own.
    TFileInfoThread(const QString& libavPath, TFFDecoder* decoder, const QString& tempCoverArtFolderPath,
                    QObject* parent = nullptr);
    ~TFileInfoThread() override;

    // Waits for a run still going (so two runs never share the decoder or the
    // results), then resets and starts probing the file. Returns at once.
    void Start(const QString& fileName);
    // Asks the run to end; it notices between streams.
    void Stop();
    // Forgets the path and the results; waits for a run still going first.
    void Reset();
    bool Running() const { return FRunning.load(std::memory_order_acquire); }
    // Blocks until the current run has ended; false when msecs passed first.
    // Call it from the thread that calls Start, never from a Finished() slot
    // connected directly.
    bool WaitForFinished(int msecs = -1);

    QString FileName() const { return FFileName; }
    const QList<TAudioStream>& AudioStreams() const { return FAudioStreams; }
    const QList<TArtwork>& ArtkworkStreams() const { return FArtworkStreams; }
    QString ErrorMsg() const { return FErrorMsg; }
    // Move the records out, as a media file takes them over.
    QList<TAudioStream> TakeAudioStreams();
    QList<TArtwork> TakeArtkworkStreams();

signals:
    // Emitted on the worker thread after Running() has turned false.
    void Finished();

private:
    void Execute();
    void Probe();
    void AddPicture(int streamIndex, const QString& codecText);
    void DiscardResults();

    QString FLibavPath;
    TFFDecoder* FDecoder = nullptr;
    std::unique_ptr<TFFDecoder> FOwnDecoder;
    QString FTempCoverArtFolderPath;
    QString FFileName;
    QList<TAudioStream> FAudioStreams;
    QList<TArtwork> FArtworkStreams;
    QString FErrorMsg;
    std::atomic<bool> FRunning{false};
    std::atomic<bool> FStopRequested{false};
    std::unique_ptr<QThread> FThread;
};
