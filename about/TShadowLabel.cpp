#include "TShadowLabel.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <climits>

#include "widgets/Accessible.h"

namespace varnex {

namespace {

// The flag that asks only for the extents, beside Qt's own text flags.
constexpr int kMeasureOnly = 0x40000000;

// A piece of text to screen readers, read without the marks of its accelerator key.
class ShadowLabelAccessible final : public QAccessibleWidget {
 public:
  explicit ShadowLabelAccessible(TCustomShadowLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText), label_(*label) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && label_.accessibleName().isEmpty()) {
      QString caption = label_.Caption();
      if (label_.ShowAccelChar()) {
        caption.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
      }
      return caption;
    }
    return QAccessibleWidget::text(kind);
  }

 private:
  TCustomShadowLabel& label_;
};

}  // namespace

QPoint ShadowOffset(TShadowPosition position, int size) {
  switch (position) {
    case spLeftTop:
      return {-size, -size};
    case spLeftBottom:
      return {-size, size};
    case spRightBottom:
      return {size, size};
    case spRightTop:
      return {size, -size};
  }
  return {};
}

TCustomShadowLabel::TCustomShadowLabel(QWidget* parent) : QWidget(parent) {
  ProvideAccessibleInterface<TCustomShadowLabel, ShadowLabelAccessible>();
  setFocusPolicy(Qt::NoFocus);
  resize(65, 17);
}

void TCustomShadowLabel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
  FitToText();
  QAccessibleEvent named(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&named);
}

QColor TCustomShadowLabel::FontColor() const {
  return palette().color(QPalette::WindowText);
}

void TCustomShadowLabel::SetFontColor(QColor color) {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  setPalette(colors);
  update();
}

QColor TCustomShadowLabel::Color() const {
  return color_ ? color_->In(palette()) : palette().color(backgroundRole());
}

void TCustomShadowLabel::SetColor(TColor color) {
  color_ = color;
  update();
}

void TCustomShadowLabel::SetShadowColor(TColor color) {
  if (color != shadowColor_) {
    shadowColor_ = color;
    update();
  }
}

void TCustomShadowLabel::SetShadowSize(std::uint8_t size) {
  if (size != shadowSize_) {
    shadowSize_ = size;
    FitToText();
    update();
  }
}

void TCustomShadowLabel::SetShadowPos(TShadowPosition position) {
  if (position != shadowPos_) {
    shadowPos_ = position;
    update();
  }
}

void TCustomShadowLabel::SetTransparent(bool transparent) {
  if (transparent != transparent_) {
    transparent_ = transparent;
    update();
  }
}

void TCustomShadowLabel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  FitToText();
}

void TCustomShadowLabel::SetAlignment(Qt::Alignment alignment) {
  if (alignment != alignment_) {
    alignment_ = alignment;
    update();
  }
}

void TCustomShadowLabel::SetLayout(Qt::Alignment layout) {
  if (layout != layout_) {
    layout_ = layout;
    update();
  }
}

void TCustomShadowLabel::SetWordWrap(bool wordWrap) {
  if (wordWrap != wordWrap_) {
    wordWrap_ = wordWrap;
    FitToText();
  }
}

void TCustomShadowLabel::SetShowAccelChar(bool show) {
  if (show != showAccelChar_) {
    showAccelChar_ = show;
    update();
  }
}

TextBox TCustomShadowLabel::DrawLabelText(QPainter* painter, TextBox box, int flags) const {
  QString text = caption_;
  // An empty caption, or a lone "&", still measures one line high.
  if ((flags & kMeasureOnly) != 0 &&
      (text.isEmpty() || (showAccelChar_ && text == QStringLiteral("&")))) {
    text += QLatin1Char(' ');
  }
  if (showAccelChar_) {
    flags |= Qt::TextShowMnemonic;
  }
  TShadowPosition position = shadowPos_;
  int size = shadowSize_;
  QColor textColor = LegibleFontColor();
  QColor shadowColor = shadowColor_.In(palette());
  if (!isEnabled()) {
    if (size == 0) {
      position = spRightBottom;
      size = 1;
    }
    textColor = palette().color(QPalette::Disabled, QPalette::Text);
    shadowColor = palette().color(QPalette::Light);
  }
  return PaintShadowedText(painter, text, box, flags, size, shadowColor, position, textColor);
}

QColor TCustomShadowLabel::LegibleFontColor() const {
  const QColor background = transparent_ ? palette().color(backgroundRole()) : Color();
  return Legible(FontColor(), background, kTextContrast, FontColor());
}

// The shadow copy first, moved; then the text over it, in place.
TextBox TCustomShadowLabel::PaintShadowedText(QPainter* painter, const QString& text, TextBox box,
                                              int flags, int size, QColor shadowColor,
                                              TShadowPosition position, QColor textColor) const {
  TextBox shadow = box.Moved(ShadowOffset(position, size));
  TextBox textBox = box;
  if (flags & kMeasureOnly) {
    shadow = Measure(text, shadow, flags);
    textBox = Measure(text, textBox, flags);
  } else {
    const int drawFlags = flags & ~kMeasureOnly;
    painter->setFont(font());
    painter->setPen(shadowColor);
    painter->drawText(shadow.ToQRect(), drawFlags, text);
    painter->setPen(textColor);
    painter->drawText(textBox.ToQRect(), drawFlags, text);
  }
  return textBox.United(shadow);
}

// The box from its top left corner to the text's extents, as a measuring draw leaves it.
TextBox TCustomShadowLabel::Measure(const QString& text, TextBox box, int flags) const {
  const QFontMetrics metrics(font());
  const int textFlags = flags & ~kMeasureOnly;
  const QSize size =
      (textFlags & Qt::TextWordWrap)
          ? metrics.boundingRect(QRect(0, 0, box.right - box.left, INT_MAX / 2), textFlags, text)
                .size()
          : metrics.size(textFlags, text);
  return {box.left, box.top, box.left + size.width(), box.top + size.height()};
}

void TCustomShadowLabel::FitToText() {
  if (!autoSize_) {
    return;
  }
  const int flags = Qt::TextExpandTabs | kMeasureOnly | (wordWrap_ ? Qt::TextWordWrap : 0);
  TextBox box = DrawLabelText(nullptr, {1, 0, width() - 1, height()}, flags);
  box.left -= 1;
  box.right += 1;
  int left = x();
  if (alignment_.testFlag(Qt::AlignRight)) {
    left += width() - box.right;
  }
  setGeometry(left, y(), box.right, box.bottom);
}

void TCustomShadowLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!transparent_) {
    painter.fillRect(rect(), Color());
  }
  TextBox box{1, 0, width() - 1, height()};
  const int flags = Qt::TextExpandTabs | (wordWrap_ ? Qt::TextWordWrap : 0) |
                    static_cast<int>(alignment_) | Qt::AlignTop;
  if (!(layout_ & Qt::AlignTop)) {
    TextBox measured = DrawLabelText(nullptr, box, flags | kMeasureOnly);
    measured.left = 0;
    measured.right = width();
    int shift = height() - measured.bottom;
    if (layout_.testFlag(Qt::AlignVCenter)) {
      shift /= 2;
    }
    box = measured.Moved({0, shift});
  }
  DrawLabelText(&painter, box, flags);
}

void TCustomShadowLabel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    FitToText();
  } else if (event->type() == QEvent::EnabledChange) {
    update();
  }
}

}  // namespace varnex
