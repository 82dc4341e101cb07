#include "TDirectoryEdit.h"

#include <QStyle>

namespace varnex {

TEditButton::TEditButton(QWidget* parent) : QToolButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  setAutoRaise(false);
}

TCustomComboEdit::TCustomComboEdit(QWidget* parent)
    : QLineEdit(parent), button_(new TEditButton(this)) {
  setTextMargins(0, 0, TEditButton::kWidth, 0);
}

void TCustomComboEdit::SetText(const std::string& text) {
  if (text == text_) {
    return;
  }
  text_ = text;
  setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (OnChange) {
    OnChange(this);
  }
}

void TCustomComboEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  button_->setGeometry(width() - frame - TEditButton::kWidth, frame, TEditButton::kWidth,
                       height() - 2 * frame);
}

TDirectoryEdit::TDirectoryEdit(QWidget* parent) : TCustomComboEdit(parent) {
  setReadOnly(true);
}

}  // namespace varnex
