#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>

#include "app/FirstFrame.h"

namespace varnex {
namespace {

// The work waits for a window's first frame, its own window's or any window's, and runs once; it
// never runs for a window closed unpainted, and runs in the end for one never painted.
TEST(AfterFirstFrame, RunsOnceTheWindowHasPaintedItsFirstFrame) {
  int ownRuns = 0;
  int anyRuns = 0;
  int goneRuns = 0;
  int hiddenRuns = 0;
  QWidget hidden;
  AfterFirstFrame(hidden, [&hiddenRuns] { ++hiddenRuns; });
  QWidget window;
  AfterFirstFrame(window, [&ownRuns] { ++ownRuns; });
  AfterFirstFrame(*qApp, [&anyRuns] { ++anyRuns; });
  auto gone = std::make_unique<QWidget>();
  AfterFirstFrame(*gone, [&goneRuns] { ++goneRuns; });
  gone.reset();
  QTest::qWait(50);
  EXPECT_EQ(ownRuns + anyRuns, 0);

  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ownRuns > 0 && anyRuns > 0; }, 5000));
  window.repaint();
  QWidget other;
  other.show();
  QTest::qWait(100);
  EXPECT_EQ(ownRuns, 1);
  EXPECT_EQ(anyRuns, 1);
  EXPECT_EQ(goneRuns, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return hiddenRuns > 0; }, 5000));
}

}  // namespace
}  // namespace varnex
