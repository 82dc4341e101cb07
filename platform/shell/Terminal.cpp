#include "Terminal.h"

#include <unistd.h>

#include <csignal>

namespace varnex {

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void IgnoreClosedPipes() {
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace varnex
