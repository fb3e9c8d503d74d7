#include "app/notify/title_notices.h"

#include "app/frm_fm.h"
#include "platform/player/mpv_player.h"
#include "playback/playback.h"

#include <utility>

namespace app {

TitleNotices::TitleNotices(std::unique_ptr<platform::Notifications> notifications, Sources sources)
    : notifications_(std::move(notifications)), sources_(std::move(sources)) {}

TitleNotices::~TitleNotices() = default;

void TitleNotices::titleChanged(const QString& title) {
    if (title == last_) {
        return;
    }
    last_ = title;
    if (title.isEmpty() || !sources_.outOfSight() || !sources_.enabled()) {
        return;
    }
    notifications_->notify(title, sources_.station());
}

std::unique_ptr<TitleNotices> noticeTitles(FrmFM& w, std::function<bool()> enabled) {
    auto notices = std::make_unique<TitleNotices>(
        std::make_unique<platform::DesktopNotifications>(
            QStringLiteral("Zorvita"), QStringLiteral("zorvita"), QStringLiteral("zorvita")),
        TitleNotices::Sources{[&w] { return w.isMinimized() || !w.isVisible(); },
                              std::move(enabled), [&w] { return w.playback().CurrentStation(); }});
    platform::MpvPlayer* wm = w.WM();
    QObject::connect(wm, &platform::MpvPlayer::streamTitleChanged, notices.get(),
                     [wm, n = notices.get()] { n->titleChanged(wm->streamTitle()); });
    return notices;
}

}  // namespace app
