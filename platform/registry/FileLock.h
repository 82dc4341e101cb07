#pragma once

#include <string>

namespace varnex {

// An exclusive advisory lock on a file beside the one it guards, held until destruction. The
// kernel drops it when its holder dies, so a writer killed at any moment never leaves it behind.
class FileLock {
 public:
  enum class State { Locked, Busy, NotPermitted };

  // Waits up to `milliseconds` for the lock. NotPermitted when the lock file cannot be made, or
  // when a link or anything but a regular file has its name.
  FileLock(const std::string& path, int milliseconds);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  State state() const { return state_; }

 private:
  int fd_ = -1;
  State state_ = State::Busy;
};

}  // namespace varnex
