#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/ListedFolder.h"

namespace varnex {

// One rename of a pass, by the entry's names in its folder.
struct RecordedRename {
  std::uint64_t inode = 0;  // the entry's inode number before the rename
  std::string oldName;      // bytes: anything but "/" and NUL, newlines included
  std::string newName;
  std::optional<std::int64_t> birth;  // the entry's, when the file system keeps it
  // In a folder known by its place in its volume, whose inode numbers do not outlast a mount: the
  // entry's size and modification time, which do.
  std::optional<std::uint64_t> size;
  std::optional<std::int64_t> modified;

  friend bool operator==(const RecordedRename&, const RecordedRename&) = default;
};

// A rename by link and unlink that a running pass was about to make: killed between the two, the
// pass left the entry under both names, with one name more than `links`.
struct HalfDoneRename {
  std::size_t rename = 0;  // its index in the pass's renames
  std::uint64_t links = 0;

  friend bool operator==(const HalfDoneRename&, const HalfDoneRename&) = default;
};

// What is needed to undo one conversion pass.
struct PassRecord {
  std::string folder;  // the folder's absolute path when the pass ran
  // With its birth time, so that a new folder given the same number is not taken for it.
  FileIdentity folderIdentity;
  // On a file system that numbers inodes anew at every mount, the folder's place in its volume,
  // which outlasts a mount; the pass's entries are then known by name, size and times.
  std::optional<VolumePlace> place;
  // The pass ran to its end, and `renames` holds exactly the renames that happened. A journal of a
  // pass that was cut off holds every rename planned, of which any may have happened.
  bool finished = false;
  std::string fromExtension;
  std::string toExtension;
  std::int64_t time = 0;  // nanoseconds since 1970 when the pass began
  std::vector<RecordedRename> renames;
  std::vector<HalfDoneRename> halfDone;  // only while the pass runs, or of one that was cut off

  friend bool operator==(const PassRecord&, const PassRecord&) = default;
};

// The journal text of a pass. A line per field and per rename; every name and path is written as
// its length, ":" and its bytes, so no byte of a name can be taken for a separator. Times are "?"
// where unknown. Journals of older versions are still read.
std::string EncodeJournal(const PassRecord& pass);

// The line a running pass adds at the end of its journal before a rename by link and unlink.
std::string EncodeHalfDone(const HalfDoneRename& halfDone);

// The pass a journal text records; nullopt for anything that is not one whole journal.
std::optional<PassRecord> DecodeJournal(std::string_view text);

// The most bytes a journal whose text begins with `head` can have, from the number of renames its
// head announces: a few hundred bytes a rename. nullopt when `head` is not the beginning of one.
std::optional<std::size_t> JournalSizeLimit(std::string_view head);

}  // namespace varnex
