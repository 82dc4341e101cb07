#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <QWidget>

#include "app/FirstFrame.h"

namespace varnex {
namespace {

// The work waits for a window's first frame, its own window's or any window's, and runs once; it
// never runs for a window gone first, and runs in the end for one never painted.
TEST(AfterFirstFrame, RunsOnceTheWindowHasPaintedItsFirstFrame) {
  int goneRuns = 0;
  {
    QWidget gone;
    AfterFirstFrame(gone, [&goneRuns] { ++goneRuns; });
    // Its first frame posts the work, and the window goes before the work runs.
    QPaintEvent frame(gone.rect());
    QApplication::sendEvent(&gone, &frame);
  }
  int ownRuns = 0;
  int anyRuns = 0;
  int hiddenRuns = 0;
  QWidget hidden;
  AfterFirstFrame(hidden, [&hiddenRuns] { ++hiddenRuns; });
  QWidget window;
  AfterFirstFrame(window, [&ownRuns] { ++ownRuns; });
  AfterFirstFrame(*qApp, [&anyRuns] { ++anyRuns; });
  QTest::qWait(50);
  EXPECT_EQ(ownRuns + anyRuns, 0);

  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ownRuns > 0 && anyRuns > 0; }, 5000));
  window.repaint();
  QWidget other;
  other.show();
  // Past the second after which work runs unpainted, nothing has run twice or for a window gone.
  EXPECT_TRUE(QTest::qWaitFor([&] { return hiddenRuns > 0; }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(ownRuns, 1);
  EXPECT_EQ(anyRuns, 1);
  EXPECT_EQ(goneRuns, 0);
}

}  // namespace
}  // namespace varnex
