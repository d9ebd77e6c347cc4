#include "cli/StatusPrinter.h"

#include "engine/ConversionEngine.h"

StatusPrinter::StatusPrinter(ConversionEngine& engine, bool liveStatus, QObject* parent)
    : QObject(parent), m_engine(engine), m_liveStatus(liveStatus) {
    connect(&engine, &ConversionEngine::fileFinished, this, &StatusPrinter::showFinishedFile);
    if (m_liveStatus) {
        connect(&engine, &ConversionEngine::countersChanged, this, [this] { refresh(true); });
        connect(&engine, &ConversionEngine::timesChanged, this, [this] { refresh(); });
        connect(&engine, &ConversionEngine::loadChanged, this, [this] { refresh(); });
        connect(&engine, &ConversionEngine::convertingStateChanged, this, [this](bool converting) {
            if (!converting)
                clearStatus();
        });
    }
}

void StatusPrinter::printLine(const QString& line, bool isError) {
    clearStatus();
    std::FILE* stream = isError ? stderr : stdout;
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    if (m_liveStatus && m_engine.isConverting())
        refresh(true);
}

void StatusPrinter::finish() {
    clearStatus();
}

void StatusPrinter::showFinishedFile(int row, int icon, const QString& text) {
    Q_UNUSED(icon)
    const QString source = m_engine.mediaFiles().at(row).filePath;
    QString line = text + QStringLiteral(": ") + source;
    if (text == QLatin1String("Done") || text == QLatin1String("Artwork write failed")) {
        for (const Job& job : m_engine.jobs()) {
            if (job.fileListIndex == row) {
                line += QStringLiteral(" -> ") + job.destinationFilePath;
                break;
            }
        }
    }
    printLine(line);
}

void StatusPrinter::refresh(bool force) {
    if (!m_liveStatus || !m_engine.isConverting())
        return;
    if (!force && m_lastRefresh.isValid() && m_lastRefresh.elapsed() < 100)
        return;
    m_lastRefresh.start();
    const RunProgress& progress = m_engine.progress();
    const SlotLoad& load = m_engine.load();
    const QString status = progress.progressText() + QStringLiteral(" | ") + progress.timeText() +
                           QStringLiteral(" | ") + load.speedText() + QStringLiteral(" | ") +
                           load.cpuUsageText();
    // Carriage return and "erase to end of line" keep the status on one line.
    std::fputs("\r\033[K", stdout);
    std::fputs(status.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    m_statusShown = true;
}

void StatusPrinter::clearStatus() {
    if (!m_statusShown)
        return;
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
    m_statusShown = false;
}
