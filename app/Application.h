#pragma once

#include <QApplication>

namespace varnex {

// The application object. Handlers report their own failures (ReportingFailures); one that still
// reaches the event loop is shown here as the general error report, and the program goes on.
// Its windows carry the program's own icon, drawn for each size rather than scaled, and name its
// desktop entry.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Gives the windows the program's icon in every size. Called once the first window shows: each
  // size is decoded and sent to the display, which would otherwise delay that show.
  void AddIcons();
};

}  // namespace varnex
