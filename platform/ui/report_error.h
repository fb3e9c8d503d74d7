#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace platform {

class MessageBoxes;

// The caption of the main program's message boxes.
inline const QString kAppTitle = QStringLiteral("Velmo's Online Radio");

// The standard error report: a description of exactly "Division by zero" passes silently;
// anything else is shown as the whole text of a critical box with the program's caption.
void ReportError(MessageBoxes& boxes, const QString& description);

// The text a caught exception reports: the description of a numbered error, else what().
QString describe(const std::exception& e);

// Runs a handler under the error trap: an exception skips the rest and reaches ReportError.
// Returns false when the handler was cut short.
bool trapErrors(MessageBoxes& boxes, const std::function<void()>& handler);

// Runs one step of a handler whose errors are ignored step by step.
bool ignoreErrors(const std::function<void()>& step);

}  // namespace platform
