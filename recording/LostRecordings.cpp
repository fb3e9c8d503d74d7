#include "recording/LostRecordings.h"

#include "platform/mci/capture_files.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"

QStringList RecoverLostRecordings(const QString& appFolder, platform::MessageBoxes& boxes) {
    const QStringList made = platform::recoverCaptureFiles(appFolder);
    if (made.isEmpty()) {
        return made;
    }
    const QString crLf = QStringLiteral("\r\n");
    const QString text =
        made.size() == 1
            ? QStringLiteral("A recording was cut off when the program ended unexpectedly.") +
                  crLf + QStringLiteral("What was recorded is kept in this file:")
            : QStringLiteral("Recordings were cut off when the program ended unexpectedly.") +
                  crLf + QStringLiteral("What was recorded is kept in these files:");
    boxes.show(text + crLf + made.join(crLf), platform::MsgInformation, platform::kAppTitle);
    return made;
}
