// velmo-convert: converts files and folders with the engine of the window, from
// the command line. Defaults come from the user's stored settings; options
// override them for this run and are never written back.

#include "base/Log.h"
#include "cli/CliOptions.h"
#include "cli/CliSettings.h"
#include "cli/StatusPrinter.h"
#include "cli/StopSignals.h"
#include "engine/ConversionEngine.h"
#include "engine/MediaFileAdder.h"
#include "engine/OutputPath.h"
#include "model/CodecTable.h"
#include "settings/AdvancedSettingsFile.h"
#include "settings/LanguageCodes.h"
#include "settings/MainSettings.h"
#include "settings/ProfileManager.h"
#include "settings/ProgramSettings.h"
#include "system/ProgramStartup.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int ExitSuccess = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitInterrupted = 130;

void printError(const QString& text) {
    std::fputs(("velmo-convert: " + text + u'\n').toLocal8Bit().constData(), stderr);
}

void printOut(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmo-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMO_VERSION));

    TCliOptions options;
    QString error;
    if (!ParseCliOptions(QCoreApplication::arguments(), options, error)) {
        printError(error);
        return ExitUsage;
    }
    if (options.Help) {
        std::fputs(CliHelpText().toLocal8Bit().constData(), stdout);
        return ExitSuccess;
    }

    TProgramPaths paths;
    if (!ProgramStartup::Prepare(paths, error)) {
        printError(error);
        return ExitFailed;
    }

    const TCodecTable table = BuildCodecTable();
    TProfileManager profileManager(paths.ProfileFolderPath, paths.UserProfileFolderPath);
    profileManager.ListProfiles();
    const QList<TProfile>& presets = profileManager.Profiles();
    if (options.ListPresets) {
        for (int codec = 0; codec < OutputCodecCount; ++codec) {
            printOut(CliFormatName(TOutputCodec(codec)));
            for (const TProfile& preset : profileManager.ProfilesOfCodec(TOutputCodec(codec)))
                printOut(QStringLiteral("  - ") + preset.FTitle);
        }
        return ExitSuccess;
    }

    const TProgramSettings program = LoadProgramSettings(paths.SettingsFilePath, MachineThreadCountCeiling());
    const TMainSettings mainSettings = LoadMainSettings(paths.SettingsFilePath, table);
    const TAdvancedSettings advanced = LoadAdvancedSettings(paths.AdvancedSettingsFilePath);
    const QStringList languageCodes = LoadLanguageCodes(LanguageCodesFilePath());
    const TStoredSettings stored{program, mainSettings, advanced, languageCodes, presets};
    TCliRun run;
    if (!BuildCliRun(options, stored, table, run, error)) {
        printError(error);
        return ExitUsage;
    }

    if (paths.FFmpegPath.isEmpty() && !options.DryRun) {
        printError(
            QStringLiteral("ffmpeg was not found: install it (Debian: apt install ffmpeg) or put it in ") +
            paths.ProgramFolder + u'/' + paths.ToolSubFolder);
        LogError(QStringLiteral("velmo-convert: ffmpeg was not found"));
        return ExitFailed;
    }

    TStopSignals stopSignals;
    TConversionEngine engine;
    engine.SetFFmpegPath(paths.FFmpegPath.isEmpty() ? QStringLiteral("ffmpeg") : paths.FFmpegPath);
    engine.SetCoverArtWriterPath(paths.CoverWriterPath);
    engine.SetBackendOutputFolder(paths.BackendOutputFolderPath);
    engine.SetPostEncodeAction(paDoNothing);

    const bool liveStatus = ::isatty(STDOUT_FILENO) == 1 && !options.DryRun;
    TStatusPrinter printer(engine, liveStatus);

    // Adding.
    TMediaFileAdder adder(engine, paths.TempCoverArtFolderPath);
    adder.SetSettings(run.Add);
    int addFailures = 0;
    QObject::connect(&adder, &TMediaFileAdder::FileFailed, &printer,
                     [&](const QString&, const QString& text) {
                         ++addFailures;
                         printer.PrintLine(QStringLiteral("Error: ") + text, true);
                     });
    QStringList existing;
    for (const QString& path : std::as_const(options.Paths)) {
        const QFileInfo info(path);
        if (!info.exists()) {
            ++addFailures;
            const QString text =
                QStringLiteral("Cannot find ") + path + QStringLiteral(" to add to the list.");
            engine.Log(text, QStringLiteral("Error"));
            printer.PrintLine(QStringLiteral("Error: ") + text, true);
            continue;
        }
        existing.append(info.absoluteFilePath());
    }

    bool interrupted = false;
    QObject::connect(&stopSignals, &TStopSignals::StopRequested, &app, [&] {
        if (interrupted)
            return;
        interrupted = true;
        LogWarning(QStringLiteral("velmo-convert: stop requested by a signal"));
        if (adder.IsBusy())
            adder.Abort();
        engine.Stop();
    });

    if (!existing.isEmpty()) {
        if (liveStatus)
            printer.PrintLine(QStringLiteral("Adding files..."));
        adder.AddPaths(existing);
    }
    if (interrupted) {
        printer.PrintLine(QStringLiteral("Stopped."), true);
        engine.ClearMediaFiles();
        return ExitInterrupted;
    }

    QString lastMessageCaption;
    QObject::connect(&engine, &TConversionEngine::MessageRequested, &printer,
                     [&](const QString& caption, const QString& text) {
                         lastMessageCaption = caption;
                         printer.PrintLine(caption + QStringLiteral(": ") + text,
                                           caption == QLatin1String("Error"));
                     });

    // The rows the overwrite option skips get a line each, naming the existing file.
    const auto reportSkipped = [&](const QList<int>& rows) {
        const QString extension =
            GetOutputExtension(run.Run.Profile.FCodecId, run.Run.AdvancedSettings.AacExtensionIndex);
        for (int row : rows) {
            const QString output = TOutputFilePathHelper::GenerateOutputFilePath(
                QFileInfo(engine.MediaFiles().at(row).FilePath).absoluteFilePath(), run.Run.OutputFolder,
                false, run.Run.CreateFolderStruct, extension,
                TExtensions::TOutputCodecsToStr(run.Run.Profile.FCodecId));
            printer.PrintLine(QStringLiteral("Skipping ") + output +
                              QStringLiteral(" because it already exists"));
        }
    };

    if (options.DryRun) {
        if (engine.MediaFiles().isEmpty()) {
            printError(QStringLiteral("Please add audio files."));
            return ExitFailed;
        }
        QList<int> skipped;
        const QList<TFFmpegCommandLine> jobs = engine.GenerateCommandLines(run.Run, &skipped);
        reportSkipped(skipped);
        for (const TFFmpegCommandLine& job : jobs) {
            printOut(job.DestinationFilePath);
            printOut(QStringLiteral("  ") + engine.FFmpegPath() + job.CommandLine);
        }
        std::fflush(stdout);
        engine.ClearMediaFiles();
        return addFailures > 0 ? ExitFailed : ExitSuccess;
    }

    bool finished = false;
    QObject::connect(&engine, &TConversionEngine::RunFinished, &app,
                     [&](const QString& message, int failedCount, int) {
                         // After Ctrl+C the stop's own line tells what happened.
                         if (!interrupted)
                             printer.PrintLine(message, failedCount > 0);
                         if (engine.State() != TConversionEngine::TState::Stopping) {
                             finished = true;
                             app.exit(0);
                         }
                     });
    QObject::connect(&engine, &TConversionEngine::RunStopped, &app, [&] {
        printer.PrintLine(QStringLiteral("Encoding stopped by user."), true);
        finished = true;
        app.exit(0);
    });

    const bool started = engine.StartConversion(run.Run);
    reportSkipped(engine.SkippedRows());
    if (started && !finished)
        app.exec();
    printer.Finish();

    int exitCode = ExitSuccess;
    if (interrupted) {
        exitCode = ExitInterrupted;
    } else if (!started) {
        // Every file skipped by the overwrite option counts as done; anything else
        // that kept the run from starting is a failure.
        const bool allSkipped = lastMessageCaption == QLatin1String("Warning");
        exitCode = allSkipped && addFailures == 0 ? ExitSuccess : ExitFailed;
    } else {
        bool anyFailed = addFailures > 0 || engine.Progress().TotalFailedCount() > 0;
        for (int row = 0; row < engine.MediaFiles().size(); ++row) {
            if (engine.RowState(row).Text == QLatin1String("Stopped by user"))
                anyFailed = true;
        }
        exitCode = anyFailed ? ExitFailed : ExitSuccess;
    }
    // The cover pictures this run extracted are not needed any more.
    engine.ClearMediaFiles();
    return exitCode;
}
