#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "app/TMp3Form.h"
#include "platform/shell/TerminationSignal.h"

namespace varnex {

// Keeps the folder and the window's position when the desktop session ends rather than the user
// closing the window: the session manager's request to save stores the settings, and a
// termination signal closes the window the normal way (which stores them) and ends the program.
class SessionEnd final : public QObject {
 public:
  SessionEnd(TerminationSignal& termination, TMp3Form& form);

 private:
  void EndProgram();

  TerminationSignal& termination_;
  TMp3Form& form_;
  QSocketNotifier notifier_;
};

}  // namespace varnex
