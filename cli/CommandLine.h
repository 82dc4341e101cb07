#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "conversion/Extensions.h"

namespace varnex {

// What varnex-convert is asked to do.
struct Command {
  enum Action { kConvert, kUndo, kList, kHelp, kVersion };

  Action action = kConvert;
  Direction direction = kMp3ToIad;
  bool dryRun = false;
  bool verbose = false;
  std::vector<std::string> folders;
};

// The one reading of varnex-convert's arguments (after the program's name): the command they
// give, or why they cannot be used. Read left to right; the first of --help, --version or a
// problem decides. After "--" every argument is a folder.
std::variant<Command, std::string> ParseCommandLine(const std::vector<std::string>& arguments);

// The help text; its first three lines are the synopsis printed with every problem.
extern const std::string_view kUsage;
std::string_view Synopsis();

}  // namespace varnex
