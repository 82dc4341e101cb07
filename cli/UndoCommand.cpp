#include "UndoCommand.h"

#include <algorithm>
#include <ctime>
#include <ostream>

#include "cli/ConvertCommand.h"
#include "history/Undo.h"

namespace varnex {

namespace {

struct HistoryOptions {
  bool undo = false;
  bool list = false;
  bool dryRun = false;
  bool verbose = false;
  std::vector<std::string> folders;
};

std::optional<std::string> Parse(const std::vector<std::string>& arguments,
                                 HistoryOptions& options) {
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      options.folders.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--undo") {
      options.undo = true;
    } else if (argument == "--list") {
      options.list = true;
    } else if (argument == "--dry-run" || argument == "-n") {
      options.dryRun = true;
    } else if (argument == "--verbose" || argument == "-v") {
      options.verbose = true;
    } else if (argument == "--to" || argument.starts_with("--to=")) {
      return "--to does not go with --undo or --list: a pass is undone the way it went";
    } else {
      return "unknown option '" + EscapedName(argument) + "'";
    }
  }
  if (options.undo && options.list) {
    return "--undo and --list do not go together";
  }
  if (options.list && (options.dryRun || options.verbose)) {
    return "--list takes no --dry-run or --verbose";
  }
  if (options.folders.size() != 1) {
    return options.folders.empty() ? "no folder given" : "--undo and --list take one folder";
  }
  return std::nullopt;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string Reason(const UndoStep& step) {
  switch (step.kept) {
    case KeptBecause::kNotRenamed:
      return "it was not renamed";
    case KeptBecause::kGone:
      return "it is gone";
    case KeptBecause::kOtherEntry:
      return "it is another entry now";
    case KeptBecause::kOldNameTaken:
      return EscapedName(NameOf(step.oldPath)) + " exists";
    case KeptBecause::kRefused:
      return step.error.message();
    case KeptBecause::kNone:
      break;
  }
  return {};
}

std::string Direction(const PassRecord& pass) {
  return EscapedName(pass.fromExtension) + " => " + EscapedName(pass.toExtension);
}

std::string LocalTime(std::int64_t nanoseconds) {
  const std::time_t seconds = static_cast<std::time_t>(nanoseconds / 1'000'000'000);
  char text[32] = "?";
  if (const std::tm* local = std::localtime(&seconds)) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  }
  return text;
}

// A folder that is no folder cannot have been converted; say so as the forward pass does.
bool CheckFolder(FileSystem& fs, JournalStorage& storage, const std::string& folder,
                 std::ostream& err) {
  if (storage.FolderIdentity(folder)) {
    return true;
  }
  err << "varnex-convert: " << EscapedName(folder)
      << ": cannot read: " << (fs.Attributes(folder) ? "not a folder" : "no such folder") << "\n";
  return false;
}

int List(History& history, const std::string& folder, std::ostream& out) {
  std::size_t shown = 0;
  const auto identity = history.Storage().FolderIdentity(folder);
  for (const std::string& journal :
       identity ? history.Passes(*identity) : std::vector<std::string>()) {
    if (const auto pass = history.Load(journal);
        pass && SameEntry(pass->folderIdentity, *identity)) {
      out << LocalTime(pass->time) << "  " << Direction(*pass) << "  " << pass->renames.size()
          << (pass->renames.size() == 1 ? " rename" : " renames") << "\n";
      ++shown;
    }
  }
  if (shown == 0) {
    out << "nothing to undo in " << EscapedName(folder) << "\n";
  }
  return kAllRenamed;
}

int Undo(FileSystem& fs, History& history, const HistoryOptions& options, std::ostream& out,
         std::ostream& err) {
  const std::string& folder = options.folders.front();
  const auto undone = UndoNewestPass(fs, history, folder, options.dryRun);
  if (!undone) {
    err << "varnex-convert: " << EscapedName(folder) << ": nothing to undo\n";
    return kUnusable;
  }
  for (const UndoStep& step : undone->report.steps) {
    // A pass killed early leaves thousands of these; the summary counts them.
    if (step.kept == KeptBecause::kNotRenamed && !options.verbose) {
      continue;
    }
    if (step.kept != KeptBecause::kNone) {
      if (options.dryRun) {
        out << "keep " << EscapedName(step.newPath) << ": " << Reason(step) << "\n";
      } else {
        err << "varnex-convert: " << EscapedName(step.newPath) << ": not restored: " << Reason(step)
            << "\n";
      }
    } else if (options.dryRun || options.verbose) {
      out << EscapedName(step.newPath) << " -> " << EscapedName(NameOf(step.oldPath)) << "\n";
    }
  }
  out << (options.dryRun ? "dry run, nothing changed: " : "") << "undo of "
      << Direction(undone->pass) << " from " << LocalTime(undone->pass.time) << ": "
      << undone->report.restored << " restored, " << undone->report.kept << " kept\n";
  return undone->report.kept > 0 ? kSomeSkipped : kAllRenamed;
}

}  // namespace

std::optional<int> RunHistoryCommand(FileSystem& fs, History* history,
                                     const std::vector<std::string>& arguments, std::ostream& out,
                                     std::ostream& err) {
  const auto asked = [&arguments](const char* option) {
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    return std::find(arguments.begin(), end, option) != end;
  };
  if (!asked("--undo") && !asked("--list")) {
    return std::nullopt;
  }
  HistoryOptions options;
  if (const auto problem = Parse(arguments, options)) {
    err << "varnex-convert: " << *problem << "\n"
        << "Usage: varnex-convert --undo [--dry-run] [--verbose] FOLDER | --list FOLDER\n";
    return kUnusable;
  }
  const std::string& folder = options.folders.front();
  if (history == nullptr) {
    err << "varnex-convert: " << EscapedName(folder) << ": nothing to undo\n";
    return kUnusable;
  }
  if (!CheckFolder(fs, history->Storage(), folder, err)) {
    return kUnusable;
  }
  return options.list ? List(*history, folder, out) : Undo(fs, *history, options, out, err);
}

}  // namespace varnex
