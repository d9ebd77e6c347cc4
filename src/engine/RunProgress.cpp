#include "engine/RunProgress.h"

#include "base/TextFormat.h"

void TRunProgress::Reset(qint32 commandLineCount, qint64 totalListTime) {
    *this = TRunProgress();
    FTotalCommandLineCount = commandLineCount;
    FTotalRemainingCount = commandLineCount;
    FTotalListTime = totalListTime;
}

void TRunProgress::Tick() {
    ++FPassedTime;
    FRemainingTime = FTotalTime - FPassedTime;
}

void TRunProgress::FileFinished(qint64 durationMs) {
    ++FTotalProgressCount;
    --FTotalRemainingCount;
    FConvertedTime += durationMs;
    if (FConvertedTime > 0) {
        FTotalTime = FTotalListTime * FPassedTime / FConvertedTime;
        FRemainingTime = FTotalTime - FPassedTime;
    }
}

qint32 TRunProgress::Percent() const {
    if (FTotalCommandLineCount == 0)
        return 0;
    return FTotalProgressCount * 100 / FTotalCommandLineCount;
}

QString TRunProgress::ProgressText() const {
    return QStringLiteral("Progress: %1% Done: %2 Success: %3 Error: %4 Remaining: %5")
        .arg(Percent())
        .arg(FTotalProgressCount)
        .arg(SuccessCount())
        .arg(FTotalFailedCount)
        .arg(FTotalRemainingCount);
}

QString TRunProgress::TimeText() const {
    return QStringLiteral("Time: ") + FormatDuration(FPassedTime) + QStringLiteral(" Remaing: ") +
           FormatDuration(FRemainingTime);
}
