#include "engine/RunProgress.h"

#include "base/TextFormat.h"

void RunProgress::reset(qint32 commandLineCount, qint64 totalListTime) {
    *this = RunProgress();
    m_totalCommandLineCount = commandLineCount;
    m_totalRemainingCount = commandLineCount;
    m_totalListTime = totalListTime;
}

void RunProgress::tick() {
    ++m_passedTime;
    m_remainingTime = m_totalTime - m_passedTime;
}

void RunProgress::fileFinished(qint64 durationMs) {
    ++m_totalProgressCount;
    --m_totalRemainingCount;
    m_convertedTime += durationMs;
    if (m_convertedTime > 0) {
        m_totalTime = m_totalListTime * m_passedTime / m_convertedTime;
        m_remainingTime = m_totalTime - m_passedTime;
    }
}

qint32 RunProgress::percent() const {
    if (m_totalCommandLineCount == 0)
        return 0;
    return m_totalProgressCount * 100 / m_totalCommandLineCount;
}

QString RunProgress::progressText() const {
    return QStringLiteral("Progress: %1% Done: %2 Success: %3 Error: %4 Remaining: %5")
        .arg(percent())
        .arg(m_totalProgressCount)
        .arg(successCount())
        .arg(m_totalFailedCount)
        .arg(m_totalRemainingCount);
}

QString RunProgress::timeText() const {
    return QStringLiteral("Time: ") + formatDuration(m_passedTime) + QStringLiteral(" Remaing: ") +
           formatDuration(m_remainingTime);
}
