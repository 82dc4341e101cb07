#include "ConvertCommand.h"

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <unordered_set>
#include <variant>

#include "cli/CommandLine.h"
#include "cli/UndoCommand.h"
#include "conversion/ConvertFolder.h"
#include "history/PassRecorder.h"
#include "platform/Version.h"
#include "platform/fs/CaseFold.h"

namespace varnex {

namespace {

struct Tally {
  std::size_t renamed = 0;
  std::size_t skipped = 0;
};

std::string Shown(const ConversionPlan& plan, const std::string& name) {
  return EscapedName(plan.PathOf(name));
}

std::string Taken(FileSystem& fs, const ConversionPlan& plan, const ConversionStep& step) {
  // Two names of one file (a pass cut short between link and unlink, or links made on purpose):
  // removing one of them loses nothing, which the person should know.
  if (fs.SameEntry(plan.PathOf(step.oldName), plan.PathOf(step.newName))) {
    return "same file as " + EscapedName(step.newName);
  }
  // An empty file or folder is most likely the placeholder of a pass that was killed, not a
  // person's data; saying so keeps the wrong one from being deleted.
  if (fs.IsEmptyEntry(plan.PathOf(step.newName))) {
    return EscapedName(step.newName) + " exists and is empty";
  }
  return EscapedName(step.newName) + " exists";
}

std::string Reason(FileSystem& fs, const ConversionPlan& plan, const ConversionStep& step) {
  return step.error == std::errc::file_exists ? Taken(fs, plan, step) : step.error.message();
}

// Whether the folder takes a name in other letters for the same entry, as FAT and exFAT do: asked
// of one planned entry under its name in capitals, small letters or the two turned, whichever is
// not listed as an entry of its own.
bool IgnoresLetterCase(FileSystem& fs, const ConversionPlan& plan) {
  std::unordered_set<std::string_view> listed;
  for (const ConversionStep& step : plan.steps) {
    listed.insert(step.oldName);
  }
  const auto inOtherLetters = [](std::string name, int how) {
    for (char& c : name) {
      const bool lower = c >= 'a' && c <= 'z';
      const bool upper = c >= 'A' && c <= 'Z';
      if ((lower && how != 1) || (upper && how != 0)) {
        c = static_cast<char>(c ^ 0x20);
      }
    }
    return name;
  };
  for (const ConversionStep& step : plan.steps) {
    for (int how = 0; how < 3; ++how) {  // capitals, small letters, turned
      const std::string other = inOtherLetters(step.oldName, how);
      if (!listed.contains(other)) {
        return fs.SameEntry(plan.PathOf(step.oldName), plan.PathOf(other));
      }
    }
  }
  return false;
}

// Why the step would be refused, as the real pass would find it; empty when it would be renamed.
// The checks come in the order the system makes them, so that both give the same reason. A new
// name that an earlier step takes counts with letter case ignored where the folder ignores it.
std::string PredictRefusal(FileSystem& fs, const ConversionPlan& plan, const ConversionStep& step,
                           const std::map<std::string, std::string>& claimed,
                           const std::string& key) {
  const std::error_code refusal = fs.RenameRefusal(plan.PathOf(step.oldName));
  if (refusal == std::errc::read_only_file_system) {
    return refusal.message();
  }
  if (const auto taker = claimed.find(key); taker != claimed.end()) {
    return EscapedName(step.newName) + " is taken by " + EscapedName(taker->second);
  }
  if (fs.Attributes(plan.PathOf(step.newName))) {
    return Taken(fs, plan, step);
  }
  return refusal ? refusal.message() : std::string();
}

void ShowPlan(FileSystem& fs, const ConversionPlan& plan, std::ostream& out, Tally& tally) {
  const bool ignoresCase = IgnoresLetterCase(fs, plan);
  std::map<std::string, std::string> claimed;  // new name, as the folder compares it -> old name
  for (const ConversionStep& step : plan.steps) {
    const std::string key = ignoresCase ? CaseFoldedKey(step.newName) : step.newName;
    const std::string refusal = PredictRefusal(fs, plan, step, claimed, key);
    if (refusal.empty()) {
      claimed.emplace(key, step.oldName);
      out << Shown(plan, step.oldName) << " -> " << EscapedName(step.newName) << "\n";
      ++tally.renamed;
    } else {
      out << "skip " << Shown(plan, step.oldName) << ": " << refusal << "\n";
      ++tally.skipped;
    }
  }
}

// Shows how far a long pass has come, once it has run for a second, on one rewritten line.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool enabled, std::size_t total)
      : err_(err), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() {
    if (shown_) {
      err_ << "\r\033[K" << std::flush;
    }
  }

