#include "stations/LiveUpdate.h"

#include "common/VendorSite.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "stations/StationFile.h"
#include "stations/StationModel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QListWidget>
#include <QUrl>
#include <QWidget>

namespace {

// The wait pointer over the window for as long as the update runs, also when it fails.
class WaitPointer {
  public:
    explicit WaitPointer(QWidget* window) : window_(window) {
        if (window_) {
            window_->setCursor(Qt::WaitCursor);
        }
    }
    ~WaitPointer() {
        if (window_) {
            window_->unsetCursor();
        }
    }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;

  private:
    QWidget* window_;
};

// While the download waits, clicks, keys and closing are dropped for the window: they are not
// kept for later either, so a click on "update" during the wait does not start a second one.
class IgnoreUserInput final : public QObject {
  public:
    explicit IgnoreUserInput(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~IgnoreUserInput() override { QCoreApplication::instance()->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::Close: {
                const auto* widget = qobject_cast<const QWidget*>(watched);
                return widget && window_ && widget->window() == window_->window();
            }
            default:
                return false;
        }
    }

  private:
    QWidget* window_;
};

// Update.dll is a temporary file: it never outlives the update, whatever happened.
class RemoveOnExit {
  public:
    explicit RemoveOnExit(QString path) : path_(std::move(path)) {}
    ~RemoveOnExit() { QFile::remove(path_); }
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;

  private:
    QString path_;
};

}  // namespace

LiveUpdate::LiveUpdate(Controls controls, StationModel& model, platform::MessageBoxes& boxes,
                       QString appFolder, QWidget* window, DownloadLimits limits)
    : c_(controls),
      model_(model),
      boxes_(boxes),
      appFolder_(std::move(appFolder)),
      window_(window),
      limits_(limits) {}

QString LiveUpdate::updateFile() const {
    return appFolder_ + QStringLiteral("/Update.dll");
}

void LiveUpdate::CmdLive_Click() {
    platform::trapErrors(boxes_, [this] {
        if (boxes_.show(QStringLiteral("This will download new radio stations that are available "
                                       "on Velmo's website.\r\n"
                                       "Are you sure you want to downlaod and update your stations "
                                       "list?"),
                        platform::MsgQuestion + platform::MsgYesNo,
                        platform::kAppTitle) != platform::MsgAnswer::Yes) {
            return;
        }
        const WaitPointer wait(window_);
        const RemoveOnExit removeUpdateFile(updateFile());
        if (!DownloadStationUpdate()) {
            return;
        }
        MergeFiles();
        model_.LoadStations();
    });
}

bool LiveUpdate::DownloadStationUpdate() {
    QByteArray text;
    {
        const IgnoreUserInput ignoreInput(window_);
        text = DownloadFile(QUrl(VendorUrl(QStringLiteral("/FM/Player.dll"))), limits_);
    }
    if (text.trimmed().isEmpty()) {
        return true;
    }
    // What a browser would have wrapped around a plain file; a plain download has none of it.
    for (const char* wrapping : {"<HEAD></HEAD>", "<BODY><PRE>", "</PRE></BODY>"}) {
        text.replace(wrapping, "");
    }
    QFile file(updateFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush()) {
        throw platform::Error(75, platform::programName(),
                              QStringLiteral("The file \"%1\" could not be written: %2")
                                  .arg(updateFile(), file.errorString()));
    }
    file.close();
    return LoadStationUpdate();
}

bool LiveUpdate::LoadStationUpdate() {
    QFile file(updateFile());
    if (!file.exists()) {
        boxes_.show(QStringLiteral("Update.dll file not found. Please make sure the file is "
                                   "present at the below path\r\n") +
                        appFolder_,
                    platform::MsgCritical, platform::kAppTitle);
        return false;
    }
    LstManageStations2.clear();
    LstURLS2.clear();
    if (!file.open(QIODevice::ReadOnly)) {
        throw platform::Error(75, platform::programName(),
                              QStringLiteral("The file \"%1\" could not be read: %2")
                                  .arg(updateFile(), file.errorString()));
    }
    for (const StationEntry& s : ParseStationFile(file.readAll())) {
        LstManageStations2.append(s.name);
        LstURLS2.append(s.url);
    }
    file.close();
    file.remove();
    return true;
}

void LiveUpdate::MergeFiles() {
    LstManageStations3.clear();
    LstURLS3.clear();
    QStringList existing;
    for (int i = 0; i < c_.LstURLS->count(); ++i) {
        const QListWidgetItem* name = c_.LstManageStations->item(i);
        LstManageStations3.append(name ? name->text().trimmed() : QString());
        LstURLS3.append(c_.LstURLS->item(i)->text().trimmed());
        existing.append(LstURLS3.back());
    }
    int added = 0;
    for (qsizetype k = 0; k < LstURLS2.size(); ++k) {
        const QString url = LstURLS2[k].trimmed();
        if (existing.contains(url)) {
            continue;
        }
        LstManageStations3.append(LstManageStations2.value(k).trimmed());
        LstURLS3.append(url);
        ++added;
    }
    if (added == 0) {
        boxes_.show(QStringLiteral("No new stations available for update, your stations list is "
                                   "up-to-date."),
                    platform::MsgInformation, platform::kAppTitle);
        return;
    }
    WriteStationFile(model_.stationFile(), LstManageStations3, LstURLS3);
    boxes_.show(QStringLiteral("Successfully created the new stations file.\r\n\r\n") +
                    QString::number(added) + QStringLiteral(" new station(s) added."),
                platform::MsgInformation, platform::kAppTitle);
    model_.LstManageStations_Click();
}
