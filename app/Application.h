#pragma once

#include <QApplication>
#include <span>

namespace varnex {

// The application object. Handlers report their own failures (ReportingFailures); one that still
// reaches the event loop is shown here as the general error report, and the program goes on.
// Its windows carry the program's own icon, drawn for each size rather than scaled, and name its
// desktop entry.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // The icon's sizes of switchers and docks, which the windows carry from then on. Until then they
  // carry those of title bars and task bars only: each size is decoded and sent to the display,
  // and the larger ones would delay the first show.
  void AddLargeIcons();

 private:
  void AddIcons(std::span<const int> sizes);
};

}  // namespace varnex
