#pragma once

namespace varnex {

// Catches the signals that end a desktop session (SIGTERM at logout, SIGHUP when the terminal
// goes) and turns each into a byte on a pipe, so that the event loop can end the program the
// normal way, settings stored, instead of dying in the signal. One instance at a time; the
// previous handlers come back when it is destroyed.
class TerminationSignal {
 public:
  TerminationSignal();
  TerminationSignal(const TerminationSignal&) = delete;
  TerminationSignal& operator=(const TerminationSignal&) = delete;
  ~TerminationSignal();

  // Becomes readable when a signal has come; watch it with the event loop's socket notifier.
  int ReadDescriptor() const { return readEnd_; }

  // Whether a signal came since the last call; empties the pipe.
  bool TakePending();

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

}  // namespace varnex
