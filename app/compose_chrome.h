#pragma once

#include "app/chrome/hover_hook.h"

namespace chrome {
class WindowDrag;
}

namespace app {

class FrmFM;

// The window's chrome: every picture button's rollover and status text, dragging the window,
// the About panel and the links. The handlers are connected to their controls here.
class ChromeParts {
  public:
    explicit ChromeParts(FrmFM& window);
    ChromeParts(const ChromeParts&) = delete;
    ChromeParts& operator=(const ChromeParts&) = delete;

    chrome::HoverHook& hover() { return hover_; }
    chrome::WindowDrag& drag() { return *drag_; }

    void PicAbout_Click();
    void PicCloseW_Click();

  private:
    FrmFM& w_;
    chrome::HoverHook hover_;
    // Owned by the window, whose events it watches.
    chrome::WindowDrag* drag_;
};

}  // namespace app
