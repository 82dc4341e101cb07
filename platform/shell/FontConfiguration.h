#pragma once

namespace varnex {

// Reads the font configuration and the font caches, which the first text a window measures
// needs. From any thread, as often as wanted: so that it can be done ahead on another thread
// while the program comes up, and the toolkit's own reading finds the work done.
void LoadFontConfiguration();

}  // namespace varnex
