#include "engine/FileListModel.h"

#include "base/TextFormat.h"

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_mediaFiles.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !hasRow(index.row()))
        return QVariant();
    const int row = index.row();
    if (role == RowIconRole)
        return int(m_rowStates.at(row).icon);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case FileColumn:
        return m_mediaFiles.at(row).filePath;
    case DurationColumn:
        return formatDuration(rowDuration(row) / 1000);
    case StateColumn:
        return m_rowStates.at(row).text;
    default:
        return QVariant();
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case FileColumn:
        return QStringLiteral("File");
    case DurationColumn:
        return QStringLiteral("Duration");
    case StateColumn:
        return QStringLiteral("State");
    default:
        return QVariant();
    }
}

int FileListModel::appendMediaFile(MediaFile file) {
    const int row = int(m_mediaFiles.size());
    beginInsertRows(QModelIndex(), row, row);
    m_mediaFiles.append(std::move(file));
    m_rowStates.append(RowState());
    endInsertRows();
    m_totalListTime += rowDuration(row);
    emit totalListTimeChanged(m_totalListTime);
    return row;
}

void FileListModel::removeMediaFile(int row) {
    if (!hasRow(row))
        return;
    m_mediaFiles.at(row).deleteCoverArtTempFiles();
    beginRemoveRows(QModelIndex(), row, row);
    m_mediaFiles.removeAt(row);
    m_rowStates.removeAt(row);
    endRemoveRows();
    recalculateTotalDuration();
}

void FileListModel::clear() {
    for (const MediaFile& file : std::as_const(m_mediaFiles))
        file.deleteCoverArtTempFiles();
    beginResetModel();
    m_mediaFiles.clear();
    m_rowStates.clear();
    endResetModel();
    m_totalListTime = 0;
    emit totalListTimeChanged(m_totalListTime);
}

void FileListModel::setSelectedAudioStream(int row, int audioStreamIndex) {
    if (!hasRow(row))
        return;
    m_mediaFiles[row].selectedStreamIndex = audioStreamIndex;
    setRowState(row, RowIcon::Ready, RowState().text); // the duration column changes with it
    recalculateTotalDuration();
}

qint64 FileListModel::rowDuration(int row) const {
    if (!hasRow(row))
        return 0;
    const MediaFile& file = m_mediaFiles.at(row);
    if (file.selectedStreamIndex < 0 || file.selectedStreamIndex >= file.audioStreams.size())
        return 0;
    return file.audioStreams.at(file.selectedStreamIndex).duration;
}

void FileListModel::recalculateTotalDuration() {
    m_totalListTime = 0;
    for (int row = 0; row < m_mediaFiles.size(); ++row)
        m_totalListTime += rowDuration(row);
    emit totalListTimeChanged(m_totalListTime);
}

QString FileListModel::summary() const {
    return QStringLiteral("%1 files, %2 in length")
        .arg(m_mediaFiles.size())
        .arg(formatDuration(m_totalListTime / 1000));
}

void FileListModel::setRowState(int row, RowIcon icon, const QString& text) {
    if (!hasRow(row))
        return;
    m_rowStates[row] = RowState{icon, text};
    emitRowChanged(row, FileColumn, StateColumn);
}

void FileListModel::setRowIcon(int row, RowIcon icon) {
    if (!hasRow(row))
        return;
    m_rowStates[row].icon = icon;
    emitRowChanged(row, FileColumn, StateColumn);
}

void FileListModel::setRowText(int row, const QString& text) {
    if (!hasRow(row) || m_rowStates.at(row).text == text)
        return;
    m_rowStates[row].text = text;
    emitRowChanged(row, StateColumn, StateColumn);
}

void FileListModel::emitRowChanged(int row, Column first, Column last) {
    emit dataChanged(index(row, first), index(row, last));
}
