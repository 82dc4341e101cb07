#pragma once

// The main of the tests that need an application object, on Qt's offscreen platform so that they
// run without a display. Each tier has its own: the core's tests must not link Qt Widgets.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <optional>

namespace varnex::test {

template <class Application>
int RunTestsWith(int argc, char** argv) {
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
  Application application(qtArgc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace varnex::test
