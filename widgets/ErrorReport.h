#pragma once

#include <QString>
#include <exception>
#include <utility>

namespace varnex {

// The program's general error report: a modal box with the application's title, the error icon,
// the message and an OK button, in the middle of the screen.
void ShowErrorReport(const std::exception& error);

// Runs a handler that the toolkit called and reports what it raises. Failures must end here, at
// the handler's edge: unwinding through the toolkit's own frames would skip its clean-up.
template <typename Handler>
void ReportingFailures(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& error) {
    ShowErrorReport(error);
  }
}

// The program file's name without its folder and without everything from its first ".", every
// character after the first in lower case.
QString ApplicationTitle(const QString& programPath);

// The message with a full stop appended when its last character sorts after ".".
QString ErrorReportText(const QString& message);

}  // namespace varnex
