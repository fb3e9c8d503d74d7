#pragma once

#include "platform/notify/desktop_notifications.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace app {

class FrmFM;

// Tells the desktop each new title of the playing stream while the window is out of sight
// (minimised to the tray), so the listener sees what plays without opening it.
class TitleNotices final : public QObject {
    Q_OBJECT
  public:
    struct Sources {
        // Whether the window is minimised or hidden.
        std::function<bool()> outOfSight;
        // Whether notices are wanted (the setting "Notify"/"Show" is not "0").
        std::function<bool()> enabled;
        // The playing station's name.
        std::function<QString()> station;
    };
    TitleNotices(std::unique_ptr<platform::Notifications> notifications, Sources sources);
    ~TitleNotices() override;

    // A title seen while the window shows is not told again when it is minimised later; an empty
    // title (stopped, or the stream went quiet) lets the next title be told even if it repeats.
    void titleChanged(const QString& title);

    platform::Notifications& notifications() { return *notifications_; }

  private:
    std::unique_ptr<platform::Notifications> notifications_;
    Sources sources_;
    QString last_;
};

// Notices for the window's player, through the desktop's notification service.
std::unique_ptr<TitleNotices> noticeTitles(FrmFM& w, std::function<bool()> enabled);

}  // namespace app
