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

QPixmap FolderGlyph() {
  QPixmap glyph(14, 12);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  const QColor outline(128, 128, 0);
  painter.setPen(outline);
  painter.setBrush(QColor(255, 255, 128));
  painter.drawPolygon(QPolygon({QPoint(0, 2), QPoint(1, 1), QPoint(5, 1), QPoint(6, 2),
                                QPoint(13, 2), QPoint(13, 11), QPoint(0, 11)}));
  painter.drawLine(0, 4, 13, 4);
  return glyph;
}

}  // namespace varnex
