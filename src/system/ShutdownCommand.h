#pragma once

#include <QString>
#include <QStringList>

// The "Shutdown PC" action after a run. By default it asks logind to power the
// machine off (system D-Bus) and falls back to "systemctl poweroff". The command is
// replaceable: VELMO_SHUTDOWN_COMMAND (a command-line text) or setCommand put another
// program in its place, which is how tests and unusual systems use it.
namespace ShutdownCommand {

// An empty list restores the default.
void setCommand(const QStringList& programAndArguments);

// The replacement in effect (setCommand first, then the environment), empty for the default.
QStringList replacementCommand();

// Runs the shutdown and waits for the request to be delivered; false with a reason
// when neither way worked.
bool run(QString* error = nullptr);

} // namespace ShutdownCommand
