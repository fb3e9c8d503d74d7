#include "app/compose_player.h"

#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/main_entry.h"
#include "platform/player/mpv_player.h"
#include "platform/registry/registry.h"
#include "platform/ui/error.h"
#include "platform/ui/report_error.h"
#include "skins/picture_box.h"

#include <QAction>
#include <QEvent>
#include <QListWidget>

namespace app {

namespace {

// Keeps the player as wide as its area whatever size a skin gives the area; as the area's child it
// follows the area's place by itself.
class FollowHolder final : public QObject {
  public:
    FollowHolder(QWidget* holder, QWidget* player) : QObject(holder), player_(player) {
        holder->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            player_->setGeometry(0, 0, static_cast<QWidget*>(watched)->width(), player_->height());
        }
        return false;
    }

  private:
    QWidget* player_;
};

// The control at the top-left corner of the player area, as wide as the area; its height comes
// from the volume-control setting at load.
platform::MpvPlayer* createPlayer(QWidget* holder) {
    platform::MpvPlayer* wm = nullptr;
    try {
        wm = new platform::MpvPlayer(holder);
    } catch (const platform::Error& e) {
        throw platform::Error(
            kErrCannotCreatePlayer, e.source(),
            QStringLiteral("The media player could not be started: ") + e.description());
    }
    wm->setObjectName(QStringLiteral("WM"));
    wm->setGeometry(0, 0, holder->width(), wm->height());
    new FollowHolder(holder, wm);
    return wm;
}

// The visualisation preferences that Main presets (type and preset); the player's own choice
// stays when they cannot be read.
void applyVisualisation(platform::Registry& registry, platform::MpvPlayer& wm) {
    platform::ignoreErrors([&] {
        const auto type = registry.queryValue(platform::RegRoot::CurrentUser, kPlayerPreferencesKey,
                                              QStringLiteral("CurrentEffectType"));
        const auto preset =
            registry.queryValue(platform::RegRoot::CurrentUser, kPlayerPreferencesKey,
                                QStringLiteral("CurrentEffectPreset"));
        if (type && type->kind == platform::RegKind::String && preset &&
            preset->kind == platform::RegKind::Dword) {
            wm.setVisualisation(type->text, static_cast<int>(preset->dword));
        }
    });
}

}  // namespace

PlayerParts::PlayerParts(FrmFM& w, MediaServices services)
    : label_(w.LblMessage()),
      recorder_(services.mci, w.boxes(), label_, w.appFolder()),
      view_(w),
      flow_(recorder_, view_,
            ::RecordFlow::Services{w.boxes(), w.shell(), label_,
                                   std::move(services.captureDeviceCount), std::move(services.now)},
            w.appFolder()),
      tag_(w),
      stations_(w),
      chrome_(w),
      wm_(createPlayer(w.PicHolder())),
      playback_(*wm_, stations_, chrome_, tag_, w.boxes(), w.settings(), services.mci,
                w.appFolder()) {
    applyVisualisation(w.registry(), *wm_);
    connectControls(w);
}

PlayerParts::~PlayerParts() = default;

void PlayerParts::connectControls(FrmFM& w) {
    using skins::PictureBox;
    playback::Playback* p = &playback_;
    QObject::connect(w.PicPlay(), &PictureBox::Click, p, [p] { p->PicPlay_Click(); });
    QObject::connect(w.PicStop(), &PictureBox::Click, p, [p] { p->PicStop_Click(); });
    QObject::connect(w.LstStations(), &QListWidget::currentRowChanged, p,
                     [p] { p->LstStations_Click(); });
    QObject::connect(w.LstStations(), &QListWidget::itemDoubleClicked, p,
                     [p] { p->LstStations_DblClick(); });
    QObject::connect(w.mnuFull(), &QAction::triggered, p, [p] { p->mnuFull_Click(); });
    QObject::connect(w.MnuPause(), &QAction::triggered, p, [p] { p->MnuPause_Click(); });
    QObject::connect(w.mnuShowVol(), &QAction::triggered, p, [p] { p->mnuShowVol_Click(); });

    ::RecordFlow* f = &flow_;
    QObject::connect(w.PicRecord(), &PictureBox::Click, p, [f] { f->PicRecord_Click(); });
    QObject::connect(w.PicRecordStop(), &PictureBox::Click, p, [f] { f->PicRecordStop_Click(); });
    QObject::connect(w.PicAdvanceRec(), &PictureBox::Click, p, [f] { f->PicAdvanceRec_Click(); });
}

}  // namespace app
