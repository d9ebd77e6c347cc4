// velmo-convert: converts files and folders with the engine of the window, from
// the command line. Defaults come from the user's stored settings; options
// override them for this run and are never written back.

#include "base/Log.h"
#include "cli/CliOptions.h"
#include "cli/CliSettings.h"
#include "cli/StatusPrinter.h"
#include "cli/StopSignals.h"
#include "engine/ConversionRun.h"
#include "engine/FileAdder.h"
#include "engine/FileListModel.h"
#include "engine/LogModel.h"
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

void printPresets(const PresetManager& presets) {
    for (int codec = 0; codec < OutputCodecCount; ++codec) {
        printOut(cliFormatName(OutputCodec(codec)));
        for (const Preset& preset : presets.presetsOfCodec(OutputCodec(codec)))
            printOut(QStringLiteral("  - ") + preset.title);
    }
}

// What one invocation composes: the list, the window log and the run over them,
// with the terminal printer as their view.
struct Session {
    Session(const ProgramPaths& paths, bool liveStatus) : printer(files, run, liveStatus) {
        run.setFFmpegPath(paths.ffmpegPath.isEmpty() ? QStringLiteral("ffmpeg") : paths.ffmpegPath);
        run.setCoverArtWriterPath(paths.coverWriterPath);
        run.setBackendOutputFolder(paths.backendOutputFolderPath);
        run.setPostEncodeAction(PostEncodeAction::DoNothing);
    }
    ~Session() {
        // The cover pictures this run extracted are not needed any more.
        files.clear();
    }

    void printAddError(const QString& text) {
        ++addFailures;
        printer.printLine(QStringLiteral("Error: ") + text, true);
    }

    FileListModel files;
    LogModel log;
    ConversionRun run{files, log};
    StatusPrinter printer;
    int addFailures = 0;
    bool interrupted = false;
};

// The given paths that exist, made absolute; the others are reported and counted.
QStringList existingPaths(const QStringList& paths, Session& session) {
    QStringList existing;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            const QString text =
                QStringLiteral("Cannot find ") + path + QStringLiteral(" to add to the list.");
            session.log.add(text, MessageKind::Error);
            session.printAddError(text);
            continue;
        }
        existing.append(info.absoluteFilePath());
    }
    return existing;
}

// The rows the overwrite option skips get a line each, naming the existing file.
void reportSkipped(Session& session, const RunSettings& settings, const QList<int>& rows) {
    const QString extension =
        outputExtension(settings.profile.codecId, settings.advancedSettings.aacExtensionIndex);
    for (int row : rows) {
        const QString output = outputFilePath(
            QFileInfo(session.files.mediaFiles().at(row).filePath).absoluteFilePath(), settings.outputFolder,
            false, settings.createFolderStruct, extension, formatName(settings.profile.codecId));
        session.printer.printLine(QStringLiteral("Skipping ") + output +
                                  QStringLiteral(" because it already exists"));
    }
}

int dryRun(Session& session, const RunSettings& settings) {
    if (session.files.mediaFiles().isEmpty()) {
        printError(QStringLiteral("Please add audio files."));
        return ExitFailed;
    }
    QList<int> skipped;
    const QList<Job> jobs = session.run.generateJobs(settings, &skipped);
    reportSkipped(session, settings, skipped);
    for (const Job& job : jobs) {
        printOut(job.destinationFilePath);
        printOut(QStringLiteral("  ") + session.run.ffmpegPath() + job.commandLine);
    }
    std::fflush(stdout);
    return session.addFailures > 0 ? ExitFailed : ExitSuccess;
}

int convert(QCoreApplication& app, Session& session, const RunSettings& settings) {
    ConversionRun& run = session.run;
    bool finished = false;
    QObject::connect(&run, &ConversionRun::messageRequested, &session.printer,
                     [&](MessageKind kind, const QString& text) {
                         session.printer.printLine(messageKindText(kind) + QStringLiteral(": ") + text,
                                                   kind == MessageKind::Error);
                     });
    QObject::connect(&run, &ConversionRun::runFinished, &app, [&](const RunResult& result) {
        // After Ctrl+C the stop's own line tells what happened.
        if (!session.interrupted)
            session.printer.printLine(result.message, result.failedCount > 0);
        if (run.state() != ConversionRun::State::Stopping) {
            finished = true;
            app.exit(0);
        }
    });
    QObject::connect(&run, &ConversionRun::runStopped, &app, [&] {
        session.printer.printLine(QStringLiteral("Encoding stopped by user."), true);
        finished = true;
        app.exit(0);
    });

    const StartResult started = run.start(settings);
    reportSkipped(session, settings, run.skippedRows());
    if (started == StartResult::Started && !finished)
        app.exec();
    session.printer.finish();

    if (session.interrupted)
        return ExitInterrupted;
    if (started != StartResult::Started) {
        // Every file skipped by the overwrite option counts as done; anything else
        // that kept the run from starting is a failure.
        return started == StartResult::NothingToDo && session.addFailures == 0 ? ExitSuccess : ExitFailed;
    }
    const bool anyFailed =
        session.addFailures > 0 || run.progress().totalFailedCount() > 0 || !run.stoppedRows().isEmpty();
    return anyFailed ? ExitFailed : ExitSuccess;
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
    PresetManager presets(paths.profileFolderPath, paths.userProfileFolderPath);
    presets.listPresets();
    if (options.listPresets) {
        printPresets(presets);
        return ExitSuccess;
    }

    const ProgramSettings program = loadProgramSettings(paths.settingsFilePath, machineThreadCountCeiling());
    const MainSettings mainSettings = loadMainSettings(paths.settingsFilePath, table);
    const AdvancedSettings advanced = loadAdvancedSettings(paths.advancedSettingsFilePath);
    const QStringList languageCodes = loadLanguageCodes(languageCodesFilePath());
    const StoredSettings stored{program, mainSettings, advanced, languageCodes, presets.presets()};
    CliRun cliRun;
    if (!buildCliRun(options, stored, table, cliRun, error)) {
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
    const bool liveStatus = ::isatty(STDOUT_FILENO) == 1 && !options.dryRun;
    Session session(paths, liveStatus);
    FileAdder adder(session.files, session.log, paths.tempCoverArtFolderPath);
    adder.setSettings(cliRun.add);
    QObject::connect(&adder, &FileAdder::fileFailed, &session.printer,
                     [&](const QString&, const QString& text) { session.printAddError(text); });
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&] {
        if (session.interrupted)
            return;
        session.interrupted = true;
        logWarning(QStringLiteral("velmo-convert: stop requested by a signal"));
        if (adder.isBusy())
            adder.abort();
        session.run.stop();
    });

    const QStringList existing = existingPaths(options.paths, session);
    if (!existing.isEmpty()) {
        if (liveStatus)
            session.printer.printLine(QStringLiteral("Adding files..."));
        adder.addPaths(existing);
    }
    if (session.interrupted) {
        session.printer.printLine(QStringLiteral("Stopped."), true);
        return ExitInterrupted;
    }
    return options.dryRun ? dryRun(session, cliRun.run) : convert(app, session, cliRun.run);
}
