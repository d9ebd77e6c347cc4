// velmo-convert: converts files and folders with the engine of the window, from
// the command line. Defaults come from the user's stored settings; options
// override them for this run and are never written back.

#include "base/Log.h"
#include "cli/CliOptions.h"
#include "cli/CliSettings.h"
#include "cli/StatusPrinter.h"
#include "cli/StopSignals.h"
#include "engine/ConversionEngine.h"
#include "engine/FileAdder.h"
#include "engine/OutputPath.h"
#include "model/CodecTable.h"
#include "settings/AdvancedSettingsFile.h"
#include "settings/LanguageCodes.h"
#include "settings/MainSettings.h"
#include "settings/PresetManager.h"
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

    CliOptions options;
    QString error;
    if (!parseCliOptions(QCoreApplication::arguments(), options, error)) {
        printError(error);
        return ExitUsage;
    }
    if (options.help) {
        std::fputs(cliHelpText().toLocal8Bit().constData(), stdout);
        return ExitSuccess;
    }

    ProgramPaths paths;
    if (!ProgramStartup::prepare(paths, error)) {
        printError(error);
        return ExitFailed;
    }

    const CodecTable table = buildCodecTable();
    PresetManager profileManager(paths.profileFolderPath, paths.userProfileFolderPath);
    profileManager.listPresets();
    const QList<Preset>& presets = profileManager.presets();
    if (options.listPresets) {
        for (int codec = 0; codec < OutputCodecCount; ++codec) {
            printOut(cliFormatName(OutputCodec(codec)));
            for (const Preset& preset : profileManager.presetsOfCodec(OutputCodec(codec)))
                printOut(QStringLiteral("  - ") + preset.title);
        }
        return ExitSuccess;
    }

    const ProgramSettings program = loadProgramSettings(paths.settingsFilePath, machineThreadCountCeiling());
    const MainSettings mainSettings = loadMainSettings(paths.settingsFilePath, table);
    const AdvancedSettings advanced = loadAdvancedSettings(paths.advancedSettingsFilePath);
    const QStringList languageCodes = loadLanguageCodes(languageCodesFilePath());
    const StoredSettings stored{program, mainSettings, advanced, languageCodes, presets};
    CliRun run;
    if (!buildCliRun(options, stored, table, run, error)) {
        printError(error);
        return ExitUsage;
    }

    if (paths.ffmpegPath.isEmpty() && !options.dryRun) {
        printError(
            QStringLiteral("ffmpeg was not found: install it (Debian: apt install ffmpeg) or put it in ") +
            paths.programFolder + u'/' + paths.toolSubFolder);
        logError(QStringLiteral("velmo-convert: ffmpeg was not found"));
        return ExitFailed;
    }

    StopSignals stopSignals;
    ConversionEngine engine;
    engine.setFFmpegPath(paths.ffmpegPath.isEmpty() ? QStringLiteral("ffmpeg") : paths.ffmpegPath);
    engine.setCoverArtWriterPath(paths.coverWriterPath);
    engine.setBackendOutputFolder(paths.backendOutputFolderPath);
    engine.setPostEncodeAction(PostEncodeAction::DoNothing);

    const bool liveStatus = ::isatty(STDOUT_FILENO) == 1 && !options.dryRun;
    StatusPrinter printer(engine, liveStatus);

    // Adding.
    FileAdder adder(engine, paths.tempCoverArtFolderPath);
    adder.setSettings(run.add);
    int addFailures = 0;
    QObject::connect(&adder, &FileAdder::fileFailed, &printer, [&](const QString&, const QString& text) {
        ++addFailures;
        printer.printLine(QStringLiteral("Error: ") + text, true);
    });
    QStringList existing;
    for (const QString& path : std::as_const(options.paths)) {
        const QFileInfo info(path);
        if (!info.exists()) {
            ++addFailures;
            const QString text =
                QStringLiteral("Cannot find ") + path + QStringLiteral(" to add to the list.");
            engine.log(text, QStringLiteral("Error"));
            printer.printLine(QStringLiteral("Error: ") + text, true);
            continue;
        }
        existing.append(info.absoluteFilePath());
    }

    bool interrupted = false;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&] {
        if (interrupted)
            return;
        interrupted = true;
        logWarning(QStringLiteral("velmo-convert: stop requested by a signal"));
        if (adder.isBusy())
            adder.abort();
        engine.stop();
    });

    if (!existing.isEmpty()) {
        if (liveStatus)
            printer.printLine(QStringLiteral("Adding files..."));
        adder.addPaths(existing);
    }
    if (interrupted) {
        printer.printLine(QStringLiteral("Stopped."), true);
        engine.clearMediaFiles();
        return ExitInterrupted;
    }

    QString lastMessageCaption;
    QObject::connect(&engine, &ConversionEngine::messageRequested, &printer,
                     [&](const QString& caption, const QString& text) {
                         lastMessageCaption = caption;
                         printer.printLine(caption + QStringLiteral(": ") + text,
                                           caption == QLatin1String("Error"));
                     });

    // The rows the overwrite option skips get a line each, naming the existing file.
    const auto reportSkipped = [&](const QList<int>& rows) {
        const QString extension =
            outputExtension(run.run.profile.codecId, run.run.advancedSettings.aacExtensionIndex);
        for (int row : rows) {
            const QString output = outputFilePath(
                QFileInfo(engine.mediaFiles().at(row).filePath).absoluteFilePath(), run.run.outputFolder,
                false, run.run.createFolderStruct, extension, formatName(run.run.profile.codecId));
            printer.printLine(QStringLiteral("Skipping ") + output +
                              QStringLiteral(" because it already exists"));
        }
    };

    if (options.dryRun) {
        if (engine.mediaFiles().isEmpty()) {
            printError(QStringLiteral("Please add audio files."));
            return ExitFailed;
        }
        QList<int> skipped;
        const QList<Job> jobs = engine.generateJobs(run.run, &skipped);
        reportSkipped(skipped);
        for (const Job& job : jobs) {
            printOut(job.destinationFilePath);
            printOut(QStringLiteral("  ") + engine.ffmpegPath() + job.commandLine);
        }
        std::fflush(stdout);
        engine.clearMediaFiles();
        return addFailures > 0 ? ExitFailed : ExitSuccess;
    }

    bool finished = false;
    QObject::connect(&engine, &ConversionEngine::runFinished, &app,
                     [&](const QString& message, int failedCount, PostEncodeAction) {
                         // After Ctrl+C the stop's own line tells what happened.
                         if (!interrupted)
                             printer.printLine(message, failedCount > 0);
                         if (engine.state() != ConversionEngine::State::Stopping) {
                             finished = true;
                             app.exit(0);
                         }
                     });
    QObject::connect(&engine, &ConversionEngine::runStopped, &app, [&] {
        printer.printLine(QStringLiteral("Encoding stopped by user."), true);
        finished = true;
        app.exit(0);
    });

    const bool started = engine.startConversion(run.run);
    reportSkipped(engine.skippedRows());
    if (started && !finished)
        app.exec();
    printer.finish();

    int exitCode = ExitSuccess;
    if (interrupted) {
        exitCode = ExitInterrupted;
    } else if (!started) {
        // Every file skipped by the overwrite option counts as done; anything else
        // that kept the run from starting is a failure.
        const bool allSkipped = lastMessageCaption == QLatin1String("Warning");
        exitCode = allSkipped && addFailures == 0 ? ExitSuccess : ExitFailed;
    } else {
        bool anyFailed = addFailures > 0 || engine.progress().totalFailedCount() > 0;
        for (int row = 0; row < engine.mediaFiles().size(); ++row) {
            if (engine.rowState(row).text == QLatin1String("Stopped by user"))
                anyFailed = true;
        }
        exitCode = anyFailed ? ExitFailed : ExitSuccess;
    }
    // The cover pictures this run extracted are not needed any more.
    engine.clearMediaFiles();
    return exitCode;
}
