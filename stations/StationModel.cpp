#include "stations/StationModel.h"

#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "stations/StationFile.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>

StationModel::StationModel(StationControls controls, platform::MessageBoxes& boxes,
                           QString appFolder, std::function<void()> mainListClick)
    : c_(controls),
      boxes_(boxes),
      appFolder_(std::move(appFolder)),
      mainListClick_(std::move(mainListClick)) {
    QObject::connect(c_.LstManageStations, &QListWidget::currentRowChanged, c_.LblTot,
                     [this](int) { LstManageStations_Click(); });
}

QString StationModel::stationFile() const {
    return appFolder_ + QStringLiteral("/Player.dll");
}

QString StationModel::urlAt(int index) const {
    return index >= 0 && index < StationUrls_.size() ? StationUrls_[index] : QString();
}

void StationModel::LoadStations() {
    StationUrls_ = QStringList{QString()};
    QFile file(stationFile());
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw platform::Error(75, platform::programName(),
                              QStringLiteral("The station file \"%1\" could not be read: %2")
                                  .arg(stationFile(), file.errorString()));
    }
    c_.LstStations->clear();
    c_.LstManageStations->clear();
    c_.LstURLS->clear();
    const std::vector<StationEntry> stations = ParseStationFile(file.readAll());
    StationUrls_.clear();
    for (const StationEntry& s : stations) {
        StationUrls_.append(s.url);
        c_.LstStations->addItem(s.name);
        c_.LstManageStations->addItem(s.name);
        c_.LstURLS->addItem(s.url);
    }
    StationUrls_.append(QString());
    if (c_.LstStations->count() > 0) {
        c_.LstStations->setCurrentRow(0);
        if (mainListClick_) {
            mainListClick_();
        }
    }
}

void StationModel::PrepareStationLists() {
    if (c_.LstStations->count() > 0) {
        c_.LstManageStations->setCurrentRow(0);
        LstManageStations_Click();
        c_.LblTot->repaint();
        return;
    }
    boxes_.show(QStringLiteral("Player.dll file not found or is Corrupted.\r\n"
                               "Default Radio Stations will be loaded."),
                platform::MsgInformation, platform::kAppTitle);
    StationUrls_.clear();
    for (const StationEntry& s : DefaultStations()) {
        StationUrls_.append(s.url);
        c_.LstStations->addItem(s.name);
    }
    while (StationUrls_.size() < 35) {
        StationUrls_.append(QString());
    }
    c_.LblManageStations->hide();
}

void StationModel::SaveStations() {
    QStringList names;
    QStringList urls;
    for (int i = 0; i < c_.LstManageStations->count(); ++i) {
        names.append(c_.LstManageStations->item(i)->text());
        urls.append(i < c_.LstURLS->count() ? c_.LstURLS->item(i)->text() : QString());
    }
    WriteStationFile(stationFile(), names, urls);
    StationsChanged = true;
}

void StationModel::LstManageStations_Click() {
    // With no selection the row is -1, so the position reads 0.
    const int row = c_.LstManageStations->currentRow();
    c_.LblTot->setText(
        QStringLiteral("Station : %1 of %2").arg(row + 1).arg(c_.LstManageStations->count()));
}
