#pragma once

#include <QObject>
#include <functional>

namespace varnex {

// Runs `work` once, right after the first frame of a window is painted: of `watched` when it is a
// window, of any window when it is the application. What that frame does not need waits until
// it is on the screen instead of delaying it; but not longer than a second, for a window that
// starts minimized. Nothing runs if `watched` goes first.
void AfterFirstFrame(QObject& watched, std::function<void()> work);

}  // namespace varnex
