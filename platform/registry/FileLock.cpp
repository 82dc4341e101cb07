#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace varnex {

FileLock::FileLock(const std::string& path, int milliseconds) {
  // Never through a link, which could make us create or open a file anywhere; never anything but
  // a regular file, which could block or act when opened.
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  struct stat status;
  if (fd_ >= 0 && (fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(fd_);
    fd_ = -1;
  }
  if (fd_ < 0) {
    state_ = State::NotPermitted;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  state_ = State::Locked;
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    close(fd_);  // closing the only descriptor releases the lock
  }
}

}  // namespace varnex
