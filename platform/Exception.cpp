#include "Exception.h"

#include <cerrno>

namespace varnex {

namespace {

struct ErrorKind {
  int errnoValue;
  int code;
  const char* text;
};

// The codes are the ones a user of the program knows from its messages: 2 not found, 3 path not
// found, 4 too many open files, 5 access denied.
constexpr ErrorKind kKnownErrors[] = {
    {ENOENT, 2, "File not found"},      {ENOTDIR, 3, "Invalid filename"},
    {ELOOP, 3, "Invalid filename"},     {ENAMETOOLONG, 3, "Invalid filename"},
    {EMFILE, 4, "Too many open files"}, {ENFILE, 4, "Too many open files"},
    {EACCES, 5, "File access denied"},  {EPERM, 5, "File access denied"},
};

}  // namespace

EInOutError EInOutError::FromErrno(int errnoValue) {
  for (const ErrorKind& kind : kKnownErrors) {
    if (kind.errnoValue == errnoValue) {
      return {kind.code, kind.text};
    }
  }
  return {errnoValue, "I/O error " + std::to_string(errnoValue)};
}

}  // namespace varnex
