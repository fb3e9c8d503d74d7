#include "news/HeadlineTicker.h"

#include "news/HeadlineParser.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace news {

namespace {

const QString kConnecting = QStringLiteral("Connecting to Indian News Server.");

// Glyphs land on fractional positions only with light or no hinting.
QFont slideFont(const QFont& font) {
    QFont f = font;
    f.setHintingPreference(QFont::PreferVerticalHinting);
    return f;
}

// The quarter pixel a position in twips falls in.
int Quarter(int twips) {
    return int(std::floor(twips * 4.0 / HeadlineTicker::kTwipsPerPixel));
}

}  // namespace

HeadlineTicker::HeadlineTicker(QLabel* label, QWidget* strip, QTimer* timer,
                               std::function<void()> fetch, std::function<void()> noHeadlines,
                               QObject* parent)
    : QObject(parent),
      label_(label),
      strip_(strip),
      timer_(timer),
      fetch_(std::move(fetch)),
      noHeadlines_(std::move(noHeadlines)) {
    staticText_.setTextFormat(Qt::PlainText);
    staticText_.setPerformanceHint(QStaticText::AggressiveCaching);
    label_->installEventFilter(this);
    connect(timer_, &QTimer::timeout, this, &HeadlineTicker::Tick);
}

void HeadlineTicker::Reset() {
    headlines_.clear();
    hasList_ = false;
    index_ = 0;
    left_ = 0;
    SetText(QString());
}

void HeadlineTicker::SetText(const QString& text) {
    label_->setText(text);
    staticText_.setText(text);
    const QFontMetricsF metrics(slideFont(label_->font()));
    width_ = int(std::ceil(metrics.horizontalAdvance(text) * kTwipsPerPixel));
}

void HeadlineTicker::Paint() {
    label_->update();
}

void HeadlineTicker::ParseHeadlines(const QString& response) {
    headlines_ = SplitHeadlines(JoinHeadlines(response));
    hasList_ = true;
    if (headlines_.size() < 2) {
        noHeadlines_();
        timer_->stop();
        return;
    }
    if (index_ < headlines_.size()) {
        SetText(headlines_.at(index_));
    }
    Paint();
    timer_->start();
}

void HeadlineTicker::Tick() {
    --left_;
    if (left_ > -width_) {
        // Glyphs are placed at quarter pixels at best: a move within a quarter would repaint the
        // same picture.
        if (Quarter(left_) != Quarter(left_ + 1)) {
            Paint();
        }
        return;
    }
    left_ = strip_->width() * kTwipsPerPixel;
    ++index_;
    if (index_ < headlines_.size()) {
        SetText(headlines_.at(index_));
    }
    if (label_->text().trimmed().isEmpty()) {
        SetText(kConnecting);
    }
    Paint();
    // An index past the end (a new list shorter than the old one) ends the list too, or the
    // headlines would never refresh again.
    if (!hasList_ || index_ >= headlines_.size() - 1) {
        index_ = 0;
        fetch_();
    }
}

bool HeadlineTicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != label_ || event->type() != QEvent::Paint) {
        return false;
    }
    QPainter painter(label_);
    painter.setFont(slideFont(label_->font()));
    painter.setPen(label_->palette().color(label_->foregroundRole()));
    const QFontMetricsF metrics(painter.font());
    const qreal top = (label_->height() - metrics.height()) / 2;
    painter.drawStaticText(QPointF(qreal(left_) / kTwipsPerPixel, top), staticText_);
    return true;
}

}  // namespace news
