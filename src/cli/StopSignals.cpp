#include "cli/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// SIGHUP too: the ffmpeg children have process groups of their own, so a closed
// terminal reaches only us, and we must stop them as Ctrl+C does.
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : StopSignalNumbers)
        ::sigaction(signalNumber, &action, nullptr);
}

StopSignals::~StopSignals() {
    for (const int signalNumber : StopSignalNumbers)
        ::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void StopSignals::readPipe() {
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1) {
        m_received = true;
        emit stopRequested(byte);
    }
}
