#pragma once

#include <string_view>

namespace varnex {

// The two parts of a path around its last "/": the folder that holds the entry, and the entry's
// name. The folder of an entry of the root is "/", that of a bare name ".".

inline std::string_view FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    return ".";
  }
  return path.substr(0, slash == 0 ? 1 : slash);
}

inline std::string_view NameOf(std::string_view path) {
  return path.substr(path.rfind('/') + 1);  // the whole path when there is no "/"
}

}  // namespace varnex
