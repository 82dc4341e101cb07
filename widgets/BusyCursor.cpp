#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace varnex {

BusyCursor::BusyCursor(When when) {
  if (when == When::Now) {
    Show();
  }
}

BusyCursor::~BusyCursor() {
  if (shown_) {
    QGuiApplication::restoreOverrideCursor();
  }
}

void BusyCursor::Show() {
  if (!shown_) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    shown_ = true;
  }
}

}  // namespace varnex
