#include "ConvertCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <ostream>

#include "cli/UndoCommand.h"
#include "conversion/ConvertFolder.h"
#include "history/PassRecorder.h"
#include "platform/Utf8.h"
#include "platform/Version.h"

namespace varnex {

namespace {

constexpr std::string_view kUsage =
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

// Parses the arguments; a message when they are unusable.
std::optional<std::string> ParseArguments(const std::vector<std::string>& arguments,
                                          ConvertOptions& options) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      options.folders.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--dry-run" || argument == "-n") {
      options.dryRun = true;
    } else if (argument == "--verbose" || argument == "-v") {
      options.verbose = true;
    } else if (argument == "--to" || argument.starts_with("--to=")) {
      std::string extension;
      if (argument == "--to") {
        if (++i == arguments.size()) {
          return "--to needs an extension: iad or mp3";
        }
        extension = arguments[i];
      } else {
        extension = argument.substr(5);
      }
      if (extension != "iad" && extension != "mp3") {
        return "--to takes iad or mp3, not '" + EscapedName(extension) + "'";
      }
      options.toExtension = extension;
      options.fromExtension = extension == "iad" ? "mp3" : "iad";
    } else {
      return "unknown option '" + EscapedName(argument) + "'";
    }
  }
  if (options.folders.empty()) {
    return "no folder given";
  }
  return std::nullopt;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string Taken(FileSystem& fs, const ConversionStep& step) {
  // Two names of one file (a pass cut short between link and unlink, or links made on purpose):
  // removing one of them loses nothing, which the person should know.
  if (fs.SameEntry(step.from, step.to)) {
    return "same file as " + EscapedName(NameOf(step.to));
  }
  // An empty file or folder is most likely the placeholder of a pass that was killed, not a
  // person's data; saying so keeps the wrong one from being deleted.
  if (fs.IsEmptyEntry(step.to)) {
    return EscapedName(NameOf(step.to)) + " exists and is empty";
  }
  return EscapedName(NameOf(step.to)) + " exists";
}

// Why the step would be refused, as a real pass would find it; empty when it would be renamed.
// The checks come in the order the system makes them, so that both give the same reason.
std::string PredictRefusal(FileSystem& fs, const ConversionStep& step,
                           const std::map<std::string, std::string>& claimed) {
  const std::error_code refusal = fs.RenameRefusal(step.from);
  if (refusal == std::errc::read_only_file_system) {
    return refusal.message();
  }
  if (const auto taker = claimed.find(step.to); taker != claimed.end()) {
    return EscapedName(NameOf(step.to)) + " is taken by " + EscapedName(NameOf(taker->second));
  }
  if (fs.Attributes(step.to)) {
    return Taken(fs, step);
  }
  return refusal ? refusal.message() : std::string();
}

