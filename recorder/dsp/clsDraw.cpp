#include "recorder/dsp/clsDraw.h"

#include "recorder/dsp/clsFourier.h"
#include "recorder/dsp/modDraw.h"

#include <QColor>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QColor toQColor(std::uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

int roundToInt(double value) {
    return static_cast<int>(std::nearbyint(value));
}

}  // namespace

clsDraw::clsDraw() {
    // Each bar's sum is weighted by 1 + hann(j + 3) over a 25-point Hann curve, then divided by 3.
    for (int j = 0; j < kBars; ++j) {
        const double hann = (1 - std::cos(2 * std::numbers::pi * (j + 3) / 25)) / 2;
        barWeights_[static_cast<std::size_t>(j)] = 1 + hann;
    }
}

clsDraw::~clsDraw() = default;

void clsDraw::DrawRect(QPainter& hdc, int lngLeft, int lngTop, int lngRight, int lngBottom,
                       std::uint32_t lngColor) {
    if (lngRight <= lngLeft || lngBottom <= lngTop) {
        return;
    }
    hdc.fillRect(QRect(lngLeft, lngTop, lngRight - lngLeft, lngBottom - lngTop),
                 toQColor(lngColor));
}

void clsDraw::DrawAmplitudes(std::span<const std::int16_t> intSamples, PicBox& picbox) {
    QPainter& hdc = picbox.hdc;
    if (!hdc.isActive()) {
        return;
    }
    const int w = hdc.device()->width();
    const int h = hdc.device()->height();
    const int mid = h / 2;

    // An outline in the skin's colour around the box's fill colour.
    DrawRect(hdc, 0, 0, w, h, comboBackColor_);
    DrawRect(hdc, 1, 1, w - 1, h - 1, picbox.fillColor);

    const auto count = static_cast<std::int64_t>(intSamples.size());
    const std::int64_t step =
        w > 0 ? std::llround(std::nearbyint(static_cast<double>(count - 1) / w)) : 0;
    trace_.clear();
    trace_.emplace_back(0, mid);
    std::int64_t next = 0;
    for (int x = 1; x <= w - 3; ++x) {
        const std::int64_t end = std::min(next + std::max<std::int64_t>(step, 0), count);
        double sum = 0;
        for (std::int64_t i = next; i < end; ++i) {
            sum += intSamples[static_cast<std::size_t>(i)];
        }
        const double v =
            end > next ? std::clamp(sum / static_cast<double>(end - next) / 32767.0, -1.0, 1.0)
                       : 0.0;
        next = end;
        trace_.emplace_back(x, roundToInt(v * (mid - 2) + mid));
    }
    // GDI's LineTo leaves out its end point, so the last point reached is (W - 2, mid).
    trace_.emplace_back(w - 2, mid);

    hdc.save();
    hdc.setRenderHint(QPainter::Antialiasing, false);
    hdc.setPen(QPen(Qt::white, 0));
    hdc.drawPolyline(trace_.data(), static_cast<int>(trace_.size()));
    hdc.restore();
}

void clsDraw::DrawFrequencies(std::span<const std::int16_t> intSamples, PicBox& picbox) {
    if (intSamples.size() < kSpectrumSamples) {
        return;
    }
    if (!analyser_) {
        analyser_ = std::make_unique<clsFourier>();
        analyser_->setNumberOfSamples(kSpectrumSamples);
        analyser_->setWithTimeWindow(true);
    }
    for (int i = 0; i < kSpectrumSamples; ++i) {
        analyser_->RealIn(i + 1, intSamples[static_cast<std::size_t>(i)]);
    }
    for (double& peak : peaks_) {
        peak = std::max(peak - 0.07, 0.0);
    }
    constexpr double scale = kSpectrumSamples / 4;
    for (std::size_t k = 0; k < magnitudes_.size(); ++k) {
        const double m = analyser_->ComplexOut(static_cast<std::int32_t>(k) + 1) / scale / 32767.0;
        magnitudes_[k] = std::min(m, 0.2) / 0.2;
    }
    // One running sum through all bars; bin 0 and every fifth bin after it are left out.
    double x = 0;
    for (std::size_t j = 0; j < kBars; ++j) {
        for (std::size_t k = 5 * j + 1; k <= 5 * j + 4; ++k) {
            x += magnitudes_[k];
        }
        x = barWeights_[j] * x / 3;
        peaks_[j] = std::min(std::max(peaks_[j], x), 1.0);
    }

    QPainter& hdc = picbox.hdc;
    if (!hdc.isActive()) {
        return;
    }
    const int w = hdc.device()->width();
    const int h = hdc.device()->height();
    DrawRect(hdc, 0, 0, w, h, picbox.backColor);
    for (int j = 0; j < kBars; ++j) {
        const double peak = peaks_[static_cast<std::size_t>(j)];
        const auto green = static_cast<std::uint32_t>(roundToInt(peak * 255));
        const std::uint32_t color = 255 | (green << 8) | (50u << 16);
        const int top = std::max(2, roundToInt(h - h * peak) - 2);
        DrawRect(hdc, 4 * j + 4, top, 4 * j + 7, h - 2, color);
    }
}

void clsDraw::DrawLevel(PicBox& picbox, float level) {
    QPainter& hdc = picbox.hdc;
    if (!hdc.isActive()) {
        return;
    }
    const int w = hdc.device()->width();
    const int h = hdc.device()->height();
    const std::uint32_t color =
        modDraw::BlendColor(1, level, modDraw::kLevelLow, modDraw::kLevelMid, modDraw::kLevelHigh);
    const double shown = level >= 0.0f ? std::min(static_cast<double>(level), 1.0) : 0.0;
    DrawRect(hdc, 0, 0, w, h, picbox.backColor);
    DrawRect(hdc, 0, 0, roundToInt(w * shown), h, color);
}
