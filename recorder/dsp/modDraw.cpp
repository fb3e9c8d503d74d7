#include "recorder/dsp/modDraw.h"

#include <cmath>
#include <initializer_list>

namespace modDraw {
namespace {

float channel(std::uint32_t color, int shift) {
    return static_cast<float>((color >> shift) & 0xFF);
}

std::uint32_t blend(std::uint32_t from, std::uint32_t to, float half, float t) {
    std::uint32_t result = 0;
    for (const int shift : {0, 8, 16}) {
        const float a = channel(from, shift);
        const float b = channel(to, shift);
        const float mixed = std::nearbyint(a + (b - a) / half * t);
        const float limited = mixed < 0.0f ? 0.0f : (mixed > 255.0f ? 255.0f : mixed);
        result |= static_cast<std::uint32_t>(limited) << shift;
    }
    return result;
}

}  // namespace

std::uint32_t BlendColor(float range, float value, std::uint32_t colorLow, std::uint32_t colorMid,
                         std::uint32_t colorHigh) {
    if (!(range > 0.0f) || !std::isfinite(range)) {
        return colorLow & 0xFFFFFF;
    }
    const float v = value >= 0.0f ? (value <= range ? value : range) : 0.0f;
    const float half = range / 2;
    if (v < half) {
        return blend(colorLow, colorMid, half, v);
    }
    return blend(colorMid, colorHigh, half, v - half);
}

}  // namespace modDraw
