#pragma once

#include <memory>
#include <string>
#include <system_error>

#include "ListedFolder.h"

namespace varnex {

// Opens a folder through POSIX calls, relative paths from the process's current directory;
// nullptr, with why in `error`, when it is no folder that can be read.
std::unique_ptr<ListedFolder> OpenPosixFolder(const std::string& path, std::error_code& error);

}  // namespace varnex
