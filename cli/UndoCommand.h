#pragma once

#include <iosfwd>

#include "cli/CommandLine.h"
#include "history/History.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

// varnex-convert --undo [--dry-run] [--verbose] FOLDER and --list FOLDER, to exit status. Without
// a history (`history` null) there is nothing to undo.
int RunUndo(FileSystem& fs, History* history, const Command& command, std::ostream& out,
            std::ostream& err);
int RunList(FileSystem& fs, History* history, const Command& command, std::ostream& out,
            std::ostream& err);

}  // namespace varnex