  void Update(std::size_t done) {
    if (!enabled_ || done % 512 != 0 ||
        std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) {
      return;
    }
    shown_ = true;
    err_ << "\r" << done << " of " << total_ << " renamed..." << std::flush;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  std::size_t total_;
  std::chrono::steady_clock::time_point start_;
  bool shown_ = false;
};

// The terminal's report of a pass, as it goes: what was skipped and why, every rename when asked,
// a progress line for a person watching a long one.
class PassReport final : public PassObserver {
 public:
  PassReport(FileSystem& fs, const Command& command, const std::string& folder,
             const PassRecorder* journal, bool showProgress, std::ostream& out, std::ostream& err,
             Tally& tally)
      : fs_(fs),
        verbose_(command.verbose),
        folder_(folder),
        journal_(journal),
        showProgress_(showProgress),
        out_(out),
        err_(err),
        tally_(tally) {}

  void Planned(ListedFolder&, const ConversionPlan& plan) override {
    if (journal_ != nullptr && journal_->Error()) {
      err_ << "varnex-convert: " << EscapedName(folder_)
           << ": cannot keep the journal to undo this pass: " << journal_->Error().message()
           << "\n";
    }
    progress_.emplace(err_, showProgress_, plan.steps.size());
  }

  void Renamed(const ConversionPlan& plan, std::size_t index) override {
    const ConversionStep& step = plan.steps[index];
    if (step.error) {
      err_ << "varnex-convert: " << Shown(plan, step.oldName)
           << ": not renamed: " << Reason(fs_, plan, step) << "\n";
      ++tally_.skipped;
    } else {
      if (verbose_) {
        out_ << Shown(plan, step.oldName) << " -> " << EscapedName(step.newName) << "\n";
      }
      ++tally_.renamed;
    }
    progress_->Update(index + 1);
  }

  void Finished(const ConversionPlan&) override { progress_.reset(); }

 private:
  FileSystem& fs_;
  bool verbose_;
  const std::string& folder_;
  const PassRecorder* journal_;
  bool showProgress_;
  std::ostream& out_;
  std::ostream& err_;
  Tally& tally_;
  std::optional<ProgressLine> progress_;
};

// Every folder in turn, through the same pass as the window's, with its journal when there is a
// history; or, in a dry run, its plan with what the pass would meet.
int Convert(FileSystem& fs, History* history, const Command& command, bool showProgress,
            std::ostream& out, std::ostream& err) {
  Tally tally;
  bool unreadable = false;
  for (const std::string& folder : command.folders) {
    ConversionPlan plan;
    if (command.dryRun) {
      plan = PlanConversion(fs, folder, command.direction);
      if (!plan.folderError) {
        ShowPlan(fs, plan, out, tally);
      }
    } else {
      std::optional<PassRecorder> journal;
      if (history != nullptr) {
        journal.emplace(*history);
      }
      PassReport report(fs, command, folder, journal ? &*journal : nullptr, showProgress, out, err,
                        tally);
      plan = ConvertFolder(fs, folder, command.direction, {journal ? &*journal : nullptr, &report});
    }
    if (plan.folderError) {
      ReportUnreadable(err, folder, plan.folderError);
      unreadable = true;
    }
  }
  out << (command.dryRun ? "dry run, nothing changed: " : "") << tally.renamed << " renamed, "
      << tally.skipped << " skipped\n";
  return unreadable ? kUnusable : tally.skipped > 0 ? kSomeSkipped : kAllRenamed;
}

// The status, unless the report could not be written whole (a closed pipe, a full disk): the
// command has gone on to its end all the same, but the person was not told all of it.
int Finished(std::ostream& out, std::ostream& err, int status) {
  if (!out.flush()) {
    err << "varnex-convert: the report could not be written\n";
    return status == kUnusable ? status : kReportNotWritten;
  }
  return status;
}

}  // namespace

void ReportUnreadable(std::ostream& err, const std::string& folder, std::error_code error) {
  err << "varnex-convert: " << EscapedName(folder) << ": cannot read: "
      << (error == std::errc::no_such_file_or_directory ? std::string("no such folder")
          : error == std::errc::not_a_directory         ? std::string("not a folder")
                                                        : error.message())
      << "\n";
}

int RunConvertCommand(FileSystem& fs, const std::vector<std::string>& arguments, bool showProgress,
                      std::ostream& out, std::ostream& err, History* history) {
  const auto parsed = ParseCommandLine(arguments);
  if (const auto* problem = std::get_if<std::string>(&parsed)) {
    err << "varnex-convert: " << *problem << "\n" << Synopsis();
    return kUnusable;
  }
  const auto& command = std::get<Command>(parsed);
  switch (command.action) {
    case Command::kHelp:
      out << kUsage;
      return Finished(out, err, kAllRenamed);
    case Command::kVersion:
      out << "varnex-convert " << kVersion << "\n";
      return Finished(out, err, kAllRenamed);
    case Command::kUndo:
      return Finished(out, err, RunUndo(fs, history, command, out, err));
    case Command::kList:
      return Finished(out, err, RunList(fs, history, command, out, err));
    case Command::kConvert:
      break;
  }
  return Finished(out, err, Convert(fs, history, command, showProgress, out, err));
}

}  // namespace varnex
