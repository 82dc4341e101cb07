#include "SessionEnd.h"

#include <QApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace varnex {

SessionEnd::SessionEnd(TerminationSignal& termination, TMp3Form& form)
    : termination_(termination),
      form_(form),
      notifier_(termination.ReadDescriptor(), QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] {
    if (termination_.TakePending()) {
      EndProgram();
    }
  });
#if QT_CONFIG(sessionmanager)
  connect(
      qApp, &QGuiApplication::commitDataRequest, this,
      [this](QSessionManager&) { form_.SaveSettings(); }, Qt::DirectConnection);
#endif
}

// The main window first, so the settings are stored whatever else is open; then every other
// window, so that a modal box or dialog waiting for an answer ends too and the loop can finish.
void SessionEnd::EndProgram() {
  form_.close();
  QApplication::closeAllWindows();
}

}  // namespace varnex
