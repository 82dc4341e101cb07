#pragma once

#include <QSlider>
#include <QString>

namespace varnex {

// A horizontal slider. The arrow keys move it by its line size, Page Up and Page Down by its key
// page size, and a click in its groove by its page size. Screen readers read its position as a
// number in a unit of the program's choosing, not as the raw position.
class TTrackBar final : public QSlider {
 public:
  explicit TTrackBar(QWidget* parent = nullptr);

  int KeyPageSize() const { return keyPageSize_; }
  void SetKeyPageSize(int size) { keyPageSize_ = size; }

  // A position p reads as (p - zero) / perUnit, followed by `unit`.
  void SetReading(int zero, int perUnit, const QString& unit);
  double ReadingOf(int position) const;
  int PositionOf(double reading) const;
  // The position as read, unit included.
  QString ReadingText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int keyPageSize_ = 0;  // none: the page size
  int zero_ = 0;
  int perUnit_ = 1;
  QString unit_;
};

}  // namespace varnex
