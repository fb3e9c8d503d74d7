#pragma once

#include <QString>

#include <functional>

class QLabel;
class QListWidget;
class QTimer;
class QWidget;

class StationModel;
class FrmNew;

namespace platform {
class MessageBoxes;
}

// Press-and-hold scrolling of a list: mouse down starts a 100 ms timer in one direction, mouse
// up stops it; each tick moves the selection one place. Going down stops at the last item; going
// up from the first leaves the list without a selection.
class ListScroller {
  public:
    ListScroller(QListWidget* list, QTimer* timer);
    void press(const QString& direction);  // "Up" or "Down"
    void release();
    void tick();

  private:
    QListWidget* list_;
    QTimer* timer_;
};

// The management panel's actions on the station model.
class StationManager {
  public:
    struct Controls {
        QWidget* PicManageStations = nullptr;
        QListWidget* LstStations = nullptr;
        QListWidget* LstManageStations = nullptr;
        QListWidget* LstURLS = nullptr;
    };
    struct Actions {
        std::function<void()> stop;           // the player's Stop action
        std::function<void()> mainListClick;  // updates LblCnt
        // Shows the add dialog modally; the default makes a real FrmNew.
        std::function<void(FrmNew&)> runDialog;
    };

    StationManager(Controls controls, StationModel& model, platform::MessageBoxes& boxes,
                   Actions actions, QWidget* dialogParent);

    void LblManageStations_Click();
    void CmdNew_Click();
    void CmdDelete_Click();
    void cmdUp_Click();
    void CmdDown_Click();
    void PicManageOK_Click();
    // What FrmNew's OK does with a valid pair.
    void AddStation(const QString& name, const QString& url);

  private:
    void move(int delta);
    // Makes a change to the lists and saves them. When the save fails the lists are put back as
    // they were, so they keep matching the file, and the error goes on to the handler's trap.
    void changeAndSave(const std::function<void()>& change);

    Controls c_;
    StationModel& model_;
    platform::MessageBoxes& boxes_;
    Actions actions_;
    QWidget* dialogParent_;
};
