#include "CommandLine.h"

#include <algorithm>

#include "platform/Version.h"

namespace varnex {

namespace {

constexpr char kUsage[] =
    "Usage: varnex [--] [FOLDER | SONG]\n"
    "Lists the mp3 or iad files of FOLDER (or of SONG's folder, with SONG selected), plays them,\n"
    "and converts the whole folder from one extension to the other. Without an argument it shows\n"
    "the folder of the last run.\n"
    "\n"
    "  --help     print this help\n"
    "  --version  print the version\n"
    "  --         the argument after it is a folder, also when it looks like an option\n"
    "\n"
    "From a terminal, varnex-convert converts without the window; see man varnex-convert.\n";

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  const auto optionsEnd = std::find(arguments.begin(), arguments.end(), "--");
  for (auto argument = arguments.begin(); argument != optionsEnd; ++argument) {
    if (*argument == "--help" || *argument == "-h") {
      return {kUsage, {}};
    }
    if (*argument == "--version") {
      return {std::string("varnex ") + kVersion + "\n", {}};
    }
  }
  CommandLine commandLine{std::nullopt, {arguments.begin(), optionsEnd}};
  if (optionsEnd != arguments.end()) {
    commandLine.arguments.insert(commandLine.arguments.end(), optionsEnd + 1, arguments.end());
  }
  return commandLine;
}

}  // namespace varnex
