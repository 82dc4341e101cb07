#pragma once

namespace varnex {

// What the process settles on its one thread, before it starts another.

// As it comes up, the toolkit sets the locale from the environment and takes the desktop's
// start-up notice out of the environment, while other threads may be reading both. Done here
// first, on the one thread there is, neither changes anything another thread reads: the locale is
// set again to what it already is, and the notice, moved to the end of the environment, leaves no
// entry behind it to move up when it is taken out.
void SettleLocaleAndEnvironment();

// The few threads of this program allocate little; each with a heap of its own would keep apart
// the memory it frees.
void ShareOneHeapAmongThreads();

}  // namespace varnex
