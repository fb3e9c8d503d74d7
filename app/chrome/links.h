#pragma once

#include <QString>

class QLabel;

namespace platform {
class Shell;
}

namespace chrome {

// Where the window's links go, on the vendor web site or the author's mail.
QString FaqUrl();
QString HomeUrl();
QString MailUrl();
QString SkinsUrl();

// Opens a web address, a mail address or a file with the desktop's "open" action. showCommand
// is the window state the caller asks for (3, maximised), which the desktop decides for itself
// on Linux. Returns whether the desktop took the request.
bool OpenLink(platform::Shell& shell, const QString& target, int showCommand);

// The status label's link: the site's root, only while the label shows the credit text (never
// while it shows a status, recording or saving text).
void LblMessage_Click(platform::Shell& shell, const QLabel& lblMessage);

}  // namespace chrome
