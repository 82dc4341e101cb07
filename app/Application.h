#pragma once

#include <QApplication>
#include <QIcon>

namespace varnex {

// The application object. Handlers report their own failures (ReportingFailures); one that still
// reaches the event loop is shown here as the general error report, and the program goes on.
// Its windows carry the program's own icon and name its desktop entry.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // The icon the desktop entry installs, in every size drawn for it.
  static QIcon ProgramIcon();
};

}  // namespace varnex
