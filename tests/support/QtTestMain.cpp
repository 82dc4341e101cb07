// The main of every test that needs widgets: the program's own application object on Qt's
// offscreen platform, so that tests run without a display and failures reach the same report.
#include <gtest/gtest.h>

#include "app/Application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  int qtArgc = 1;
  varnex::Application application(qtArgc, argv);
  return RUN_ALL_TESTS();
}
