#pragma once

#include "model/MediaFile.h"
#include "model/RowState.h"

#include <QAbstractTableModel>
#include <QList>

// The conversion list: the media files in the order the user added them, the
// state of each row and the length of the whole list. The window's list view and
// velmo-convert read the same model; a run writes the row states.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileColumn, DurationColumn, StateColumn, ColumnCount };
    // The row's RowIcon, as an int, for a view that draws it.
    static constexpr int RowIconRole = Qt::UserRole + 1;

    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QList<MediaFile>& mediaFiles() const { return m_mediaFiles; }
    int appendMediaFile(MediaFile file);
    void removeMediaFile(int row); // also deletes its extracted cover pictures
    void clear();
    void setSelectedAudioStream(int row, int audioStreamIndex);

    qint64 totalListTime() const { return m_totalListTime; } // milliseconds
    void recalculateTotalDuration();
    QString summary() const; // "3 files, 00:03:00 in length"
    // The length of the row's selected stream in milliseconds; 0 outside the list.
    qint64 rowDuration(int row) const;

    const RowState& rowState(int row) const { return m_rowStates.at(row); }
    void setRowState(int row, RowIcon icon, const QString& text);
    void setRowIcon(int row, RowIcon icon);
    void setRowText(int row, const QString& text);

signals:
    void totalListTimeChanged(qint64 milliseconds);

private:
    bool hasRow(int row) const { return row >= 0 && row < m_mediaFiles.size(); }
    void emitRowChanged(int row, Column first, Column last);

    QList<MediaFile> m_mediaFiles;
    QList<RowState> m_rowStates;
    qint64 m_totalListTime = 0;
};
