#pragma once

#include <string>
#include <system_error>

namespace varnex {

// The system calls a rename that never replaces is built on. Tests hand in their own to walk
// every fallback; the program uses SystemRenameCalls().
struct RenameCalls {
  int (*renameNoReplace)(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*rename)(const char* from, const char* to);
  int (*lstat)(const char* path);  // 0 when something is there
};

const RenameCalls& SystemRenameCalls();

// How a rename was carried out, from the safest way down.
enum class RenameMethod {
  NoReplaceFlag,    // the kernel refuses atomically when the target exists
  LinkThenUnlink,   // link() refuses atomically; then the old name goes
  CheckThenRename,  // for folders on file systems without the flag: a short race remains
};

struct RenameResult {
  std::error_code error;  // empty when renamed; file_exists when the target was there
  RenameMethod method;
};

// Renames `from` to `to` unless something already has the name `to`. A failure leaves the entry
// as it was.
RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                    const RenameCalls& calls = SystemRenameCalls());

}  // namespace varnex
