#include "Terminal.h"

#include <signal.h>
#include <unistd.h>

namespace varnex {

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void IgnoreClosedPipes() {
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace varnex
