#include "engine/FileAdder.h"

#include "base/FileNames.h"
#include "base/Log.h"
#include "base/TextFormat.h"
#include "engine/FileListModel.h"
#include "engine/LogModel.h"
#include "engine/WorkerWait.h"
#include "media/FolderLister.h"
#include "media/ProbeWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const QStringList FileAdder::AudioExtensions = {
    QStringLiteral(".mp3"), QStringLiteral(".wav"),   QStringLiteral(".m4a"),  QStringLiteral(".flac"),
    QStringLiteral(".ogg"), QStringLiteral(".tta"),   QStringLiteral(".mpc"),  QStringLiteral(".aac"),
    QStringLiteral(".ac3"), QStringLiteral(".spx"),   QStringLiteral(".opus"), QStringLiteral(".shn"),
    QStringLiteral(".wv"),  QStringLiteral(".mpc"),   QStringLiteral(".ape"),  QStringLiteral(".wma"),
    QStringLiteral(".3ga"), QStringLiteral(".thd"),   QStringLiteral(".amr"),  QStringLiteral(".aac"),
    QStringLiteral(".m4b"), QStringLiteral(".tak"),   QStringLiteral(".dts"),  QStringLiteral(".aiff"),
    QStringLiteral(".aif"), QStringLiteral(".dtsma"), QStringLiteral(".mpa"),  QStringLiteral(".mp2"),
    QStringLiteral(".mka")};

