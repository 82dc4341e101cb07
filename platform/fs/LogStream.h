#pragma once

#include <string>

namespace varnex {

// A file made (or emptied) for writing a log into, closed when it goes out of scope.
class LogStream {
 public:
  LogStream() = default;
  // Creates or truncates `path`; Handle() is -1 when that fails.
  explicit LogStream(const std::string& path);
  LogStream(LogStream&& other) noexcept;
  LogStream& operator=(LogStream&& other) noexcept;
  LogStream(const LogStream&) = delete;
  LogStream& operator=(const LogStream&) = delete;
  ~LogStream();

  bool IsOpen() const { return handle_ >= 0; }
  // The handle to pass to whoever writes the log.
  int Handle() const { return handle_; }

 private:
  int handle_ = -1;
};

}  // namespace varnex
