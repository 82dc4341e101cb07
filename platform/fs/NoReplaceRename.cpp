#include "NoReplaceRename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace varnex {

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

// The file system does not know the flag (or the kernel does not know renameat2).
bool FlagRefused(int error) {
  return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

// The file system has no hard links for this entry (folders, FAT-like file systems).
bool LinkRefused(int error) {
  return error == EPERM || error == ENOSYS || error == ENOTSUP || error == EMLINK;
}

RenameResult LinkThenUnlink(const std::string& from, const std::string& to,
                            const RenameCalls& calls) {
  if (calls.link(from.c_str(), to.c_str()) != 0) {
    return {LastError(), RenameMethod::LinkThenUnlink};
  }
  if (calls.unlink(from.c_str()) != 0) {
    const std::error_code error = LastError();
    calls.unlink(to.c_str());  // back to one name, the old one
    return {error, RenameMethod::LinkThenUnlink};
  }
  return {{}, RenameMethod::LinkThenUnlink};
}

RenameResult CheckThenRename(const std::string& from, const std::string& to,
                             const RenameCalls& calls) {
  if (calls.lstat(to.c_str()) == 0) {
    return {std::make_error_code(std::errc::file_exists), RenameMethod::CheckThenRename};
  }
  if (errno != ENOENT) {
    return {LastError(), RenameMethod::CheckThenRename};
  }
  if (calls.rename(from.c_str(), to.c_str()) != 0) {
    return {LastError(), RenameMethod::CheckThenRename};
  }
  return {{}, RenameMethod::CheckThenRename};
}

}  // namespace

const RenameCalls& SystemRenameCalls() {
  static const RenameCalls calls{
      [](const char* from, const char* to) {
        return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
      },
      ::link,
      ::unlink,
      ::rename,
      [](const char* path) {
        struct stat status;
        return ::lstat(path, &status);
      },
  };
  return calls;
}

RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                    const RenameCalls& calls) {
  if (calls.renameNoReplace(from.c_str(), to.c_str()) == 0) {
    return {{}, RenameMethod::NoReplaceFlag};
  }
  if (!FlagRefused(errno)) {
    return {LastError(), RenameMethod::NoReplaceFlag};
  }
  RenameResult linked = LinkThenUnlink(from, to, calls);
  if (linked.error && LinkRefused(linked.error.value())) {
    return CheckThenRename(from, to, calls);
  }
  return linked;
}

}  // namespace varnex
