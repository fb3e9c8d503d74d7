#pragma once

#include <QPoint>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class QPainter;
class clsFourier;

// What drawing needs of a picture box: a painter open on it (a widget in its paint event, or an
// image) and its colours, as 0x00BBGGRR numbers. The box's size is the painter's device size in
// pixels.
struct PicBox {
    QPainter& hdc;
    std::uint32_t backColor = 0;  // what clearing the box paints
    std::uint32_t fillColor = 0;  // the inside of the waveform's outline
};

// The recorder's live views: the waveform trace, the 22-bar spectrum with falling peaks and the
// level bars. Only the analyser and the bar peaks persist between frames; a frame allocates
// nothing once the analyser exists.
class clsDraw {
  public:
    static constexpr int kBars = 22;
    static constexpr int kSpectrumSamples = 1024;

    clsDraw();
    ~clsDraw();
    clsDraw(const clsDraw&) = delete;
    clsDraw& operator=(const clsDraw&) = delete;

    // The outline colour of the waveform box (the skin's "ComboBackColor").
    std::uint32_t ComboBackColor() const { return comboBackColor_; }
    void setComboBackColor(std::uint32_t color) { comboBackColor_ = color; }

    // The trace of the samples' averages across the box, positive samples downward. Groups that
    // would run past the end of a short buffer average the samples there are (none: 0).
    void DrawAmplitudes(std::span<const std::int16_t> intSamples, PicBox& picbox);

    // The spectrum of the buffer's first 1024 samples as 22 bars; a shorter buffer leaves the box
    // and the bars untouched.
    void DrawFrequencies(std::span<const std::int16_t> intSamples, PicBox& picbox);

    // Fills left..right-1 x top..bottom-1 with the colour; nothing when the rectangle is empty.
    static void DrawRect(QPainter& hdc, int lngLeft, int lngTop, int lngRight, int lngBottom,
                         std::uint32_t lngColor);

    // A level bar: cleared box, then a bar from the left edge across level x width, coloured from
    // green (0) through orange (0.5) to red (1). Levels outside 0..1 draw as their nearer end.
    static void DrawLevel(PicBox& picbox, float level);

    const std::array<double, kBars>& barPeaks() const { return peaks_; }

  private:
    std::uint32_t comboBackColor_ = 0;
    std::array<double, kBars> peaks_{};
    std::array<double, kBars> barWeights_{};
    std::array<double, kSpectrumSamples / 2 + 1> magnitudes_{};
    std::vector<QPoint> trace_;
    std::unique_ptr<clsFourier> analyser_;
};
