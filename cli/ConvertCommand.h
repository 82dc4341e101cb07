#pragma once

#include <iosfwd>
#include <string>
#include <system_error>
#include <vector>

#include "cli/EscapedName.h"
#include "history/History.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

enum ExitStatus { kAllRenamed = 0, kSomeSkipped = 1, kUnusable = 2, kReportNotWritten = 3 };

// varnex-convert: the window's conversion from a terminal, with a plan before and a report after,
// and the undo of a pass. Runs the whole command: arguments (after the program's name) to exit
// status. A report that cannot be written never stops the pass; `out` must not raise exceptions.
// With a history, every pass keeps a journal, and --undo and --list work.
int RunConvertCommand(FileSystem& fs, const std::vector<std::string>& arguments, bool showProgress,
                      std::ostream& out, std::ostream& err, History* history = nullptr);

// "varnex-convert: FOLDER: cannot read: REASON", the one way every command says so.
void ReportUnreadable(std::ostream& err, const std::string& folder, std::error_code error);

}  // namespace varnex
