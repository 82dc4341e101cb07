#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "ListedFolder.h"

namespace varnex {

// What lstat tells about an entry, as far as a rename needs it.
struct EntryStatus {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  bool folder = false;
  std::uint64_t links = 0;
};

// The system calls a rename that never replaces is built on, each on names relative to one
// folder's descriptor (or on paths, with the current directory's). Tests hand in their own to
// walk every fallback; the program uses SystemRenameCalls(). Each answers 0, or -1 with errno set.
struct RenameCalls {
  int (*renameNoReplace)(int folder, const char* from, const char* to);  // RENAME_NOREPLACE
  int (*link)(int folder, const char* from, const char* to);
  int (*unlink)(int folder, const char* name);
  int (*rename)(int folder, const char* from, const char* to);
  int (*lstat)(int folder, const char* name, EntryStatus* status);
  int (*createEmptyFile)(int folder, const char* name);  // O_CREAT | O_EXCL, then close
  int (*mkdir)(int folder, const char* name);
  int (*rmdir)(int folder, const char* name);
};

const RenameCalls& SystemRenameCalls();

// How a rename was carried out, from the safest way down.
enum class RenameMethod {
  NoReplaceFlag,      // the kernel refuses atomically when the target exists
  LinkThenUnlink,     // link() refuses atomically; then the old name goes
  ReserveThenRename,  // the new name is taken first by an empty entry of our own, then renamed
                      // onto: only that entry can ever be replaced
};

struct RenameResult {
  std::error_code error;  // empty when renamed; file_exists when the target was there
  RenameMethod method;
};

// Renames `from` to `to` in the folder open as `folder` unless something already has the name
// `to`, also when another program creates that name meanwhile, so every step stays in that folder
// whatever becomes of its path. A failure leaves the entry as it was, under its old name; at worst
// (the old name cannot be removed, nor the new one taken back) under both. `beforeLinking`, when
// given, hears of a new name made as a second link before the link is made.
RenameResult RenameWithoutReplacing(int folder, const std::string& from, const std::string& to,
                                    const RenameCalls& calls = SystemRenameCalls(),
                                    const BeforeLinking& beforeLinking = {});

// The same on paths, taken from the current directory when relative.
RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to);

}  // namespace varnex
