#pragma once

#include <QString>

// The main window's status label as the conversion sees it: a caption and an immediate repaint
// (the conversion blocks the event loop, so an ordinary update would never show).
class StatusLabel {
  public:
    virtual ~StatusLabel() = default;
    virtual void setCaption(const QString& text) = 0;
    virtual void repaintNow() = 0;
};

// Shows "Saving MP3 File.........." and the percentage in the label, ignoring any error.
void ShowSavingProgress(StatusLabel& label, int percent);
