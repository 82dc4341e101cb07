#include "UndoCommand.h"

#include <ctime>
#include <ostream>

#include "cli/ConvertCommand.h"
#include "history/Undo.h"
#include "platform/fs/PathParts.h"

namespace varnex {

namespace {

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

std::string DirectionOf(const PassRecord& pass) {
  return EscapedName(pass.fromExtension) + " => " + EscapedName(pass.toExtension);
}

std::string LocalTime(std::int64_t nanoseconds) {
  const auto seconds = static_cast<std::time_t>(nanoseconds / 1'000'000'000);
  char text[32] = "?";
  if (const std::tm* local = std::localtime(&seconds)) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  }
  return text;
}

int NothingToUndo(const std::string& folder, std::ostream& err) {
  err << "varnex-convert: " << EscapedName(folder) << ": nothing to undo\n";
  return kUnusable;
}

void Report(const UndoReport& report, const Command& command, std::ostream& out,
            std::ostream& err) {
  for (const UndoStep& step : report.steps) {
    // A pass killed early leaves thousands of these; the summary counts them.
    if (step.kept == KeptBecause::kNotRenamed && !command.verbose) {
      continue;
    }
    if (step.kept != KeptBecause::kNone) {
      if (command.dryRun) {
        out << "keep " << EscapedName(step.newPath) << ": " << Reason(step) << "\n";
      } else {
        err << "varnex-convert: " << EscapedName(step.newPath) << ": not restored: " << Reason(step)
            << "\n";
      }
    } else if (command.dryRun || command.verbose) {
      out << EscapedName(step.newPath) << " -> " << EscapedName(NameOf(step.oldPath)) << "\n";
    }
  }
}

}  // namespace

int RunUndo(FileSystem& fs, History* history, const Command& command, std::ostream& out,
            std::ostream& err) {
  const std::string& folder = command.folders.front();
  if (history == nullptr) {
    return NothingToUndo(folder, err);
  }
  const UndoOutcome outcome = UndoNewestPass(fs, *history, folder, command.dryRun);
  if (outcome.folderError) {
    ReportUnreadable(err, folder, outcome.folderError);
    return kUnusable;
  }
  for (const std::string& journal : outcome.damaged) {
    err << "varnex-convert: skipped a damaged journal: " << EscapedName(journal) << "\n";
  }
  if (!outcome.undone) {
    return NothingToUndo(folder, err);
  }
  const UndoReport& report = outcome.undone->report;
  Report(report, command, out, err);
  out << (command.dryRun ? "dry run, nothing changed: " : "") << "undo of "
      << DirectionOf(outcome.undone->pass) << " from " << LocalTime(outcome.undone->pass.time)
      << ": " << report.restored << " restored, " << report.kept << " kept\n";
  return report.kept > 0 ? kSomeSkipped : kAllRenamed;
}

int RunList(FileSystem& fs, History* history, const Command& command, std::ostream& out,
            std::ostream& err) {
  const std::string& folder = command.folders.front();
  if (history == nullptr) {
    return NothingToUndo(folder, err);
  }
  const FolderPasses found = PassesIn(fs, *history, folder);
  if (found.folderError) {
    ReportUnreadable(err, folder, found.folderError);
    return kUnusable;
  }
  for (const PassRecord& pass : found.passes) {
    out << LocalTime(pass.time) << "  " << DirectionOf(pass) << "  " << pass.renames.size()
        << (pass.renames.size() == 1 ? " rename" : " renames") << "\n";
  }
  for (const std::string& journal : found.damaged) {
    out << "skipped a damaged journal: " << EscapedName(journal) << "\n";
  }
  if (found.passes.empty()) {
    out << "nothing to undo in " << EscapedName(folder) << "\n";
  }
  return kAllRenamed;
}

}  // namespace varnex