const QStringList FileAdder::VideoExtensions = {
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

FileAdder::FileAdder(FileListModel& files, LogModel& log, const QString& tempCoverArtFolder, QObject* parent)
    : QObject(parent), m_files(files), m_log(log),
      m_fileInfoReader(std::make_unique<ProbeWorker>(nullptr, tempCoverArtFolder)) {}

FileAdder::~FileAdder() {
    m_fileInfoReader->stop();
}

bool FileAdder::hasMediaExtension(const QString& path) {
    const QString extension = fileExtension(path).toLower();
    return !extension.isEmpty() &&
           (AudioExtensions.contains(extension) || VideoExtensions.contains(extension));
}

bool FileAdder::waitForProbe() {
    return waitForWorker(*m_fileInfoReader, m_progressStopped, 5);
}

FileAdder::AddResult FileAdder::addMediaFile(const QString& path) {
    if (!isNotInIgnoredList(path, splitTypes(m_settings.ignoredTypes)))
        return {AddStatus::Failed, QStringLiteral("This file type is ignored")};
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return {AddStatus::Failed,
                QStringLiteral("Cannot find ") + path + QStringLiteral(" to add to the list.")};

    emit busyMessageChanged(path);
    m_fileInfoReader->start(path);
    if (!waitForProbe())
        return {AddStatus::Aborted, QString()};
    if (!m_fileInfoReader->errorText().isEmpty())
        return {AddStatus::Failed, m_fileInfoReader->errorText() + u' ' + path};
    if (m_fileInfoReader->audioStreams().isEmpty())
        return {AddStatus::Failed, QStringLiteral("Cannot find any audio stream in ") + path + u'.'};

    MediaFile file;
    file.filePath = path;
    file.audioStreams = m_fileInfoReader->takeAudioStreams();
    file.coverArtStreams = m_fileInfoReader->takeCoverArtStreams();
    // QString::toUpper follows the locale-independent Unicode rules.
    const QString preferred = m_settings.preferredLanguage.toUpper();
    file.selectedStreamIndex = 0;
    for (int index = 0; index < file.audioStreams.size(); ++index) {
        if (file.audioStreams.at(index).lang.toUpper() == preferred) {
            file.selectedStreamIndex = index;
            break;
        }
    }
    m_files.appendMediaFile(std::move(file));
    return {AddStatus::Added, QString()};
}

void FileAdder::beginOperation(const QString& stateText) {
    m_busy = true;
    m_progressStopped = false;
    m_addedCount = 0;
    m_failedCount = 0;
    m_startTime.start();
    emit busyStarted(stateText, true, QString());
}

void FileAdder::endOperation(bool saveSettings) {
    const qint64 seconds = m_startTime.elapsed() / 1000;
    m_log.add(QStringLiteral("Added ") + QString::number(m_addedCount) + QStringLiteral(" file(s) in ") +
                  formatDuration(seconds),
              MessageKind::Info);
    emit busyEnded();
    m_busy = false;
    emit finished(m_addedCount, m_failedCount, saveSettings);
}

void FileAdder::countResult(const AddResult& result, const QString& path) {
    switch (result.status) {
    case AddStatus::Added:
        ++m_addedCount;
        break;
    case AddStatus::Failed:
        ++m_failedCount;
        m_log.add(result.error, MessageKind::Error);
        emit fileFailed(path, result.error);
        break;
    case AddStatus::Aborted:
        break;
    }
}

void FileAdder::addThroughGate(const QString& path) {
    // Files of other types are skipped silently: neither added nor failed.
    if (hasMediaExtension(path))
        countResult(addMediaFile(path), path);
}

void FileAdder::addFiles(const QStringList& files) {
    if (m_busy)
        return;
    beginOperation(QStringLiteral("Adding files..."));
    if (!files.isEmpty())
        m_lastOpenedDirectory = QFileInfo(files.first()).absolutePath();
    const int count = int(files.size());
    emit busyProgressChanged(count, 0);
    for (int index = 0; index < count; ++index) {
        QCoreApplication::processEvents();
        emit busyProgressChanged(count, index);
        if (m_progressStopped)
            break;
        countResult(addMediaFile(files.at(index)), files.at(index));
    }
    endOperation(true);
}

QStringList FileAdder::listFolder(const QString& folder, const QString& addOnlyTypes) {
    FolderLister lister;
    lister.setFolder(folder);
    lister.setIgnoredTypesText(m_settings.ignoredTypes);
    lister.setAddOnlyTypesText(addOnlyTypes);
    lister.start();
    if (!waitForWorker(lister, m_progressStopped, 50)) {
        lister.setStop(true);
        return {};
    }
    return lister.files();
}

void FileAdder::addFolder(const QString& folder, bool withSubFolders) {
    if (m_busy)
        return;
    m_lastOpenedDirectory = folder;
    QStringList files;
    if (withSubFolders) {
        beginOperation(QStringLiteral("Listing files..."));
        files = listFolder(folder, m_settings.addOnlyTypes);
        if (!m_progressStopped)
            emit busyStarted(QStringLiteral("Adding files..."), true, QString());
    } else {
        beginOperation(QStringLiteral("Adding files..."));
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
        for (const QFileInfo& entry : entries)
            files.append(entry.filePath());
    }
    const int count = int(files.size());
    emit busyProgressChanged(count, 0);
    for (int index = 0; index < count && !m_progressStopped; ++index) {
        emit busyProgressChanged(count, index + 1);
        QCoreApplication::processEvents();
        if (m_progressStopped)
            break;
        addThroughGate(files.at(index));
    }
    endOperation(true);
}

void FileAdder::addPaths(const QStringList& paths) {
    if (m_busy)
        return; // a second drop while adding is ignored
    beginOperation(QStringLiteral("Listing files..."));
    logInfo(QStringLiteral("TMainForm.JvDragDrop1Drop Count ") + QString::number(paths.size()));

    const QString folderAddOnly = m_settings.addOnlyForGivenFolders ? m_settings.addOnlyTypes : QString();
    QStringList collected;
    const int pathCount = int(paths.size());
    for (int index = 0; index < pathCount; ++index) {
        emit busyProgressChanged(pathCount, index);
        QCoreApplication::processEvents();
        if (m_progressStopped)
            break;
        const QString& path = paths.at(index);
        const QFileInfo info(path);
        if (info.isDir()) {
            emit busyMessageChanged(path);
            const QStringList files = listFolder(path, folderAddOnly);
            if (m_progressStopped)
                break;
            collected += files;
        } else if (info.exists()) {
            emit busyMessageChanged(path);
            collected.append(path);
        }
    }

    if (!m_progressStopped) {
        emit busyStarted(QStringLiteral("Adding files..."), true, QString());
        const int count = int(collected.size());
        emit busyProgressChanged(count, 0);
        for (int index = 0; index < count; ++index) {
            const QString& file = collected.at(index);
            emit busyProgressChanged(count, index + 1);
            emit busyMessageChanged(file);
            if (m_progressStopped)
                break;
            const int before = m_addedCount;
            addThroughGate(file);
            if (m_addedCount > before)
                m_lastOpenedDirectory = QFileInfo(file).absolutePath();
        }
    }
    endOperation(false);
}
