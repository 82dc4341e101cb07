#pragma once

namespace varnex {

// The toolkit's threads allocate little; each with a heap of its own would keep apart the memory
// it frees. Takes effect for the threads started after it.
void ShareOneHeapAmongThreads();

}  // namespace varnex
