#pragma once

#include <QApplication>
#include <exception>

namespace varnex {

// The application object. A failure that no handler catches ends up here and is shown to the
// user as the program's general error report, and the program goes on.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // A modal box with the application's title, the error icon, the message and an OK button.
  static void ShowException(const std::exception& error);
};

// The program file's name without its folder and without everything from its first ".", every
// character after the first in lower case.
QString ApplicationTitle(const QString& programPath);

// The message with a full stop appended when its last character sorts after ".".
QString ErrorReportText(const QString& message);

}  // namespace varnex
