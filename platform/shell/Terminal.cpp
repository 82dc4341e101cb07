#include "Terminal.h"

#include <unistd.h>

namespace varnex {

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

}  // namespace varnex
