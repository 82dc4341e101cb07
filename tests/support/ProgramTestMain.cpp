// The tests of the whole window: the program's own application object, so that failures reach
// the same report as in the program.
#include "app/Application.h"
#include "tests/support/QtTestMain.h"

int main(int argc, char** argv) {
  return varnex::test::RunTestsWith<varnex::Application>(argc, argv);
}
