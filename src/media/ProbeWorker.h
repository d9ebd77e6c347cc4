#pragma once

#include "base/WorkerThread.h"
#include "model/MediaFile.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class FFmpegDecoder;

// Probes one file at a time on a worker thread: its audio streams and its cover
// pictures, each picture saved as a JPEG in the cover-art folder.
//
// The results are read once running() has turned false (it is published with
// release ordering, so the lists and errorText are complete when it reads false).
// Callers without an event loop can block in waitForfinished(); event-driven
// callers can connect to finished() instead of polling.
class ProbeWorker : public QObject {
    Q_OBJECT

public:
    // The decoder is shared, not owned; with none the probe uses one of its own.
    ProbeWorker(FFmpegDecoder* decoder, const QString& tempCoverArtFolderPath, QObject* parent = nullptr);
    ~ProbeWorker() override;

    // Waits for a run still going (so two runs never share the decoder or the
    // results), then resets and starts probing the file. Returns at once.
    void start(const QString& fileName);
    // Asks the run to end; it notices between streams.
    void stop();
    // Forgets the path and the results; waits for a run still going first.
    void reset();
    bool running() const { return m_worker.running(); }
    // Blocks until the current run has ended; false when msecs passed first.
    // Call it from the thread that calls start(), never from a finished() slot
    // connected directly.
    bool waitForFinished(int msecs = -1) { return m_worker.wait(msecs); }

    QString fileName() const { return m_fileName; }
    const QList<AudioStream>& audioStreams() const { return m_audioStreams; }
    const QList<CoverArt>& coverArtStreams() const { return m_coverArtStreams; }
    QString errorText() const { return m_errorText; }
    // Move the records out, as a media file takes them over.
    QList<AudioStream> takeAudioStreams();
    QList<CoverArt> takeCoverArtStreams();

signals:
    // Emitted on the worker thread after running() has turned false.
    void finished();

private:
    void execute();
    void probe();
    void addPicture(int streamIndex, const QString& codecText);
    void discardResults();

    FFmpegDecoder* m_decoder = nullptr;
    std::unique_ptr<FFmpegDecoder> m_ownDecoder;
    QString m_tempCoverArtFolderPath;
    QString m_fileName;
    QList<AudioStream> m_audioStreams;
    QList<CoverArt> m_coverArtStreams;
    QString m_errorText;
    std::atomic<bool> m_stopRequested{false};
    WorkerThread m_worker; // last: its thread uses the members above
};
