#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnex {

// What the arguments after the program's path ask for. --help and --version (before any "--")
// are answered on standard output instead of starting, so they need no display and leave the
// settings alone; the first "--" ends the options, so that a folder may be named like one.
// Every other argument is for the window: a folder, or a song in it.
struct CommandLine {
  std::optional<std::string> answer;  // printed instead of starting when set
  std::vector<std::string> arguments;
};

CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

}  // namespace varnex
