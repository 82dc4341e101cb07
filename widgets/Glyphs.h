#pragma once

#include <QPixmap>

namespace varnex {

// The 16 x 16 pictures of the player buttons, dark blue on a transparent ground.
QPixmap PlayGlyph();
QPixmap StopGlyph();

}  // namespace varnex
