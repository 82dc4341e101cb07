#include "FirstFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <utility>

namespace varnex {

namespace {

// A window that starts minimized paints no frame until it is restored; its work waits this long
// at most.
constexpr std::chrono::milliseconds kLatest{1000};

class FirstFrameWatch final : public QObject {
 public:
  FirstFrameWatch(QObject& watched, std::function<void()> work)
      : QObject(&watched), work_(std::move(work)) {
    watched.installEventFilter(this);
    QTimer::singleShot(kLatest, this, &FirstFrameWatch::Run);
  }

  bool eventFilter(QObject* object, QEvent* event) override {
    const auto* widget = qobject_cast<QWidget*>(object);
    if (event->type() == QEvent::Paint && widget != nullptr && widget->isWindow()) {
      Run();
    }
    return false;
  }

 private:
  void Run() {
    if (!work_) {
      return;
    }
    parent()->removeEventFilter(this);
    // Posted: from inside the paint, it runs once the frame is done and shown.
    QTimer::singleShot(0, parent(), std::exchange(work_, nullptr));
    deleteLater();
  }

  std::function<void()> work_;
};

}  // namespace

void AfterFirstFrame(QObject& watched, std::function<void()> work) {
  new FirstFrameWatch(watched, std::move(work));
}

}  // namespace varnex
