// The tests of the controls: an application object for widgets.
#include <QApplication>

#include "tests/support/QtTestMain.h"

int main(int argc, char** argv) {
  return varnex::test::RunTestsWith<QApplication>(argc, argv);
}
