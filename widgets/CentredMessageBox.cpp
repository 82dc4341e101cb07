#include "CentredMessageBox.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>

#include "widgets/ScreenPlacement.h"

namespace varnex {

namespace {

// Title bars centre the title between the window's icon and its buttons, about 80 pixels on
// either side, and draw it at about 14 pixels.
constexpr int kTitleBarSide = 80;
constexpr int kTitlePixels = 14;

int WidthForTitle(const QString& title) {
  QFont font = QGuiApplication::font();
  font.setPixelSize(kTitlePixels);
  return QFontMetrics(font).horizontalAdvance(title) + 2 * kTitleBarSide;
}

}  // namespace

// The box sizes itself to its layout whenever the layout changes, so the room for the title is
// asked of the layout, through its row of buttons, which spans the box. Once the box has its size,
// and before it is on the screen, it is placed, so that it never jumps.
void CentredMessageBox::showEvent(QShowEvent* event) {
  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    const QMargins margins = layout()->contentsMargins();
    buttons->setMinimumWidth(WidthForTitle(windowTitle()) - margins.left() - margins.right());
  }
  QMessageBox::showEvent(event);
  CentreOnPrimaryScreen(*this);
}

}  // namespace varnex
