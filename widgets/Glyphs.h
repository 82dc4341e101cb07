#pragma once

#include <QPixmap>

namespace varnex {

// The 16 x 16 pictures of the player buttons, dark blue on a transparent ground.
QPixmap PlayGlyph();
QPixmap StopGlyph();

// The 16 x 16 question mark of the about button, dark blue on a transparent ground.
QPixmap HelpGlyph();

// The 14 x 12 folder on the folder field's button.
QPixmap FolderGlyph();

}  // namespace varnex
