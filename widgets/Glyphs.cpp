#include "Glyphs.h"

#include <QPainter>
#include <QPolygon>

namespace varnex {

namespace {

const QColor kNavy(0, 0, 128);

QPixmap TransparentGlyph() {
  QPixmap glyph(16, 16);
  glyph.fill(Qt::transparent);
  return glyph;
}

}  // namespace

QPixmap PlayGlyph() {
  QPixmap glyph = TransparentGlyph();
  QPainter painter(&glyph);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kNavy);
  painter.drawPolygon(QPolygon({QPoint(4, 2), QPoint(12, 8), QPoint(4, 14)}));
  return glyph;
}

QPixmap StopGlyph() {
  QPixmap glyph = TransparentGlyph();
  QPainter painter(&glyph);
  painter.fillRect(4, 3, 3, 10, kNavy);
  painter.fillRect(9, 3, 3, 10, kNavy);
  return glyph;
}

}  // namespace varnex
