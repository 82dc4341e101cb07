#include "TTrackBar.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <cmath>

#include "widgets/Accessible.h"
#include "widgets/KeyPress.h"

namespace varnex {

namespace {

// What screen readers learn of the slider: its value in the reading's unit, which they may also
// set.
class TrackBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TrackBarAccessible(TTrackBar* bar)
      : QAccessibleWidget(bar, QAccessible::Slider), bar_(*bar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) {
      return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Value ? bar_.ReadingText() : QAccessibleWidget::text(kind);
  }

  QVariant currentValue() const override { return bar_.ReadingOf(bar_.value()); }
  void setCurrentValue(const QVariant& value) override {
    bar_.setValue(bar_.PositionOf(value.toDouble()));
  }
  QVariant maximumValue() const override { return bar_.ReadingOf(bar_.maximum()); }
  QVariant minimumValue() const override { return bar_.ReadingOf(bar_.minimum()); }
  QVariant minimumStepSize() const override {
    return bar_.ReadingOf(bar_.singleStep()) - bar_.ReadingOf(0);
  }

 private:
  TTrackBar& bar_;
};

}  // namespace

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  ProvideAccessibleInterface<TTrackBar, TrackBarAccessible>();
}

void TTrackBar::SetReading(int zero, int perUnit, const QString& unit) {
  zero_ = zero;
  perUnit_ = perUnit;
  unit_ = unit;
}

double TTrackBar::ReadingOf(int position) const {
  return double(position - zero_) / perUnit_;
}

int TTrackBar::PositionOf(double reading) const {
  return static_cast<int>(std::lround(reading * perUnit_)) + zero_;
}

QString TTrackBar::ReadingText() const {
  return QStringLiteral("%1 %2").arg(ReadingOf(value())).arg(unit_);
}

void TTrackBar::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (keyPageSize_ > 0 && (key == Qt::Key_PageUp || key == Qt::Key_PageDown) &&
      IsPlainKey(*event)) {
    setValue(value() + (key == Qt::Key_PageUp ? keyPageSize_ : -keyPageSize_));
    return;
  }
  QSlider::keyPressEvent(event);
}

}  // namespace varnex
