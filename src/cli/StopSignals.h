#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread: the handler only
// writes the signal number into a pipe, which the event loop reads.
class TStopSignals : public QObject {
    Q_OBJECT
public:
    explicit TStopSignals(QObject* parent = nullptr);
    ~TStopSignals() override;

    bool Received() const { return FReceived; }

signals:
    void StopRequested(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier* FNotifier = nullptr;
    bool FReceived = false;
};
