#pragma once

namespace varnex {

// The toolkit's threads allocate little; each with a heap of its own would keep apart the memory
// it frees. From here on no new heap is made: threads that start later share the ones there are.
void ShareOneHeapAmongThreads();

}  // namespace varnex
