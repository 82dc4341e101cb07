#include "SessionEnd.h"

#include <QApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace varnex {

SessionEnd::SessionEnd(TerminationSignal& termination)
    : termination_(termination), notifier_(termination.ReadDescriptor(), QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] {
    if (termination_.TakePending()) {
      EndProgram();
    }
  });
#if QT_CONFIG(sessionmanager)
  connect(
      qApp, &QGuiApplication::commitDataRequest, this,
      [this](QSessionManager&) {
        if (form_ != nullptr) {
          form_->SaveSettings();
        }
      },
      Qt::DirectConnection);
#endif
}

void SessionEnd::Watch(TMp3Form& form) {
  form_ = &form;
  qApp->removeEventFilter(this);
  if (ended_) {
    form.close();
  }
}

// The main window first, so the settings are stored whatever else is open; then every other
// window, so that a modal box or dialog waiting for an answer ends too and the loop can finish.
void SessionEnd::EndProgram() {
  if (form_ != nullptr) {
    form_->close();
  } else if (!ended_) {
    qApp->installEventFilter(this);
  }
  ended_ = true;
  QApplication::closeAllWindows();
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show || form_ != nullptr) {
    return false;
  }
  if (auto* widget = qobject_cast<QWidget*>(watched); widget != nullptr && widget->isWindow()) {
    QMetaObject::invokeMethod(
        widget, [widget] { widget->close(); }, Qt::QueuedConnection);
  }
  return false;
}

}  // namespace varnex
