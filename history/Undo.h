#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "history/History.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

// Why a recorded rename was left as the disk has it.
enum class KeptBecause {
  kNone,          // restored
  kNotRenamed,    // the entry still has its old name: the pass never got to it
  kGone,          // nothing has the new name any more
  kOtherEntry,    // the new name belongs to another entry now
  kOldNameTaken,  // something else has the old name now
  kRefused,       // the file system refused the rename back; see `error`
};

struct UndoStep {
  std::string newPath;  // where the entry is
  std::string oldPath;  // where it goes back to
  KeptBecause kept = KeptBecause::kNone;
  std::error_code error;
};

struct UndoReport {
  std::vector<UndoStep> steps;  // in the order they were undone
  std::size_t restored = 0;
  std::size_t kept = 0;
};

// Undoes one pass in `folder` (the path the pass's folder has now), its last rename first. What
// the disk shows decides, not the journal: an entry goes back only when its new name is still the
// recorded inode and its old name is free, through the same rename that never replaces; when both
// names are that inode (a rename cut off halfway) the new name is removed; everything else is
// kept. With `dryRun` nothing changes and the report says what would happen.
UndoReport UndoPass(FileSystem& fs, JournalStorage& storage, const std::string& folder,
                    const PassRecord& pass, bool dryRun);

struct UndonePass {
  PassRecord pass;
  UndoReport report;
};

// Undoes the newest pass made in `folder`, found by the folder's identity, and forgets its journal
// unless `dryRun`. nullopt when there is nothing to undo there.
std::optional<UndonePass> UndoNewestPass(FileSystem& fs, History& history,
                                         const std::string& folder, bool dryRun);

}  // namespace varnex
