#pragma once

#include <QApplication>

namespace varnex {

// The application object. Handlers report their own failures (ReportingFailures); one that still
// reaches the event loop is shown here as the general error report, and the program goes on.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace varnex
