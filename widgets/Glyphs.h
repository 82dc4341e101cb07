#pragma once

#include <QIcon>
#include <QSize>

namespace varnex {

// The pictures of the window's buttons. Each is drawn anew for the size, the screen's pixel ratio
// and the colour scheme it is shown with, so it stays sharp at any scale and stands out from the
// button on a dark scheme too.

// 16 x 16, dark blue on a transparent ground, or the scheme's button text where dark blue would
// not stand out from the button face: play (a triangle), stop (two bars) and the question mark
// of the about button.
QIcon PlayGlyph();
QIcon StopGlyph();
QIcon HelpGlyph();
inline constexpr QSize kButtonGlyphSize{16, 16};

// 16 x 16: a green check mark for the button that does the window's work, and a dark red cross
// for those that close; each keeps its hue on a dark scheme, lighter.
QIcon OkGlyph();
QIcon CloseGlyph();

// A 14 x 12 folder, for the folder field's button.
QIcon FolderGlyph();
inline constexpr QSize kFolderGlyphSize{14, 12};

}  // namespace varnex
