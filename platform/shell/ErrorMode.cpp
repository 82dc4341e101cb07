#include "ErrorMode.h"

#include <utility>

namespace varnex {

namespace {
unsigned g_errorMode = 0;
}

unsigned SetErrorMode(unsigned mode) {
  return std::exchange(g_errorMode, mode);
}

}  // namespace varnex
