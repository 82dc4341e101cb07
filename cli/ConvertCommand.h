#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "history/History.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

// varnex-convert: the window's conversion from a terminal, with a plan before and a report after.
struct ConvertOptions {
  std::string fromExtension = "mp3";
  std::string toExtension = "iad";
  bool dryRun = false;
  bool verbose = false;
  bool showProgress = false;  // a progress line for long runs, when a person watches
  std::vector<std::string> folders;
};

enum ExitStatus { kAllRenamed = 0, kSomeSkipped = 1, kUnusable = 2, kReportNotWritten = 3 };

// Runs the whole command: arguments (after the program's name) to exit status. A report that
// cannot be written never stops the pass; `out` must not raise exceptions. With a history, every
// pass keeps a journal, and --undo and --list work.
int RunConvertCommand(FileSystem& fs, const std::vector<std::string>& arguments, bool showProgress,
                      std::ostream& out, std::ostream& err, History* history = nullptr);

// A name as it may be printed: bytes that are not valid UTF-8 and every byte of a control
// character (C0, DEL, C1, bidirectional controls) as \xNN, and "\" as "\\".
std::string EscapedName(std::string_view name);

}  // namespace varnex
