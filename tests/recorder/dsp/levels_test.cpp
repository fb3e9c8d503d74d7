#include "recorder/dsp/clsSmooth.h"
#include "recorder/dsp/modDraw.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::uint32_t levelColour(float value) {
    return modDraw::BlendColor(1, value, modDraw::kLevelLow, modDraw::kLevelMid,
                               modDraw::kLevelHigh);
}

}  // namespace

TEST(Smooth, AveragesTheLastValuesDespiteItsName) {
    clsSmooth smooth;
    smooth.SmoothNew(3);
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f) << "nothing added yet";
    smooth.SmoothAdd(4);
    EXPECT_EQ(smooth.SmoothGetMax(), 4.0f);
    smooth.SmoothNew(3);
    for (const float v : {3.0f, 6.0f, 9.0f, 12.0f}) {
        smooth.SmoothAdd(v);
    }
    EXPECT_EQ(smooth.SmoothGetMax(), 9.0f) << "mean of 6, 9 and 12";
    smooth.SmoothAdd(30);
    EXPECT_EQ(smooth.SmoothGetMax(), 17.0f) << "mean of 9, 12 and 30";

    smooth.SmoothNew(3);
    smooth.SmoothAdd(5);
    smooth.SmoothAdd(7);
    EXPECT_EQ(smooth.SmoothGetMax(), 6.0f) << "a fresh ring averages only what it holds";
}

TEST(Smooth, ARingOfNoEntriesKeepsNothing) {
    for (const int size : {0, -3}) {
        clsSmooth smooth;
        smooth.SmoothNew(size);
        smooth.SmoothAdd(10);
        EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    }
    clsSmooth unset;
    unset.SmoothAdd(10);
    EXPECT_EQ(unset.SmoothGetMax(), 0.0f);
}

TEST(BlendColor, RunsTheLevelColoursFromGreenThroughOrangeToRed) {
    EXPECT_EQ(levelColour(0), 0x00FF00u);
    EXPECT_EQ(levelColour(0.5f), 0x22A8E1u);
    EXPECT_EQ(levelColour(1), 0x0000FFu);
    // Half way to orange: red 112.5 and green 211.5 round to even, blue 17.
    EXPECT_EQ(levelColour(0.25f), 0x11D470u);
    // Three quarters: red 240, green 84, blue 17.
    EXPECT_EQ(levelColour(0.75f), 0x1154F0u);
    EXPECT_EQ(modDraw::BlendColor(10, 5, 0x000000, 0xFFFFFF, 0x000000), 0xFFFFFFu);
}

TEST(BlendColor, ValuesOffTheScaleGiveItsEndsAndABadRangeGivesTheLowColour) {
    EXPECT_EQ(levelColour(1.7f), 0x0000FFu);
    EXPECT_EQ(levelColour(-0.3f), 0x00FF00u);
    EXPECT_EQ(levelColour(NAN), 0x00FF00u);
    EXPECT_EQ(modDraw::BlendColor(0, 0.5f, 0x123456, 0x22A8E1, 0x0000FF), 0x123456u);
    EXPECT_EQ(modDraw::BlendColor(-1, 0.5f, 0x123456, 0x22A8E1, 0x0000FF), 0x123456u);
    EXPECT_EQ(modDraw::BlendColor(NAN, 0.5f, 0x123456, 0x22A8E1, 0x0000FF), 0x123456u);
}
