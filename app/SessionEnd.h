#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "app/TMp3Form.h"
#include "platform/shell/TerminationSignal.h"

namespace varnex {

// Keeps the folder and the window's position when the desktop session ends rather than the user
// closing the window: the session manager's request to save stores the settings, and a
// termination signal closes the window the normal way (which stores them) and ends the program.
// It listens from before the window is made, so that a signal that comes while the window's
// creation waits for an answer (the warning about surplus arguments) ends that wait too.
class SessionEnd final : public QObject {
 public:
  explicit SessionEnd(TerminationSignal& termination);

  // The window that a signal closes from now on. When a signal came before, it is closed at once.
  void Watch(TMp3Form& form);

  // Whether a signal has come: the program then ends instead of showing its window.
  bool Ended() const { return ended_; }

 protected:
  // Once the session has ended before there was a window to close, closes every window that
  // still comes up, such as the warning that the window's creation goes on to show.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void EndProgram();

  TerminationSignal& termination_;
  TMp3Form* form_ = nullptr;
  bool ended_ = false;
  QSocketNotifier notifier_;
};

}  // namespace varnex