std::string Reason(FileSystem& fs, const ConversionStep& step) {
  if (step.error == std::errc::file_exists) {
    return Taken(fs, step);
  }
  return step.error.message();
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

struct Tally {
  std::size_t renamed = 0;
  std::size_t skipped = 0;
};

void ShowPlan(FileSystem& fs, const ConversionPlan& plan, std::ostream& out, Tally& tally) {
  std::map<std::string, std::string> claimed;  // new path -> the entry that takes it
  for (const ConversionStep& step : plan.steps) {
    const std::string refusal = PredictRefusal(fs, step, claimed);
    if (refusal.empty()) {
      claimed.emplace(step.to, step.from);
      out << EscapedName(step.from) << " -> " << EscapedName(NameOf(step.to)) << "\n";
      ++tally.renamed;
    } else {
      out << "skip " << EscapedName(step.from) << ": " << refusal << "\n";
      ++tally.skipped;
    }
  }
}

void Convert(FileSystem& fs, ConversionPlan& plan, const ConvertOptions& options, std::ostream& out,
             std::ostream& err, Tally& tally) {
  ProgressLine progress(err, options.showProgress, plan.steps.size());
  std::size_t done = 0;
  for (ConversionStep& step : plan.steps) {
    step.error = fs.RenameNoReplace(step.from, step.to);
    if (step.error) {
      err << "varnex-convert: " << EscapedName(step.from) << ": not renamed: " << Reason(fs, step)
          << "\n";
      ++tally.skipped;
    } else {
      if (options.verbose) {
        out << EscapedName(step.from) << " -> " << EscapedName(NameOf(step.to)) << "\n";
      }
      ++tally.renamed;
    }
    progress.Update(++done);
  }
}

// Characters a terminal acts on instead of showing: C0 and C1 controls and DEL; the
// bidirectional controls and marks, which reorder what follows on the line; and the line and
// paragraph separators, which some terminals break the line at.
bool IsControl(char32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) || codePoint == 0x061C ||
         codePoint == 0x200E || codePoint == 0x200F ||
         (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

// The status, unless the report could not be written whole (a closed pipe, a full disk): the
// pass has gone on to its end all the same, but the person was not told all of it.
int Finished(std::ostream& out, std::ostream& err, int status) {
  if (!out.flush()) {
    err << "varnex-convert: the report could not be written\n";
    return kReportNotWritten;
  }
  return status;
}

// The pass with its journal, so that --undo or Ctrl+Z can take it back; a pass whose journal
// cannot be written still runs, with a warning.
void JournaledConvert(FileSystem& fs, History* history, const std::string& folder,
                      ConversionPlan& plan, const ConvertOptions& options, std::ostream& out,
                      std::ostream& err, Tally& tally) {
  if (history == nullptr) {
    Convert(fs, plan, options, out, err, tally);
    return;
  }
  PassRecorder journal(fs, *history);
  journal.BeforeRenaming(folder, options.fromExtension, options.toExtension, plan);
  if (journal.Error()) {
    err << "varnex-convert: " << EscapedName(folder)
        << ": cannot keep the journal to undo this pass: " << journal.Error().message() << "\n";
  }
  Convert(fs, plan, options, out, err, tally);
  journal.AfterRenaming(plan);
}

}  // namespace

std::string EscapedName(std::string_view name) {
  std::string escaped;
  for (std::size_t i = 0; i < name.size();) {
    const auto [codePoint, length] = DecodeUtf8(name, i);
    if (length == 0 || IsControl(codePoint)) {
      // Every byte of the character, so the line shows exactly the bytes of the name.
      for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(name[i]));
        escaped += hex;
      }
    } else if (codePoint == '\\') {
      escaped += "\\\\";
      ++i;
    } else {
      escaped.append(name.substr(i, length));
      i += length;
    }
  }
  return escaped;
}

int RunConvertCommand(FileSystem& fs, const std::vector<std::string>& arguments, bool showProgress,
                      std::ostream& out, std::ostream& err, History* history) {
  // Help wins over anything else on the line, but only where it is an option: after "--" and as
  // the value of --to it is a folder's or an extension's name.
  for (std::size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      out << kUsage;
      return Finished(out, err, kAllRenamed);
    }
    if (argument == "--version") {
      out << "varnex-convert " << kVersion << "\n";
      return Finished(out, err, kAllRenamed);
    }
    i += argument == "--to" ? 1 : 0;
  }
  if (const auto status = RunHistoryCommand(fs, history, arguments, out, err)) {
    return Finished(out, err, *status);
  }
  ConvertOptions options;
  options.showProgress = showProgress;
  if (const auto problem = ParseArguments(arguments, options)) {
    err << "varnex-convert: " << *problem << "\n" << kUsage.substr(0, kUsage.find('\n') + 1);
    return kUnusable;
  }

  Tally tally;
  bool unreadable = false;
  for (const std::string& folder : options.folders) {
    ConversionPlan plan = PlanConversion(fs, folder, options.fromExtension, options.toExtension);
    const auto attributes = fs.Attributes(folder);
    if (plan.folderError || !attributes || !(*attributes & faDirectory)) {
      const std::string reason = plan.folderError ? plan.folderError.message()
                                 : attributes     ? std::string("not a folder")
                                                  : std::string("no such folder");
      err << "varnex-convert: " << EscapedName(folder) << ": cannot read: " << reason << "\n";
      unreadable = true;
      continue;
    }
    if (options.dryRun) {
      ShowPlan(fs, plan, out, tally);
    } else {
      JournaledConvert(fs, history, folder, plan, options, out, err, tally);
    }
  }
  out << (options.dryRun ? "dry run, nothing changed: " : "") << tally.renamed << " renamed, "
      << tally.skipped << " skipped\n";
  if (unreadable) {
    Finished(out, err, kUnusable);
    return kUnusable;
  }
  return Finished(out, err, tally.skipped > 0 ? kSomeSkipped : kAllRenamed);
}

}  // namespace varnex
