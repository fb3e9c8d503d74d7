#pragma once

#include <QString>
#include <QStringList>

namespace platform {
class MessageBoxes;
}  // namespace platform

// Start-up: recordings cut off by a crash or a kill become visible recordings in the application
// folder, and the user is told once where they are. Returns the recordings made.
QStringList RecoverLostRecordings(const QString& appFolder, platform::MessageBoxes& boxes);
