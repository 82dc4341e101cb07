#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "history/History.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

// varnex-convert --undo [--dry-run] [--verbose] FOLDER and --list FOLDER. The exit status when the
// arguments ask for one of them; nullopt when they ask for a conversion. Without a history
// (`history` null) there is nothing to undo.
std::optional<int> RunHistoryCommand(FileSystem& fs, History* history,
                                     const std::vector<std::string>& arguments, std::ostream& out,
                                     std::ostream& err);

}  // namespace varnex
