#pragma once

namespace varnex {

// The process's error mode, the flags that keep the system's own error boxes away while a dialog
// runs. Linux shows no such boxes, so the mode is only kept, for the code that saves and restores
// it around a dialog. Returns the previous mode.
unsigned SetErrorMode(unsigned mode);

}  // namespace varnex
