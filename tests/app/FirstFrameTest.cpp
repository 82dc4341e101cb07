#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <memory>

#include "app/FirstFrame.h"

namespace varnex {
namespace {

// Processes events until `done` holds, or for `milliseconds` when it never does.
template <typename Condition>
void ProcessEventsUntil(Condition done, int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < milliseconds) {
    QApplication::processEvents();
  }
}

// The work waits for a window's first frame, its own window's or any window's, and runs once; it
// never runs for a window closed unpainted.
TEST(AfterFirstFrame, RunsOnceTheWindowHasPaintedItsFirstFrame) {
  int ownRuns = 0;
  int anyRuns = 0;
  int goneRuns = 0;
  QWidget window;
  AfterFirstFrame(window, [&ownRuns] { ++ownRuns; });
  AfterFirstFrame(*qApp, [&anyRuns] { ++anyRuns; });
  auto gone = std::make_unique<QWidget>();
  AfterFirstFrame(*gone, [&goneRuns] { ++goneRuns; });
  gone.reset();
  ProcessEventsUntil([] { return false; }, 50);
  EXPECT_EQ(ownRuns + anyRuns, 0);

  window.show();
  ProcessEventsUntil([&] { return ownRuns > 0 && anyRuns > 0; }, 5000);
  window.repaint();
  QWidget other;
  other.show();
  ProcessEventsUntil([] { return false; }, 100);
  EXPECT_EQ(ownRuns, 1);
  EXPECT_EQ(anyRuns, 1);
  EXPECT_EQ(goneRuns, 0);
}

}  // namespace
}  // namespace varnex
