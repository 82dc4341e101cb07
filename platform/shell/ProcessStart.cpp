#include "ProcessStart.h"

#include <malloc.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace varnex {

void SettleLocaleAndEnvironment() {
  std::setlocale(LC_ALL, "");
  // The X11 start-up id and the Wayland activation token.
  for (const char* name : {"DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"}) {
    if (const char* value = std::getenv(name)) {
      const std::string kept = value;
      // Taken out and set again, it is added at the end.
      unsetenv(name);
      setenv(name, kept.c_str(), 1);
    }
  }
}

void ShareOneHeapAmongThreads() {
  mallopt(M_ARENA_MAX, 1);
}

}  // namespace varnex
