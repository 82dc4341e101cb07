// The core's tests that need an event loop: a bare application object, no widgets.
#include <QCoreApplication>

#include "tests/support/QtTestMain.h"

int main(int argc, char** argv) {
  return varnex::test::RunTestsWith<QCoreApplication>(argc, argv);
}
