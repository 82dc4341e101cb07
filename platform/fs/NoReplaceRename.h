#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace varnex {

// What lstat tells about an entry, as far as a rename needs it.
struct EntryStatus {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  bool folder = false;
};

// The system calls a rename that never replaces is built on. Tests hand in their own to walk
// every fallback; the program uses SystemRenameCalls(). Each answers 0, or -1 with errno set.
struct RenameCalls {
  int (*renameNoReplace)(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*rename)(const char* from, const char* to);
  int (*lstat)(const char* path, EntryStatus* status);
  int (*createEmptyFile)(const char* path);  // open with O_CREAT | O_EXCL, then close
  int (*mkdir)(const char* path);
  int (*rmdir)(const char* path);
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

// Renames `from` to `to` unless something already has the name `to`, also when another program
// creates that name meanwhile. A failure leaves the entry as it was, under its old name; at worst
// (the old name cannot be removed, nor the new one taken back) under both.
RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                    const RenameCalls& calls = SystemRenameCalls());

}  // namespace varnex
