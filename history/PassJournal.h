#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/JournalStorage.h"

namespace varnex {

// One rename a pass planned, by the entry's names in its folder.
struct RecordedRename {
  std::uint64_t inode = 0;  // the entry's inode number when the pass listed it
  std::string oldName;      // bytes: anything but "/" and NUL, newlines included
  std::string newName;
  std::optional<std::int64_t> birth;  // the entry's, when the file system keeps it

  friend bool operator==(const RecordedRename&, const RecordedRename&) = default;
};

// What is needed to undo one conversion pass.
struct PassRecord {
  std::string folder;  // the folder's absolute path when the pass ran
  // With its birth time, so that a new folder given the same number is not taken for it.
  FileIdentity folderIdentity;
  // When the folder last changed, by its file system's clock, once the pass was over; unknown for
  // a pass that was cut off. As long as the folder says so, nothing in it was made, removed or
  // renamed since.
  std::optional<std::int64_t> changedAfter;
  std::string fromExtension;
  std::string toExtension;
  std::int64_t time = 0;  // nanoseconds since 1970 when the pass began
  std::vector<RecordedRename> renames;
  // Every new name was free when the pass was planned, so a rename the pass did not start cannot
  // have both names on one entry. Journals of older versions also listed renames bound to be
  // refused, and say false.
  bool newNamesWereFree = true;

  friend bool operator==(const PassRecord&, const PassRecord&) = default;
};

// The journal text of a pass. A line per field and per rename; every name and path is written as
// its length, ":" and its bytes, so no byte of a name can be taken for a separator. Times are "?"
// where unknown. Journals of older versions are still read: the first has no times, the second no
// change time.
std::string EncodeJournal(const PassRecord& pass);

// The pass a journal text records; nullopt for anything that is not one whole journal.
std::optional<PassRecord> DecodeJournal(std::string_view text);

}  // namespace varnex
