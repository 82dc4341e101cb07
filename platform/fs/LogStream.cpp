#include "LogStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace varnex {

LogStream::LogStream(const std::string& path)
    : handle_(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}

LogStream::LogStream(LogStream&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

LogStream& LogStream::operator=(LogStream&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) {
      close(handle_);
    }
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

LogStream::~LogStream() {
  if (handle_ >= 0) {
    close(handle_);
  }
}

}  // namespace varnex
