// A library of its own for the probe program, found next to the program and nowhere else.
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) unsigned ProbeUser() {
  return getuid();
}
