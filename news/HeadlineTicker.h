#pragma once

#include <QObject>
#include <QStaticText>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QTimer;
class QWidget;

namespace news {

// The headline strip: holds the parsed pieces and slides one piece at a time from right to left
// across the strip, one twip a tick of the slide timer. The position is kept in twips and the
// text is painted at its exact, fractional pixel position, so it glides instead of jumping a
// whole pixel every fifteen ticks. The label covers the strip; only it is repainted, and only
// when the text has moved by a quarter pixel, the finest step glyphs are placed at.
class HeadlineTicker final : public QObject {
    Q_OBJECT

  public:
    static constexpr int kTwipsPerPixel = 15;

    // The label shows the piece (its text is the piece), the strip is the area it crosses, the
    // timer drives the slide. fetch starts a new fetch; noHeadlines puts the credit label back.
    HeadlineTicker(QLabel* label, QWidget* strip, QTimer* timer, std::function<void()> fetch,
                   std::function<void()> noHeadlines, QObject* parent = nullptr);

    // Builds the pieces from a response and starts the slide (or gives up on a page with fewer
    // than two pieces).
    void ParseHeadlines(const QString& response);
    // One step of the slide.
    void Tick();
    // Forgets the list and the position, as for a new window.
    void Reset();

    const QStringList& Headlines() const { return headlines_; }
    bool HasList() const { return hasList_; }
    int HeadlineIndex() const { return index_; }
    // The label's left edge and width, in twips of the strip.
    int Left() const { return left_; }
    int Width() const { return width_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetText(const QString& text);
    void Paint();

    QLabel* label_;
    QWidget* strip_;
    QTimer* timer_;
    std::function<void()> fetch_;
    std::function<void()> noHeadlines_;
    QStringList headlines_;
    bool hasList_ = false;
    int index_ = 0;
    int left_ = 0;
    int width_ = 0;
    QStaticText staticText_;
};

}  // namespace news
