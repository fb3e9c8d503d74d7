#pragma once

#include "platform/ui/message_box.h"

#include <QString>

#include <deque>
#include <vector>

namespace testing_support {

// Records every message box and answers from a script (OK, or the next scripted Yes/No answer;
// No when the script is empty).
class ScriptedMessageBoxes final : public platform::MessageBoxes {
  public:
    struct Shown {
        QString text;
        int style;
        QString caption;
        int icon() const { return style & 0x70; }
        int buttons() const { return style & 0x7; }
    };

    platform::MsgAnswer show(const QString& text, int style, const QString& caption) override;

    void answerNext(platform::MsgAnswer answer) { script_.push_back(answer); }
    const std::vector<Shown>& shown() const { return shown_; }
    void clear() { shown_.clear(); }

  private:
    std::vector<Shown> shown_;
    std::deque<platform::MsgAnswer> script_;
};

}  // namespace testing_support
