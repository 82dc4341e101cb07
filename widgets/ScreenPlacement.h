#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace varnex {

// Whether the windowing system tells the program where its windows are and lets it place them.
// Wayland does neither: there a window's position reads as its own frame's offset, and a move is
// ignored.
bool WindowPositionsAreKnown();

// Where a window of `size` goes on `screen`: centred, then moved back inside where it sticks out.
QPoint CentredOnScreen(const QRect& screen, const QSize& size);

// Moves a window, frame and all, to the centre of the primary screen.
void CentreOnPrimaryScreen(QWidget& window);

// Where a window whose frame is `frame` goes so that it lies wholly on `screen` (as far as it fits:
// its top left corner stays on the screen), moved as little as it takes.
QPoint KeptOnScreen(const QRect& screen, const QRect& frame);

}  // namespace varnex
