#include "ProcessStart.h"

#include <malloc.h>

namespace varnex {

void ShareOneHeapAmongThreads() {
  mallopt(M_ARENA_MAX, 1);
}

}  // namespace varnex
