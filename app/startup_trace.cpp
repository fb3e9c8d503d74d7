#include "app/startup_trace.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace app {

namespace {

class FirstPaintWatch final : public QObject {
  public:
    explicit FirstPaintWatch(QWidget* window) : QObject(window) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            StartupTrace::mark("first paint");
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

}  // namespace

bool StartupTrace::enabled() {
    static const bool on = std::getenv("ZORVITA_TRACE_STARTUP") != nullptr;
    return on;
}

QString StartupTrace::line(const char* step, long long epochNs) {
    return QStringLiteral("Zorvita startup: %1 %2.%3\n")
        .arg(QLatin1String(step))
        .arg(epochNs / 1000000000LL)
        .arg(epochNs % 1000000000LL, 9, 10, QLatin1Char('0'));
}

void StartupTrace::mark(const char* step) {
    if (!enabled()) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    std::fputs(qPrintable(line(step, ns)), stderr);
    std::fflush(stderr);
}

void StartupTrace::watchFirstPaint(QWidget* window) {
    if (enabled()) {
        new FirstPaintWatch(window);
    }
}

}  // namespace app
