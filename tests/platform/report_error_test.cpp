#include "platform/ui/report_error.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "tests/support/scripted_message_boxes.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using testing_support::ScriptedMessageBoxes;

TEST(ReportError, DivisionByZeroPassesSilentlyEverythingElseIsACriticalBox) {
    ScriptedMessageBoxes boxes;
    platform::ReportError(boxes, QStringLiteral("Division by zero"));
    EXPECT_TRUE(boxes.shown().empty());

    platform::ReportError(boxes, QStringLiteral("Subscript out of range"));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Subscript out of range"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
}

TEST(ReportError, TrapSkipsTheRestOfTheHandlerAndReportsTheDescription) {
    ScriptedMessageBoxes boxes;
    bool reachedEnd = false;
    EXPECT_FALSE(platform::trapErrors(boxes, [&] {
        throw platform::Error(29673, QStringLiteral("Zorvita"), QStringLiteral("Not a RIFF file"));
        reachedEnd = true;
    }));
    EXPECT_FALSE(reachedEnd);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Not a RIFF file"));

    EXPECT_FALSE(platform::trapErrors(boxes, [] { throw std::runtime_error("Division by zero"); }));
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(platform::trapErrors(boxes, [] {}));
}

TEST(Twips, FifteenTwipsAPixelAtNinetySixDpi) {
    // The offscreen platform reports 96 logical DPI.
    EXPECT_EQ(platform::twipsPerPixelX(), 15);
    EXPECT_EQ(platform::twipsToPixelsY(2760), 184);
    EXPECT_EQ(platform::pixelsToTwipsX(140), 2100);
}

}  // namespace
