#pragma once

#include "stations/StationDownload.h"

#include <QString>
#include <QStringList>

class QListWidget;
class QWidget;
class StationModel;

namespace platform {
class MessageBoxes;
}

// The management panel's update from the vendor web site: downloads the vendor's station file
// ("http://" + vendor host + "/FM/Player.dll") into Update.dll, adds every station whose URL is
// new after the existing ones, rewrites Player.dll and reloads the station model.
class LiveUpdate {
  public:
    struct Controls {
        QListWidget* LstManageStations = nullptr;
        QListWidget* LstURLS = nullptr;
    };

    // `window` gets the wait pointer and ignores user input while the download runs.
    LiveUpdate(Controls controls, StationModel& model, platform::MessageBoxes& boxes,
               QString appFolder, QWidget* window, DownloadLimits limits = {});

    void CmdLive_Click();
    // Downloads the station file and reads it; false when the update must end.
    bool DownloadStationUpdate();
    // Reads Update.dll into LstManageStations2/LstURLS2 and deletes it; false (after telling the
    // user) when the file is missing.
    bool LoadStationUpdate();
    void MergeFiles();

    QString updateFile() const;

    // The stations of the last download, and the merged lists that were written.
    QStringList LstManageStations2;
    QStringList LstURLS2;
    QStringList LstManageStations3;
    QStringList LstURLS3;

  private:
    Controls c_;
    StationModel& model_;
    platform::MessageBoxes& boxes_;
    QString appFolder_;
    QWidget* window_;
    DownloadLimits limits_;
};
