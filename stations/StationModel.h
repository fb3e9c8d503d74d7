#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QListWidget;
class QWidget;

namespace platform {
class MessageBoxes;
}

// The main window's controls that hold the station model.
struct StationControls {
    QListWidget* LstStations = nullptr;        // the playable list of the main window
    QListWidget* LstManageStations = nullptr;  // the management panel's list
    QListWidget* LstURLS = nullptr;            // hidden: URLs at the positions of LstManageStations
    QLabel* LblTot = nullptr;                  // "Station : n of N" on the management panel
    QWidget* LblManageStations = nullptr;      // the "< Manage the stations >" link
};

// The station model: the lists above, the parallel StationUrls and the StationsChanged flag,
// loaded from and saved to the station file "Player.dll" in the application folder.
class StationModel {
  public:
    // `mainListClick` is the main list's click handling, run when loading selects a station.
    StationModel(StationControls controls, platform::MessageBoxes& boxes, QString appFolder,
                 std::function<void()> mainListClick);

    // Rebuilds the lists from the station file. Throws platform::Error when the file exists but
    // cannot be read; what was read before stays.
    void LoadStations();
    // After the first load: the management counter, or the built-in stations with their notice.
    void PrepareStationLists();
    // Writes LstManageStations/LstURLS to the station file and sets StationsChanged. Throws
    // platform::Error when the file cannot be written (the old file stays whole).
    void SaveStations();
    // Updates LblTot for the management list's selection.
    void LstManageStations_Click();

    QString stationFile() const;
    // The stream address of the station at `index` of LstStations (empty past the end).
    QString urlAt(int index) const;
    const QStringList& StationUrls() const { return StationUrls_; }
    bool StationsChanged = false;

  private:
    StationControls c_;
    platform::MessageBoxes& boxes_;
    QString appFolder_;
    std::function<void()> mainListClick_;
    QStringList StationUrls_;
};
