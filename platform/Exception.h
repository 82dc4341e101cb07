#pragma once

#include <stdexcept>
#include <string>

namespace varnex {

// The root of every failure the program raises; what() is the message shown to the user.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file-system failure with the platform code it stands for.
class EInOutError : public Exception {
 public:
  EInOutError(int errorCode, const std::string& message)
      : Exception(message), errorCode_(errorCode) {}

  // Maps an errno value to the code and text the user sees ("File not found", ...).
  static EInOutError FromErrno(int errnoValue);

  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace varnex
