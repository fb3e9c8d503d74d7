#pragma once

#include <QString>

class QWidget;

namespace app {

// Start-up timing: when ZORVITA_TRACE_STARTUP is set, each step writes one line to stderr,
// "Zorvita startup: <step> <wall-clock seconds since the epoch>", so a script that notes the time
// of exec can measure every step against it. When the variable is unset nothing is written.
class StartupTrace {
  public:
    static bool enabled();
    static void mark(const char* step);
    // The line every mark writes, for a wall-clock time in nanoseconds since the epoch.
    static QString line(const char* step, long long epochNs);
    // Marks "first paint" once, when the window first paints itself.
    static void watchFirstPaint(QWidget* window);
};

}  // namespace app
