#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "widgets/Colours.h"

namespace varnex {

enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

// A rectangle with exclusive right and bottom edges, as text drawing measures them.
struct TextBox {
  int left;
  int top;
  int right;
  int bottom;

  TextBox Moved(QPoint offset) const {
    return {left + offset.x(), top + offset.y(), right + offset.x(), bottom + offset.y()};
  }
  TextBox United(const TextBox& other) const {
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
  }
  QRect ToQRect() const { return {left, top, right - left, bottom - top}; }
  friend bool operator==(const TextBox&, const TextBox&) = default;
};

// Where the shadow copy of the text goes for a shadow of `size` pixels.
QPoint ShadowOffset(TShadowPosition position, int size);

// A label that draws its caption over a copy of it in the shadow colour, moved by the shadow's
// size towards its position. It sizes itself to its text while AutoSize is on. Where its font
// colour would not stand out from the background (a design colour on a dark colour scheme), the
// text takes the same hue, lighter or darker, until it does. Screen readers read its caption.
class TCustomShadowLabel : public QWidget {
 public:
  explicit TCustomShadowLabel(QWidget* parent = nullptr);

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QColor FontColor() const;
  void SetFontColor(QColor color);
  // The background, filled where the label is not transparent: the parent's until one is set.
  QColor Color() const;
  void SetColor(TColor color);
  const TColor& ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor color);
  std::uint8_t ShadowSize() const { return shadowSize_; }
  void SetShadowSize(std::uint8_t size);
  TShadowPosition ShadowPos() const { return shadowPos_; }
  void SetShadowPos(TShadowPosition position);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment alignment);
  Qt::Alignment Layout() const { return layout_; }
  void SetLayout(Qt::Alignment layout);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool show);

  // Draws the caption and its shadow in `box` with `flags`, or only measures them; gives the
  // smallest box holding both.
  TextBox DrawLabelText(QPainter* painter, TextBox box, int flags) const;
  void FitToText();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  TextBox PaintShadowedText(QPainter* painter, const QString& text, TextBox box, int flags,
                            int size, QColor shadowColor, TShadowPosition position,
                            QColor textColor) const;
  // The font colour, or where that would not stand out from the background, one that does.
  QColor LegibleFontColor() const;
  TextBox Measure(const QString& text, TextBox box, int flags) const;

  QString caption_;
  std::optional<TColor> color_;
  TColor shadowColor_ = QPalette::Light;
  std::uint8_t shadowSize_ = 1;
  TShadowPosition shadowPos_ = spLeftTop;
  bool transparent_ = false;
  bool autoSize_ = true;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  Qt::Alignment layout_ = Qt::AlignTop;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
};

class TShadowLabel final : public TCustomShadowLabel {
 public:
  using TCustomShadowLabel::TCustomShadowLabel;
};

}  // namespace varnex
