#pragma once

#include <string>

#include "platform/fs/FileSystem.h"

namespace varnex {

// The directory the program starts in, which relative folders are taken from. A terminal left in
// a folder that has since been removed gives a current directory without a name; the program then
// starts in `home`, or in the root when home cannot be entered either, without a word.
std::string EnterStartDirectory(FileSystem& fs, const std::string& home);

}  // namespace varnex
