#include "tests/support/scripted_message_boxes.h"

namespace testing_support {

platform::MsgAnswer ScriptedMessageBoxes::show(const QString& text, int style,
                                               const QString& caption) {
    shown_.push_back({text, style, caption});
    if ((style & 0x7) != platform::MsgYesNo) {
        return platform::MsgAnswer::Ok;
    }
    if (script_.empty()) {
        return platform::MsgAnswer::No;
    }
    const auto answer = script_.front();
    script_.pop_front();
    return answer;
}

}  // namespace testing_support
