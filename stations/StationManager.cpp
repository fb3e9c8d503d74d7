#include "stations/StationManager.h"

#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "stations/FrmNew.h"
#include "stations/StationModel.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// A list's items and selection, to be put back after a change that could not be saved.
struct ListState {
    explicit ListState(QListWidget* list) : list(list), row(list->currentRow()) {
        for (int i = 0; i < list->count(); ++i) {
            texts.append(list->item(i)->text());
        }
    }
    void restore() const {
        const QSignalBlocker block(list);
        list->clear();
        list->addItems(texts);
        list->setCurrentRow(row);
        if (row < 0) {
            list->clearSelection();
        }
    }
    QListWidget* list;
    int row;
    QStringList texts;
};

}  // namespace

ListScroller::ListScroller(QListWidget* list, QTimer* timer) : list_(list), timer_(timer) {
    timer_->setInterval(100);
    QObject::connect(timer_, &QTimer::timeout, list_, [this] { tick(); });
}

void ListScroller::press(const QString& direction) {
    timer_->setProperty("Tag", direction);
    timer_->start();
}

void ListScroller::release() {
    timer_->stop();
}

void ListScroller::tick() {
    platform::ignoreErrors([this] {
        const int row = list_->currentRow();
        const bool down = timer_->property("Tag").toString() == QLatin1String("Down");
        const int next = down ? row + 1 : row - 1;
        if (next >= list_->count() || next < -1 || (next == -1 && row == -1)) {
            return;
        }
        if (next == -1) {
            list_->setCurrentRow(-1);
            list_->clearSelection();
        } else {
            list_->setCurrentRow(next);
        }
    });
}

StationManager::StationManager(Controls controls, StationModel& model,
                               platform::MessageBoxes& boxes, Actions actions,
                               QWidget* dialogParent)
    : c_(controls),
      model_(model),
      boxes_(boxes),
      actions_(std::move(actions)),
      dialogParent_(dialogParent) {
    if (!actions_.runDialog) {
        actions_.runDialog = [](FrmNew& dialog) { dialog.exec(); };
    }
}

void StationManager::LblManageStations_Click() {
    platform::trapErrors(boxes_, [this] { c_.PicManageStations->show(); });
}

void StationManager::CmdNew_Click() {
    platform::trapErrors(boxes_, [this] {
        FrmNew dialog(
            boxes_, [this](const QString& name, const QString& url) { AddStation(name, url); },
            dialogParent_);
        actions_.runDialog(dialog);
    });
}

void StationManager::changeAndSave(const std::function<void()>& change) {
    const ListState lists[] = {ListState(c_.LstStations), ListState(c_.LstManageStations),
                               ListState(c_.LstURLS)};
    try {
        change();
        model_.SaveStations();
    } catch (...) {
        for (const ListState& list : lists) {
            list.restore();
        }
        model_.LstManageStations_Click();
        throw;
    }
}

void StationManager::AddStation(const QString& name, const QString& url) {
    changeAndSave([&] {
        c_.LstStations->addItem(name);
        c_.LstManageStations->addItem(name);
        c_.LstURLS->addItem(url);
    });
    boxes_.show(QStringLiteral("Successfully added the new station"), platform::MsgInformation,
                platform::kAppTitle);
    c_.LstStations->setCurrentRow(c_.LstStations->count() - 1);
    model_.LstManageStations_Click();
    if (actions_.mainListClick) {
        actions_.mainListClick();
    }
}

void StationManager::CmdDelete_Click() {
    platform::trapErrors(boxes_, [this] {
        const int i = c_.LstManageStations->currentRow();
        if (i < 0) {
            boxes_.show(QStringLiteral("You need to select a station"), platform::MsgInformation,
                        platform::kAppTitle);
            return;
        }
        if (boxes_.show(QStringLiteral("Are you sure you want to delete the selected stations?"),
                        platform::MsgInformation + platform::MsgYesNo,
                        platform::kAppTitle) != platform::MsgAnswer::Yes) {
            return;
        }
        changeAndSave([&] {
            delete c_.LstURLS->takeItem(i);
            // Removing the selected row would move the selection to a neighbour; the list is
            // left without one.
            const QSignalBlocker block(c_.LstManageStations);
            delete c_.LstManageStations->takeItem(i);
            c_.LstManageStations->setCurrentRow(-1);
            c_.LstManageStations->clearSelection();
        });
        model_.LstManageStations_Click();
    });
}

void StationManager::cmdUp_Click() {
    move(-1);
}
void StationManager::CmdDown_Click() {
    move(+1);
}

void StationManager::move(int delta) {
    platform::trapErrors(boxes_, [this, delta] {
        const int i = c_.LstManageStations->currentRow();
        if (i < 0) {
            boxes_.show(QStringLiteral("You need to select a station"), platform::MsgInformation,
                        platform::kAppTitle);
            return;
        }
        const int j = i + delta;
        if (j < 0 || j >= c_.LstManageStations->count()) {
            return;
        }
        changeAndSave([&] {
            for (QListWidget* list : {c_.LstURLS, c_.LstManageStations}) {
                const QString a = list->item(i)->text();
                list->item(i)->setText(list->item(j)->text());
                list->item(j)->setText(a);
            }
            c_.LstManageStations->setCurrentRow(j);
        });
    });
}

void StationManager::PicManageOK_Click() {
    platform::trapErrors(boxes_, [this] {
        if (model_.StationsChanged) {
            if (actions_.stop) {
                actions_.stop();
            }
            model_.LoadStations();
            model_.StationsChanged = false;
        }
        c_.PicManageStations->hide();
    });
}
