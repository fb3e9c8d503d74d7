#include "platform/ui/report_error.h"

#include "platform/ui/error.h"
#include "platform/ui/message_box.h"

namespace platform {

void ReportError(MessageBoxes& boxes, const QString& description) {
    if (description == QLatin1String("Division by zero")) {
        return;
    }
    boxes.show(description, MsgCritical, kAppTitle);
}

QString describe(const std::exception& e) {
    if (const auto* numbered = dynamic_cast<const Error*>(&e)) {
        return numbered->description();
    }
    return QString::fromLocal8Bit(e.what());
}

bool trapErrors(MessageBoxes& boxes, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ReportError(boxes, describe(e));
    }
    return false;
}

bool ignoreErrors(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace platform
