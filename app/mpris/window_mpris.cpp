#include "app/mpris/window_mpris.h"

#include "app/frm_fm.h"
#include "app/tray/mod_sys_tray.h"
#include "platform/player/mpv_player.h"
#include "playback/playback.h"

#include <QAbstractItemModel>
#include <QListWidget>

#include <cmath>

namespace mpris {

namespace {

// Selects the station `step` rows away and plays it; nothing past either end of the list.
void playNeighbour(app::FrmFM& w, int step) {
    QListWidget* list = w.LstStations();
    const int row = list->currentRow() + step;
    if (row < 0 || row >= list->count()) {
        return;
    }
    list->setCurrentRow(row);
    w.playback().PicPlay_Click();
}

}  // namespace

std::unique_ptr<Service> serveWindow(app::FrmFM& w) {
    QListWidget* list = w.LstStations();
    Target t;
    t.play = [&w] { w.playback().PicPlay_Click(); };
    t.stop = [&w] { w.playback().PicStop_Click(); };
    t.next = [&w] { playNeighbour(w, 1); };
    t.previous = [&w] { playNeighbour(w, -1); };
    // As the tray's Open: the window comes back and the tray icon goes.
    t.raise = [&w] { w.tray().mnuShow_Click(); };
    t.quit = [&w] { w.mnuClose_Click(); };
    t.playing = [&w] { return w.WM()->playState() == 3; };
    t.canGoNext = [list] { return list->currentRow() + 1 < list->count(); };
    t.canGoPrevious = [list] { return list->currentRow() > 0; };
    t.canPlay = [list] { return list->count() > 0; };
    t.volume = [&w] { return w.WM()->volume() / 100.0; };
    t.setVolume = [&w](double v) { w.WM()->setVolume(static_cast<int>(std::lround(v * 100))); };
    t.station = [list] { return list->currentRow(); };
    t.stationName = [&w, list] {
        if (w.WM()->playState() == 3 && !w.playback().CurrentStation().isEmpty()) {
            return w.playback().CurrentStation();
        }
        const QListWidgetItem* item = list->currentItem();
        return item != nullptr ? item->text().trimmed() : QString();
    };
    t.streamTitle = [&w] { return w.WM()->streamTitle(); };

    auto service = std::make_unique<Service>(std::move(t));
    Service* s = service.get();
    const auto refresh = [s] { s->refresh(); };
    platform::MpvPlayer* wm = w.WM();
    QObject::connect(wm, &platform::MpvPlayer::playStateChanged, s, refresh);
    QObject::connect(wm, &platform::MpvPlayer::volumeChanged, s, refresh);
    QObject::connect(wm, &platform::MpvPlayer::streamTitleChanged, s, refresh);
    QObject::connect(list, &QListWidget::currentRowChanged, s, refresh);
    QAbstractItemModel* model = list->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, s, refresh);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, s, refresh);
    QObject::connect(model, &QAbstractItemModel::modelReset, s, refresh);
    QObject::connect(model, &QAbstractItemModel::dataChanged, s, refresh);
    return service;
}

}  // namespace mpris
