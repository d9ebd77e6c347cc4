#pragma once

#include <QDateTime>
#include <QString>

// The kinds of the window log's entries and of the messages a run shows the user.
enum class MessageKind { Info, Warning, Error };

// "Info", "Warning", "Error": the log window's type column and a message box's caption.
inline QString messageKindText(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return QStringLiteral("Warning");
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Info:
        break;
    }
    return QStringLiteral("Info");
}

// One entry of the window log.
struct LogEntry {
    QDateTime date;
    MessageKind kind = MessageKind::Info;
    QString message;
};
