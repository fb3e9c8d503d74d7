#include "app/window_adapters.h"

#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/tray/mod_sys_tray.h"
#include "playback/playback.h"
#include "skins/picture_box.h"
#include "stations/StationModel.h"

#include <QAction>
#include <QCursor>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>

namespace app {

void MessageLabel::setCaption(const QString& text) {
    label_->setText(text);
}

void MessageLabel::repaintNow() {
    label_->repaint();
}

int WindowStationList::count() const {
    return w_.LstStations()->count();
}

// The current row: a click makes a row current before it selects it, and the click handler runs
// in between.
int WindowStationList::selectedIndex() const {
    return w_.LstStations()->currentRow();
}

void WindowStationList::select(int index) {
    // The list's click handler is connected to its selection; the player runs it itself.
    const QSignalBlocker quiet(w_.LstStations());
    w_.LstStations()->setCurrentRow(index);
}

QString WindowStationList::text(int index) const {
    const QListWidgetItem* item = w_.LstStations()->item(index);
    return item != nullptr ? item->text() : QString();
}

QString WindowStationList::url(int index) const {
    return w_.stations().urlAt(index);
}

void WindowStationList::setCounterCaption(const QString& caption) {
    w_.LblCnt()->setText(caption);
}

void WindowChrome::setPicMessVisible(bool visible) {
    w_.PicMess()->setVisible(visible);
}

void WindowChrome::setFlashIcon(int index) {
    w_.setWindowIcon(w_.Flash(index));
}

void WindowChrome::refreshTray() {
    w_.tray().UpdateTrayIcon(1);
}

void WindowChrome::setPauseCaption(const QString& caption) {
    w_.MnuPause()->setText(caption);
}

void WindowChrome::setShowVolCaption(const QString& caption) {
    w_.mnuShowVol()->setText(caption);
}

void WindowChrome::popupViewMenu(bool withVideoSize) {
    w_.MnuSize()->menuAction()->setVisible(withVideoSize);
    w_.mnuView()->popup(QCursor::pos());
}

QString WindowRecordTag::tag() const {
    return w_.Tag();
}

void WindowRecordTag::stopRecording() {
    w_.recordFlow().StopRecordingAction();
}

bool WindowRecordView::IsPlaying() const {
    return w_.playback().IsPlaying();
}

void WindowRecordView::NoHeadlines() {
    w_.NoHeadlines();
}

void WindowRecordView::ShowHeadlines() {
    w_.ShowHeadlines();
}

void WindowRecordView::showRecordButton(bool record) {
    w_.PicRecord()->setVisible(record);
    w_.PicRecordStop()->setVisible(!record);
}

bool WindowRecordView::selectedRate(int* index, QString* caption) const {
    for (int i = 0; i < w_.OptSampleRateCount(); ++i) {
        if (w_.OptSampleRate(i)->isChecked()) {
            *index = i;
            *caption = w_.OptSampleRate(i)->text();
            return true;
        }
    }
    return false;
}

void WindowRecordView::setTag(const QString& tag) {
    w_.setTag(tag);
}

void WindowChrome::endRollover() {
    w_.UnhookHover();
}

void WindowRecordView::UnhookHover() {
    w_.UnhookHover();
}

}  // namespace app
