#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace varnex {

bool WindowPositionsAreKnown() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The centre is taken within the screen's own rectangle, which starts where the screen does: a
// primary screen right of another one does not start at 0.
QPoint CentredOnScreen(const QRect& screen, const QSize& size) {
  return KeptOnScreen(screen, QRect(QPoint(screen.left() + (screen.width() - size.width()) / 2,
                                           screen.top() + (screen.height() - size.height()) / 2),
                                    size));
}

void CentreOnPrimaryScreen(QWidget& window) {
  window.move(
      CentredOnScreen(QGuiApplication::primaryScreen()->geometry(), window.frameGeometry().size()));
}

QPoint KeptOnScreen(const QRect& screen, const QRect& frame) {
  return {std::clamp(frame.left(), screen.left(),
                     std::max(screen.left(), screen.right() + 1 - frame.width())),
          std::clamp(frame.top(), screen.top(),
                     std::max(screen.top(), screen.bottom() + 1 - frame.height()))};
}

}  // namespace varnex
