#include "skins/skin_layout.h"

#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "skins/skin_settings.h"

#include <QWidget>

#include <cmath>

namespace skins {

namespace {

// Positions beyond what a window can hold are an overflow, not a place far away.
constexpr double kMaxPixels = 32767;

int toPixels(double twips, int twipsPerPixel) {
    const double pixels = std::round(twips / twipsPerPixel);
    if (std::fabs(pixels) > kMaxPixels) {
        throw platform::Error(6, platform::programName(), QStringLiteral("Overflow"));
    }
    return static_cast<int>(pixels);
}

// A control of the window by its design name, with its place in twips. Places are kept in twips
// while the layout is worked out, so the gaps of the design add up without rounding on the way.
class Placed {
  public:
    Placed(QWidget& window, const char* name) : widget_(find(window, name)) {
        left_ = widget_->x() * platform::twipsPerPixelX();
        top_ = widget_->y() * platform::twipsPerPixelY();
    }
    double left() const { return left_; }
    double top() const { return top_; }
    double width() const { return widget_->width() * platform::twipsPerPixelX(); }
    double height() const { return widget_->height() * platform::twipsPerPixelY(); }
    void setLeft(double twips) {
        widget_->move(toPixels(twips, platform::twipsPerPixelX()), widget_->y());
        left_ = twips;
    }
    void setTop(double twips) {
        widget_->move(widget_->x(), toPixels(twips, platform::twipsPerPixelY()));
        top_ = twips;
    }
    void moveTo(double left, double top) {
        setLeft(left);
        setTop(top);
    }

  private:
    static QWidget* find(QWidget& window, const char* name) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        if (w == nullptr) {
            throw platform::Error(
                340, platform::programName(),
                QStringLiteral("Control '%1' doesn't exist").arg(QString::fromLatin1(name)));
        }
        return w;
    }

    QWidget* widget_;
    double left_ = 0;
    double top_ = 0;
};

// Gaps of the design, in twips.
constexpr double kButtonGap = 35;
constexpr double kNewsGap = 160;
constexpr double kListGap = 50;
constexpr double kCountOffset = 450;
constexpr double kCaptionGap = 50;

}  // namespace

void AdjustPosition(QWidget& window, const QStringList& values) {
    Placed settingsBox(window, "PicSettingsBox");
    Placed play(window, "PicPlay");
    Placed mess(window, "PicMess");
    Placed lists(window, "PicLists");
    Placed up(window, "PicUp");
    Placed min(window, "PicMin");

    const auto value = [&values](int index) { return LayoutNumber(values.at(index)); };
    settingsBox.setLeft(value(0));
    settingsBox.setTop(value(1));
    play.setTop(value(2));
    play.setLeft(value(3));
    mess.setLeft(value(4));
    mess.setTop(value(5));
    lists.setLeft(value(6));
    up.setLeft(value(7));
    min.setTop(value(8));
    min.setLeft(value(9));

    Placed(window, "PicAboutMe").moveTo(settingsBox.left(), settingsBox.top());
    Placed holder(window, "PicHolder");
    holder.moveTo(mess.left(), mess.top());

    Placed* previous = &play;
    Placed stop(window, "PicStop");
    Placed record(window, "PicRecord");
    Placed settings(window, "PicSettings");
    Placed advanced(window, "PicAdvanceRec");
    Placed about(window, "PicAbout");
    for (Placed* next : {&stop, &record, &settings, &advanced, &about}) {
        next->moveTo(previous->left() + previous->width() + kButtonGap, previous->top());
        previous = next;
    }
    Placed(window, "PicRecordStop").moveTo(record.left(), record.top());

    Placed news(window, "PicNews");
    news.moveTo(play.left(), play.top() - news.height() - kNewsGap);

    up.setTop(holder.top() + kListGap);
    lists.setTop(up.top() + up.height() + kListGap);
    Placed down(window, "PicDown");
    down.moveTo(up.left(), lists.top() + lists.height() + kListGap);

    Placed(window, "PicCount").moveTo(down.left() + kCountOffset, down.top());
    Placed(window, "PicClose").moveTo(min.left() + min.width() + kCaptionGap, min.top());
}

}  // namespace skins
