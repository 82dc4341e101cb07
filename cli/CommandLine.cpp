#include "CommandLine.h"

#include "cli/EscapedName.h"

namespace varnex {

const std::string_view kUsage =
    "Usage: varnex-convert [--to iad|mp3] [--dry-run] [--verbose] [--] FOLDER...\n"
    "       varnex-convert --undo [--dry-run] [--verbose] FOLDER\n"
    "       varnex-convert --list FOLDER\n"
    "Renames every entry of each FOLDER whose name ends in .mp3 (any letter case) to end in .iad,\n"
    "or the other way with --to mp3, exactly as the Varnex window converts. A name that is taken\n"
    "is never replaced: that entry keeps its name and is reported.\n"
    "\n"
    "  --to EXT     the extension to give: iad (the default) or mp3\n"
    "  --dry-run    print what would be renamed or skipped, and change nothing\n"
    "  --verbose    print every rename, not only the entries that were skipped\n"
    "  --           every argument after it is a folder\n"
    "  --undo       undo the newest pass made in FOLDER, here or in the window (Ctrl+Z there):\n"
    "               every entry it renamed that is still there goes back to its old name,\n"
    "               unless that name is taken now\n"
    "  --list       list the passes made in FOLDER that can be undone, newest first\n"
    "  --help       print this help\n"
    "  --version    print the version\n"
    "\n"
    "Exit status: 0 everything renamed, 1 some entries skipped, 2 unusable arguments or a folder\n"
    "that cannot be read, 3 the pass went through but its report could not be written.\n"
    "For --undo: 0 everything restored, 1 some entries kept, 2 nothing to undo or a folder that\n"
    "cannot be read.\n";

std::string_view Synopsis() {
  std::size_t end = 0;
  for (int line = 0; line < 3; ++line) {
    end = kUsage.find('\n', end) + 1;
  }
  return kUsage.substr(0, end);
}

namespace {

// Why the options read do not go together, or with the folders given; empty when they do.
std::string Mismatch(const Command& command, bool undo, bool list, bool toGiven) {
  if (undo && list) {
    return "--undo and --list do not go together";
  }
  if ((undo || list) && toGiven) {
    return "--to does not go with --undo or --list: a pass is undone the way it went";
  }
  if (list && (command.dryRun || command.verbose)) {
    return "--list takes no --dry-run or --verbose";
  }
  if (command.folders.empty()) {
    return "no folder given";
  }
  if ((undo || list) && command.folders.size() != 1) {
    return "--undo and --list take one folder";
  }
  return {};
}

}  // namespace

std::variant<Command, std::string> ParseCommandLine(const std::vector<std::string>& arguments) {
  Command command;
  bool undo = false;
  bool list = false;
  bool toGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      command.folders.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      command.action = Command::kHelp;
      return command;
    } else if (argument == "--version") {
      command.action = Command::kVersion;
      return command;
    } else if (argument == "--dry-run" || argument == "-n") {
      command.dryRun = true;
    } else if (argument == "--verbose" || argument == "-v") {
      command.verbose = true;
    } else if (argument == "--undo") {
      undo = true;
    } else if (argument == "--list") {
      list = true;
    } else if (argument == "--to" || argument.starts_with("--to=")) {
      // An option where the extension should be is a mistake, never an extension.
      if (argument == "--to" && (i + 1 == arguments.size() || arguments[i + 1].starts_with("-"))) {
        return i + 1 == arguments.size() ? std::string("--to needs an extension: iad or mp3")
                                         : "--to needs an extension, iad or mp3, not the option '" +
                                               EscapedName(arguments[i + 1]) + "'";
      }
      const std::string extension = argument == "--to" ? arguments[++i] : argument.substr(5);
      const auto direction = DirectionTo(extension);
      if (!direction) {
        return "--to takes iad or mp3, not '" + EscapedName(extension) + "'";
      }
      command.direction = *direction;
      toGiven = true;
    } else {
      return "unknown option '" + EscapedName(argument) + "'";
    }
  }
  if (std::string problem = Mismatch(command, undo, list, toGiven); !problem.empty()) {
    return problem;
  }
  command.action = undo ? Command::kUndo : list ? Command::kList : Command::kConvert;
  return command;
}

}  // namespace varnex
