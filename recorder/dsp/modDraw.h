#pragma once

#include <cstdint>

namespace modDraw {

// Colours are 0x00BBGGRR numbers.
constexpr std::uint32_t kLevelLow = 0x00FF00;
constexpr std::uint32_t kLevelMid = 0x22A8E1;
constexpr std::uint32_t kLevelHigh = 0x0000FF;

// The colour at `value` on a scale of 0 .. range that runs from colorLow through colorMid (at
// half the range) to colorHigh, channel by channel, rounded to the nearest integer. A value
// outside the scale is taken at its nearer end (not-a-number at the low end), and a range that is
// not a positive number gives colorLow, so the result is always a valid colour.
std::uint32_t BlendColor(float range, float value, std::uint32_t colorLow, std::uint32_t colorMid,
                         std::uint32_t colorHigh);

}  // namespace modDraw
