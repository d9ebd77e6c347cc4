#pragma once

#include "model/LogEntry.h"

#include <QAbstractListModel>
#include <QList>

// The window log: what the program tells the user about adding files and runs,
// kept for the log window and written to the log file as well.
class LogModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { DateRole = Qt::UserRole + 1, KindRole };

    explicit LogModel(QObject* parent = nullptr);
    ~LogModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void add(const QString& message, MessageKind kind);
    const QList<LogEntry>& entries() const { return m_entries; }

signals:
    void entryAdded(const LogEntry& entry);

private:
    QList<LogEntry> m_entries;
};
