#include "cli/StatusPrinter.h"

#include "engine/ConversionEngine.h"

TStatusPrinter::TStatusPrinter(TConversionEngine& engine, bool liveStatus, QObject* parent)
    : QObject(parent), FEngine(engine), FLiveStatus(liveStatus) {
    connect(&engine, &TConversionEngine::FileFinished, this, &TStatusPrinter::ShowFinishedFile);
    if (FLiveStatus) {
        connect(&engine, &TConversionEngine::CountersChanged, this, [this] { Refresh(true); });
        connect(&engine, &TConversionEngine::TimesChanged, this, [this] { Refresh(); });
        connect(&engine, &TConversionEngine::LoadChanged, this, [this] { Refresh(); });
        connect(&engine, &TConversionEngine::ConvertingStateChanged, this, [this](bool converting) {
            if (!converting)
                ClearStatus();
        });
    }
}

void TStatusPrinter::PrintLine(const QString& line, bool isError) {
    ClearStatus();
    std::FILE* stream = isError ? stderr : stdout;
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    if (FLiveStatus && FEngine.IsConverting())
        Refresh(true);
}

void TStatusPrinter::Finish() {
    ClearStatus();
}

void TStatusPrinter::ShowFinishedFile(int row, int icon, const QString& text) {
    Q_UNUSED(icon)
    const QString source = FEngine.MediaFiles().at(row).FilePath;
    QString line = text + QStringLiteral(": ") + source;
    if (text == QLatin1String("Done") || text == QLatin1String("Artwork write failed")) {
        for (const TFFmpegCommandLine& job : FEngine.CommandLines()) {
            if (job.FileListIndex == row) {
                line += QStringLiteral(" -> ") + job.DestinationFilePath;
                break;
            }
        }
    }
    PrintLine(line);
}

void TStatusPrinter::Refresh(bool force) {
    if (!FLiveStatus || !FEngine.IsConverting())
        return;
    if (!force && FLastRefresh.isValid() && FLastRefresh.elapsed() < 100)
        return;
    FLastRefresh.start();
    const TRunProgress& progress = FEngine.Progress();
    const TSlotLoad& load = FEngine.Load();
    const QString status = progress.ProgressText() + QStringLiteral(" | ") + progress.TimeText() +
                           QStringLiteral(" | ") + load.SpeedText() + QStringLiteral(" | ") +
                           load.CPUUsageText();
    // Carriage return and "erase to end of line" keep the status on one line.
    std::fputs("\r\033[K", stdout);
    std::fputs(status.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    FStatusShown = true;
}

void TStatusPrinter::ClearStatus() {
    if (!FStatusShown)
        return;
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
    FStatusShown = false;
}
