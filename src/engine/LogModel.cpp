#include "engine/LogModel.h"

#include "base/Log.h"

LogModel::LogModel(QObject* parent) : QAbstractListModel(parent) {}

LogModel::~LogModel() = default;

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= m_entries.size())
        return QVariant();
    const LogEntry& entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return entry.message;
    case DateRole:
        return entry.date;
    case KindRole:
        return int(entry.kind);
    default:
        return QVariant();
    }
}

void LogModel::add(const QString& message, MessageKind kind) {
    const LogEntry entry{QDateTime::currentDateTime(), kind, message};
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    endInsertRows();
    // Every entry of the window log also goes to the log file, whatever its kind.
    logInfo(message);
    emit entryAdded(entry);
}
