#include "FirstFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace varnex {

namespace {

class FirstFrameWatch final : public QObject {
 public:
  FirstFrameWatch(QObject& watched, std::function<void()> work)
      : QObject(&watched), work_(std::move(work)) {
    watched.installEventFilter(this);
  }

  bool eventFilter(QObject* object, QEvent* event) override {
    const auto* widget = qobject_cast<QWidget*>(object);
    if (event->type() == QEvent::Paint && widget != nullptr && widget->isWindow()) {
      parent()->removeEventFilter(this);
      // Posted from inside the paint, it runs once the frame is done and shown.
      QTimer::singleShot(0, parent(), std::move(work_));
      deleteLater();
    }
    return false;
  }

 private:
  std::function<void()> work_;
};

}  // namespace

void AfterFirstFrame(QObject& watched, std::function<void()> work) {
  new FirstFrameWatch(watched, std::move(work));
}

}  // namespace varnex
