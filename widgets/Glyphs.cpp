#include "Glyphs.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <functional>

namespace varnex {

namespace {

const QColor kNavy(0, 0, 128);

// A glyph of `size` design pixels, painted at the screen's pixel ratio so it stays sharp when
// the desktop scales the program up.
QPixmap Glyph(QSize size, const std::function<void(QPainter&)>& paint) {
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap glyph(size * ratio);
  glyph.setDevicePixelRatio(ratio);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  painter.setRenderHint(QPainter::Antialiasing, ratio > 1);
  paint(painter);
  return glyph;
}

}  // namespace

QPixmap PlayGlyph() {
  return Glyph({16, 16}, [](QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNavy);
    painter.drawPolygon(QPolygon({QPoint(4, 2), QPoint(12, 8), QPoint(4, 14)}));
  });
}

QPixmap StopGlyph() {
  return Glyph({16, 16}, [](QPainter& painter) {
    painter.fillRect(4, 3, 3, 10, kNavy);
    painter.fillRect(9, 3, 3, 10, kNavy);
  });
}

// Drawn pixel by pixel, so at 16 pixels every stroke falls on whole pixels and stays sharp.
QPixmap HelpGlyph() {
  static const char* const kRows[] = {
      "................",  //
      "................",  //
      ".....######.....",  //
      "....########....",  //
      "...###....###...",  //
      "...###....###...",  //
      "..........###...",  //
      ".........###....",  //
      "........###.....",  //
      ".......###......",  //
      ".......###......",  //
      "................",  //
      ".......###......",  //
      ".......###......",  //
      "................",  //
      "................",  //
  };
  return Glyph({16, 16}, [](QPainter& painter) {
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        if (kRows[y][x] == '#') {
          painter.fillRect(x, y, 1, 1, kNavy);
        }
      }
    }
  });
}

QPixmap FolderGlyph() {
  return Glyph({14, 12}, [](QPainter& painter) {
    painter.setPen(QColor(128, 128, 0));
    painter.setBrush(QColor(255, 255, 128));
    painter.drawPolygon(QPolygon({QPoint(0, 2), QPoint(1, 1), QPoint(5, 1), QPoint(6, 2),
                                  QPoint(13, 2), QPoint(13, 11), QPoint(0, 11)}));
    painter.drawLine(0, 4, 13, 4);
  });
}

}  // namespace varnex
