#include "engine/MediaFileAdder.h"

#include "base/FileNames.h"
#include "base/Log.h"
#include "base/TextFormat.h"
#include "engine/ConversionEngine.h"
#include "engine/WorkerWait.h"
#include "media/FileInfoThread.h"
#include "media/FileListThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const QStringList TMediaFileAdder::AudioExtensions = {
    QStringLiteral(".mp3"), QStringLiteral(".wav"),   QStringLiteral(".m4a"),  QStringLiteral(".flac"),
    QStringLiteral(".ogg"), QStringLiteral(".tta"),   QStringLiteral(".mpc"),  QStringLiteral(".aac"),
    QStringLiteral(".ac3"), QStringLiteral(".spx"),   QStringLiteral(".opus"), QStringLiteral(".shn"),
    QStringLiteral(".wv"),  QStringLiteral(".mpc"),   QStringLiteral(".ape"),  QStringLiteral(".wma"),
    QStringLiteral(".3ga"), QStringLiteral(".thd"),   QStringLiteral(".amr"),  QStringLiteral(".aac"),
    QStringLiteral(".m4b"), QStringLiteral(".tak"),   QStringLiteral(".dts"),  QStringLiteral(".aiff"),
    QStringLiteral(".aif"), QStringLiteral(".dtsma"), QStringLiteral(".mpa"),  QStringLiteral(".mp2"),
    QStringLiteral(".mka")};

const QStringList TMediaFileAdder::VideoExtensions = {
    QStringLiteral(".flv"),  QStringLiteral(".m2v"),  QStringLiteral(".avi"),  QStringLiteral(".mkv"),
    QStringLiteral(".mpeg"), QStringLiteral(".mpg"),  QStringLiteral(".mov"),  QStringLiteral(".wmv"),
    QStringLiteral(".mp4"),  QStringLiteral(".m4v"),  QStringLiteral(".dat"),  QStringLiteral(".vob"),
    QStringLiteral(".webm"), QStringLiteral(".m2ts"), QStringLiteral(".rmvb"), QStringLiteral(".mts"),
    QStringLiteral(".mxf"),  QStringLiteral(".ts")};

namespace {

// Only ";" separates; blanks belong to the entries.
QStringList splitTypes(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(u';');
}

} // namespace

TMediaFileAdder::TMediaFileAdder(TConversionEngine& engine, const QString& tempCoverArtFolder,
                                 QObject* parent)
    : QObject(parent), FEngine(engine),
      FFileInfoReader(std::make_unique<TFileInfoThread>(QString(), nullptr, tempCoverArtFolder)) {}

TMediaFileAdder::~TMediaFileAdder() {
    FFileInfoReader->Stop();
}

bool TMediaFileAdder::HasMediaExtension(const QString& path) {
    const QString extension = FileExtension(path).toLower();
    return !extension.isEmpty() &&
           (AudioExtensions.contains(extension) || VideoExtensions.contains(extension));
}

bool TMediaFileAdder::WaitForProbe() {
    return WaitForWorker(*FFileInfoReader, FProgressStopped, 5);
}

TMediaFileAdder::TAddResult TMediaFileAdder::AddMediaFile(const QString& path) {
    if (!IsNotInIgnoredList(path, splitTypes(FSettings.IgnoredTypes)))
        return {TAddStatus::Failed, QStringLiteral("This file type is ignored")};
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return {TAddStatus::Failed,
                QStringLiteral("Cannot find ") + path + QStringLiteral(" to add to the list.")};

    emit ProgressDialogMessageChanged(path);
    FFileInfoReader->Start(path);
    if (!WaitForProbe())
        return {TAddStatus::Aborted, QString()};
    if (!FFileInfoReader->ErrorMsg().isEmpty())
        return {TAddStatus::Failed, FFileInfoReader->ErrorMsg() + u' ' + path};
    if (FFileInfoReader->AudioStreams().isEmpty())
        return {TAddStatus::Failed, QStringLiteral("Cannot find any audio stream in ") + path + u'.'};

    TMediaFile file;
    file.FilePath = path;
    file.AudioStreams = FFileInfoReader->TakeAudioStreams();
    file.ArtworkStreams = FFileInfoReader->TakeArtkworkStreams();
    // QString::toUpper follows the locale-independent Unicode rules.
    const QString preferred = FSettings.PreferredLanguage.toUpper();
    file.SelectedAudioStream = 0;
    for (int index = 0; index < file.AudioStreams.size(); ++index) {
        if (file.AudioStreams.at(index).Lang.toUpper() == preferred) {
            file.SelectedAudioStream = index;
            break;
        }
    }
    FEngine.AppendMediaFile(std::move(file));
    return {TAddStatus::Added, QString()};
}

void TMediaFileAdder::BeginOperation(const QString& stateText) {
    FBusy = true;
    FProgressStopped = false;
    FAddedCount = 0;
    FFailedCount = 0;
    FStartTime.start();
    emit ProgressDialogShown(stateText, true, QString());
}

