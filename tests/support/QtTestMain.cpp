// The main of every test that needs widgets: the program's own application object on Qt's
// offscreen platform, so that tests run without a display and failures reach the same report.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>

#include "app/Application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a runtime folder from a desktop session, Qt makes one in the temporary folder and
  // leaves it there; this one goes at the end of the run.
  std::optional<QTemporaryDir> runtime;
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    runtime.emplace();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
  }
  testing::InitGoogleTest(&argc, argv);
  int qtArgc = 1;
  varnex::Application application(qtArgc, argv);
  return RUN_ALL_TESTS();
}
