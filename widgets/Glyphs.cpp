#include "Glyphs.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygonF>
#include <cmath>
#include <functional>
#include <span>

#include "widgets/Colours.h"

namespace varnex {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kGreen(0, 128, 0);
const QColor kMaroon(128, 0, 0);

// Draws in design pixels at a scale; whole design pixels fall on whole screen pixels at any
// scale, so that squares and bars stay sharp where a smooth scaling would blur their edges.
class GlyphCanvas {
 public:
  GlyphCanvas(QPainter& painter, qreal scale) : painter_(painter), scale_(scale) {}

  void Fill(int x, int y, int width, int height, QColor colour) {
    const auto edge = [this](int design) { return static_cast<int>(std::lround(design * scale_)); };
    const int left = edge(x);
    const int top = edge(y);
    painter_.fillRect(left, top, edge(x + width) - left, edge(y + height) - top, colour);
  }

  // A polygon at the scale, smoothed where the scale is not 1, as slanted edges need.
  void Polygon(const QPolygonF& points, QColor fill, QColor outline = Qt::transparent) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, scale_ != 1.0);
    painter_.scale(scale_, scale_);
    painter_.setPen(outline.alpha() == 0 ? QPen(Qt::NoPen) : QPen(outline, 1));
    painter_.setBrush(fill);
    painter_.drawPolygon(points);
    painter_.restore();
  }

 private:
  QPainter& painter_;
  qreal scale_;
};

using Paint = std::function<void(GlyphCanvas&, QIcon::Mode)>;

// A glyph's design colour where it stands out from the button face, else `alternative`, or a
// lighter or darker shade of it; a disabled glyph takes the scheme's disabled text.
QColor ButtonInk(QColor design, QColor alternative, QIcon::Mode mode) {
  const QPalette palette = QGuiApplication::palette();
  if (mode == QIcon::Disabled) {
    return palette.color(QPalette::Disabled, QPalette::ButtonText);
  }
  return Legible(design, palette.color(QPalette::Button), kGlyphContrast, alternative);
}

// Dark blue, or the scheme's button text where dark blue would not stand out.
QColor NavyInk(QIcon::Mode mode) {
  return ButtonInk(kNavy, QGuiApplication::palette().color(QPalette::ButtonText), mode);
}

// A colour that carries a meaning keeps its hue on any scheme, only lighter or darker.
QColor HueInk(QColor design, QIcon::Mode mode) {
  return ButtonInk(design, design, mode);
}

class GlyphEngine final : public QIconEngine {
 public:
  GlyphEngine(QSize designSize, Paint paint) : designSize_(designSize), paint_(std::move(paint)) {}

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    QPixmap glyph(size);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    const qreal scale = std::min(qreal(size.width()) / designSize_.width(),
                                 qreal(size.height()) / designSize_.height());
    GlyphCanvas canvas(painter, scale);
    paint_(canvas, mode);
    return glyph;
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device()->devicePixelRatioF();
    QPixmap glyph = pixmap(rect.size() * ratio, mode, state);
    glyph.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect.topLeft(), glyph);
  }

  QIconEngine* clone() const override { return new GlyphEngine(designSize_, paint_); }

 private:
  QSize designSize_;
  Paint paint_;
};

QIcon Glyph(QSize designSize, Paint paint) {
  return QIcon(new GlyphEngine(designSize, std::move(paint)));
}

// A button glyph drawn pixel by pixel from 16 rows of 16 ('#' inked), so that every stroke falls
// on whole pixels and stays sharp at any scale, in the ink for the mode.
QIcon PixelGlyph(std::span<const char* const, 16> rows, QColor (*ink)(QIcon::Mode)) {
  return Glyph(kButtonGlyphSize, [rows, ink](GlyphCanvas& canvas, QIcon::Mode mode) {
    const QColor colour = ink(mode);
    for (int y = 0; y < kButtonGlyphSize.height(); ++y) {
      for (int x = 0; x < kButtonGlyphSize.width(); ++x) {
        if (rows[y][x] == '#') {
          canvas.Fill(x, y, 1, 1, colour);
        }
      }
    }
  });
}

}  // namespace

QIcon PlayGlyph() {
  return Glyph(kButtonGlyphSize, [](GlyphCanvas& canvas, QIcon::Mode mode) {
    canvas.Polygon(QPolygonF({QPointF(4, 2), QPointF(12, 8), QPointF(4, 14)}), NavyInk(mode));
  });
}

QIcon StopGlyph() {
  return Glyph(kButtonGlyphSize, [](GlyphCanvas& canvas, QIcon::Mode mode) {
    const QColor ink = NavyInk(mode);
    canvas.Fill(4, 3, 3, 10, ink);
    canvas.Fill(9, 3, 3, 10, ink);
  });
}

QIcon HelpGlyph() {
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
  return PixelGlyph(kRows, NavyInk);
}

QIcon OkGlyph() {
  static const char* const kRows[] = {
      "................",  //
      "................",  //
      "................",  //
      ".............##.",  //
      "............###.",  //
      "...........###..",  //
      "..........###...",  //
      ".##......###....",  //
      ".###....###.....",  //
      "..###..###......",  //
      "...######.......",  //
      "....####........",  //
      ".....##.........",  //
      "................",  //
      "................",  //
      "................",  //
  };
  return PixelGlyph(kRows, [](QIcon::Mode mode) { return HueInk(kGreen, mode); });
}

QIcon CloseGlyph() {
  static const char* const kRows[] = {
      "................",  //
      "................",  //
      "................",  //
      "...##......##...",  //
      "...###....###...",  //
      "....###..###....",  //
      ".....######.....",  //
      "......####......",  //
      "......####......",  //
      ".....######.....",  //
      "....###..###....",  //
      "...###....###...",  //
      "...##......##...",  //
      "................",  //
      "................",  //
      "................",  //
  };
  return PixelGlyph(kRows, [](QIcon::Mode mode) { return HueInk(kMaroon, mode); });
}

QIcon FolderGlyph() {
  return Glyph(kFolderGlyphSize, [](GlyphCanvas& canvas, QIcon::Mode) {
    const QColor olive(128, 128, 0);
    canvas.Polygon(QPolygonF({QPointF(0, 2), QPointF(1, 1), QPointF(5, 1), QPointF(6, 2),
                              QPointF(13, 2), QPointF(13, 11), QPointF(0, 11)}),
                   QColor(255, 255, 128), olive);
    canvas.Fill(0, 4, 14, 1, olive);
  });
}

}  // namespace varnex
