#pragma once

#include <QMessageBox>

namespace varnex {

// A message box in the middle of the screen, placed once its layout has given it its final size
// (the toolkit centres a box for the size it has before its layout, which is mostly smaller), and
// wide enough for a title bar to show its whole title beside the title bar's buttons.
class CentredMessageBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace varnex
