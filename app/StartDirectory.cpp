#include "StartDirectory.h"

#include <exception>

namespace varnex {

std::string EnterStartDirectory(FileSystem& fs, const std::string& home) {
  try {
    return fs.CurrentDirectory();
  } catch (const std::exception&) {
    // Removed or out of reach: fall back below.
  }
  for (const std::string& fallback : {home, std::string("/")}) {
    try {
      if (!fallback.empty()) {
        fs.SetCurrentDirectory(fallback);
        return fs.CurrentDirectory();
      }
    } catch (const std::exception&) {
      // Try the next one.
    }
  }
  return "/";
}

}  // namespace varnex
