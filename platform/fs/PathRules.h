#pragma once

#include <string>

#include "FileSystem.h"

namespace varnex {

// Path rules of the program in their POSIX form: "/" separates, there is no drive part, and the
// root is "/". Path identity is exact, as file names here are case-sensitive.

inline const std::string kRootFolder = "/";

struct SplitPathResult {
  std::string folder;    // the folder the path names, entered on the way to check it
  std::string lastPart;  // a file name or a wildcard pattern, or empty when the path is a folder
};

// Splits a folder, file or pattern path into its folder and last part, entering folders on the way
// to find out which is which. The current directory is the same afterwards, also on failure.
// A text in square brackets ("[name]") is taken without them. Throws EInOutError for a folder that
// cannot be entered.
SplitPathResult SplitPath(FileSystem& fs, const std::string& text);

// The folder followed by the name, with exactly one "/" between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path with its extension, from the last "." after the last "/", replaced by `extension`
// (which starts with its "."), or with `extension` appended when it has none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

// The path without one trailing "/", unless it is the root "/".
std::string TrimTrailingBackslash(const std::string& path);

// A relative path taken from `base`; absolute and empty paths stay as they are.
std::string AbsolutePath(const std::string& path, const std::string& base);

}  // namespace varnex
