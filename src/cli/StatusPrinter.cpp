#include "cli/StatusPrinter.h"

#include "engine/ConversionRun.h"
#include "engine/FileListModel.h"

StatusPrinter::StatusPrinter(const FileListModel& files, const ConversionRun& run, bool liveStatus,
                             QObject* parent)
    : QObject(parent), m_files(files), m_run(run), m_liveStatus(liveStatus) {
    connect(&run, &ConversionRun::fileFinished, this, &StatusPrinter::showFinishedFile);
    if (m_liveStatus) {
        connect(&run, &ConversionRun::countersChanged, this, [this] { refresh(true); });
        connect(&run, &ConversionRun::timesChanged, this, [this] { refresh(); });
        connect(&run, &ConversionRun::loadChanged, this, [this] { refresh(); });
        connect(&run, &ConversionRun::convertingStateChanged, this, [this](bool converting) {
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
    if (m_liveStatus && m_run.isConverting())
        refresh(true);
}

void StatusPrinter::finish() {
    clearStatus();
}

void StatusPrinter::showFinishedFile(int row, JobOutcome outcome) {
    const QString source = m_files.mediaFiles().at(row).filePath;
    QString line = m_files.rowState(row).text + QStringLiteral(": ") + source;
    if (outcome == JobOutcome::Done || outcome == JobOutcome::CoverArtFailed) {
        for (const Job& job : m_run.jobs()) {
            if (job.fileListIndex == row) {
                line += QStringLiteral(" -> ") + job.destinationFilePath;
                break;
            }
        }
    }
    printLine(line);
}

void StatusPrinter::refresh(bool force) {
    if (!m_liveStatus || !m_run.isConverting())
        return;
    if (!force && m_lastRefresh.isValid() && m_lastRefresh.elapsed() < 100)
        return;
    m_lastRefresh.start();
    const RunProgress& progress = m_run.progress();
    const SlotLoad& load = m_run.load();
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
