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
  kOldNameTaken,  // something else has the old name now, or a link made since
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

// Undoes one pass in the folder held open (whose path, as given, is `folder`), its last rename
// first. What the disk shows decides, not the journal: an entry goes back only when its new name
// is still the recorded entry, known by its identity in full, and its old name is free, through
// the same rename that never replaces. Both names on the recorded entry mean a rename cut off
// between link and unlink only where the journal says that rename was under way and the entry
// has exactly the one name more; then the new name is removed. Everything else is kept. With
// `dryRun` nothing changes and the report says what would happen.
UndoReport UndoPass(ListedFolder& listed, const std::string& folder, const PassRecord& pass,
                    bool dryRun);

struct UndonePass {
  PassRecord pass;
  UndoReport report;
};

struct UndoOutcome {
  std::error_code folderError;       // why the folder could not be opened, when it could not
  std::vector<std::string> damaged;  // journals skipped as damaged on the way, newest first
  std::optional<UndonePass> undone;  // nullopt when there was nothing to undo
};

// Undoes the newest pass made in `folder`, found by the folder's identity or place, and forgets
// its journal unless `dryRun`.
UndoOutcome UndoNewestPass(FileSystem& fs, History& history, const std::string& folder,
                           bool dryRun);

struct FolderPasses {
  std::error_code folderError;
  std::vector<std::string> damaged;
  std::vector<PassRecord> passes;  // newest first
};

// The passes made in `folder` that can be undone.
FolderPasses PassesIn(FileSystem& fs, History& history, const std::string& folder);

}  // namespace varnex
