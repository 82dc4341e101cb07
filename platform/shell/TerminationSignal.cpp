#include "TerminationSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

#include "platform/Exception.h"

namespace varnex {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};

// Written by the handler, which may only make async-signal-safe calls.
volatile sig_atomic_t g_writeEnd = -1;
struct sigaction g_previous[std::size(kSignals)];

extern "C" void OnTerminationSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  // A full pipe already says that a signal came, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t written = write(g_writeEnd, &byte, 1);
  errno = savedErrno;
}

}  // namespace

TerminationSignal::TerminationSignal() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw EInOutError::FromErrno(errno);
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  g_writeEnd = writeEnd_;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &action, &g_previous[i]);
  }
}

TerminationSignal::~TerminationSignal() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &g_previous[i], nullptr);
  }
  g_writeEnd = -1;
  close(readEnd_);
  close(writeEnd_);
}

bool TerminationSignal::TakePending() {
  bool pending = false;
  char bytes[16];
  while (read(readEnd_, bytes, sizeof bytes) > 0) {
    pending = true;
  }
  return pending;
}

}  // namespace varnex