void TMediaFileAdder::EndOperation(bool saveSettings) {
    const qint64 seconds = FStartTime.elapsed() / 1000;
    FEngine.Log(QStringLiteral("Added ") + QString::number(FAddedCount) + QStringLiteral(" file(s) in ") +
                    FormatDuration(seconds),
                QStringLiteral("Info"));
    emit ProgressDialogHidden();
    FBusy = false;
    emit Finished(FAddedCount, FFailedCount, saveSettings);
}

void TMediaFileAdder::Count(const TAddResult& result, const QString& path) {
    switch (result.Status) {
    case TAddStatus::Added:
        ++FAddedCount;
        break;
    case TAddStatus::Failed:
        ++FFailedCount;
        FEngine.Log(result.Error, QStringLiteral("Error"));
        emit FileFailed(path, result.Error);
        break;
    case TAddStatus::Aborted:
        break;
    }
}

void TMediaFileAdder::AddThroughGate(const QString& path) {
    // Files of other types are skipped silently: neither added nor failed.
    if (HasMediaExtension(path))
        Count(AddMediaFile(path), path);
}

void TMediaFileAdder::AddFiles(const QStringList& files) {
    if (FBusy)
        return;
    BeginOperation(QStringLiteral("Adding files..."));
    if (!files.isEmpty())
        FLastOpenedDirectory = QFileInfo(files.first()).absolutePath();
    const int count = int(files.size());
    emit ProgressDialogBarChanged(count, 0);
    for (int index = 0; index < count; ++index) {
        QCoreApplication::processEvents();
        emit ProgressDialogBarChanged(count, index);
        if (FProgressStopped)
            break;
        Count(AddMediaFile(files.at(index)), files.at(index));
    }
    EndOperation(true);
}

QStringList TMediaFileAdder::ListFolder(const QString& folder, const QString& addOnlyTypes) {
    TFileListThread lister;
    lister.SetFolder(folder);
    lister.SetIgnoredFileTypesStr(FSettings.IgnoredTypes);
    lister.SetAddOnglyFileTypesStr(addOnlyTypes);
    lister.Start();
    if (!WaitForWorker(lister, FProgressStopped, 50)) {
        lister.SetStop(true);
        return {};
    }
    return lister.Files();
}

void TMediaFileAdder::AddFolder(const QString& folder, bool withSubFolders) {
    if (FBusy)
        return;
    FLastOpenedDirectory = folder;
    QStringList files;
    if (withSubFolders) {
        BeginOperation(QStringLiteral("Listing files..."));
        files = ListFolder(folder, FSettings.AddOnlyTypes);
        if (!FProgressStopped)
            emit ProgressDialogShown(QStringLiteral("Adding files..."), true, QString());
    } else {
        BeginOperation(QStringLiteral("Adding files..."));
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
        for (const QFileInfo& entry : entries)
            files.append(entry.filePath());
    }
    const int count = int(files.size());
    emit ProgressDialogBarChanged(count, 0);
    for (int index = 0; index < count && !FProgressStopped; ++index) {
        emit ProgressDialogBarChanged(count, index + 1);
        QCoreApplication::processEvents();
        if (FProgressStopped)
            break;
        AddThroughGate(files.at(index));
    }
    EndOperation(true);
}

void TMediaFileAdder::AddPaths(const QStringList& paths) {
    if (FBusy)
        return; // a second drop while adding is ignored
    BeginOperation(QStringLiteral("Listing files..."));
    LogInfo(QStringLiteral("TMainForm.JvDragDrop1Drop Count ") + QString::number(paths.size()));

    const QString folderAddOnly = FSettings.AddOnlyForGivenFolders ? FSettings.AddOnlyTypes : QString();
    QStringList collected;
    const int pathCount = int(paths.size());
    for (int index = 0; index < pathCount; ++index) {
        emit ProgressDialogBarChanged(pathCount, index);
        QCoreApplication::processEvents();
        if (FProgressStopped)
            break;
        const QString& path = paths.at(index);
        const QFileInfo info(path);
        if (info.isDir()) {
            emit ProgressDialogMessageChanged(path);
            const QStringList files = ListFolder(path, folderAddOnly);
            if (FProgressStopped)
                break;
            collected += files;
        } else if (info.exists()) {
            emit ProgressDialogMessageChanged(path);
            collected.append(path);
        }
    }

    if (!FProgressStopped) {
        emit ProgressDialogShown(QStringLiteral("Adding files..."), true, QString());
        const int count = int(collected.size());
        emit ProgressDialogBarChanged(count, 0);
        for (int index = 0; index < count; ++index) {
            const QString& file = collected.at(index);
            emit ProgressDialogBarChanged(count, index + 1);
            emit ProgressDialogMessageChanged(file);
            if (FProgressStopped)
                break;
            const int before = FAddedCount;
            AddThroughGate(file);
            if (FAddedCount > before)
                FLastOpenedDirectory = QFileInfo(file).absolutePath();
        }
    }
    EndOperation(false);
}
