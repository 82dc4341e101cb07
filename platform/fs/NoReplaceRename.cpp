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

bool SameEntry(const EntryStatus& a, const EntryStatus& b) {
  return a.device == b.device && a.inode == b.inode;
}

RenameResult LinkThenUnlink(int folder, const char* from, const char* to, const RenameCalls& calls,
                            const BeforeLinking& beforeLinking) {
  if (beforeLinking) {
    EntryStatus entry;
    if (calls.lstat(folder, from, &entry) != 0) {
      return {LastError(), RenameMethod::LinkThenUnlink};
    }
    beforeLinking(entry.links);
  }
  if (calls.link(folder, from, to) != 0) {
    return {LastError(), RenameMethod::LinkThenUnlink};
  }
  if (calls.unlink(folder, from) != 0) {
    const std::error_code error = LastError();
    // Back to one name, the old one, but only while the old name still is this file: if the
    // unlink happened after all, or the old name now holds something else, the new name may be
    // the file's last. When taking it back fails, the file keeps both names.
    EntryStatus oldName;
    EntryStatus newName;
    if (calls.lstat(folder, from, &oldName) == 0 && calls.lstat(folder, to, &newName) == 0 &&
        SameEntry(oldName, newName)) {
      calls.unlink(folder, to);
    }
    return {error, RenameMethod::LinkThenUnlink};
  }
  return {{}, RenameMethod::LinkThenUnlink};
}

// A check for the target followed by a plain rename leaves a gap in which another program can
// create the target, which the rename then replaces. Taking the name first with an exclusive
// create closes it: what the rename replaces can only be our own empty placeholder.
RenameResult ReserveThenRename(int folder, const char* from, const char* to,
                               const RenameCalls& calls) {
  EntryStatus source;
  if (calls.lstat(folder, from, &source) != 0) {
    return {LastError(), RenameMethod::ReserveThenRename};
  }
  // A folder can only be renamed onto a folder, anything else onto anything but a folder.
  const int reserved = source.folder ? calls.mkdir(folder, to) : calls.createEmptyFile(folder, to);
  if (reserved != 0) {
    return {LastError(), RenameMethod::ReserveThenRename};  // file_exists when the name is taken
  }
  EntryStatus placeholder;
  const bool placeholderKnown = calls.lstat(folder, to, &placeholder) == 0;
  if (calls.rename(folder, from, to) == 0) {
    return {{}, RenameMethod::ReserveThenRename};
  }
  const std::error_code error = LastError();
  // Give the name back, unless another program has put something of its own there meanwhile.
  // rmdir removes only an empty folder; a file must still be empty.
  EntryStatus now;
  if (placeholderKnown && calls.lstat(folder, to, &now) == 0 && SameEntry(now, placeholder) &&
      now.folder == source.folder) {
    if (source.folder) {
      calls.rmdir(folder, to);
    } else if (now.size == 0) {
      calls.unlink(folder, to);
    }
  }
  return {error, RenameMethod::ReserveThenRename};
}

}  // namespace

const RenameCalls& SystemRenameCalls() {
  static const RenameCalls calls{
      [](int folder, const char* from, const char* to) {
        return renameat2(folder, from, folder, to, RENAME_NOREPLACE);
      },
      [](int folder, const char* from, const char* to) {
        return linkat(folder, from, folder, to, 0);
      },
      [](int folder, const char* name) { return unlinkat(folder, name, 0); },
      [](int folder, const char* from, const char* to) {
        return renameat(folder, from, folder, to);
      },
      [](int folder, const char* name, EntryStatus* entry) {
        struct stat status;
        if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
          return -1;
        }
        *entry = {status.st_dev, status.st_ino, static_cast<std::uint64_t>(status.st_size),
                  S_ISDIR(status.st_mode), status.st_nlink};
        return 0;
      },
      [](int folder, const char* name) {
        const int fd =
            openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        return fd < 0 ? -1 : ::close(fd);
      },
      [](int folder, const char* name) { return mkdirat(folder, name, 0700); },
      [](int folder, const char* name) { return unlinkat(folder, name, AT_REMOVEDIR); },
  };
  return calls;
}

// The safest way first. Each step exists for file systems that refuse the one before it.
RenameResult RenameWithoutReplacing(int folder, const std::string& from, const std::string& to,
                                    const RenameCalls& calls, const BeforeLinking& beforeLinking) {
  // The kernel checks and renames in one step (ext4, tmpfs, btrfs, xfs, ...).
  if (calls.renameNoReplace(folder, from.c_str(), to.c_str()) == 0) {
    return {{}, RenameMethod::NoReplaceFlag};
  }
  if (!FlagRefused(errno)) {
    return {LastError(), RenameMethod::NoReplaceFlag};
  }
  // Without the flag (FUSE file systems such as NTFS-3G): link() refuses a taken name in one
  // step too, and keeps the file whole whatever happens next.
  RenameResult linked = LinkThenUnlink(folder, from.c_str(), to.c_str(), calls, beforeLinking);
  if (linked.error && LinkRefused(linked.error.value())) {
    // Without hard links (folders; exFAT, FAT): reserve the name, then rename onto it.
    return ReserveThenRename(folder, from.c_str(), to.c_str(), calls);
  }
  return linked;
}

RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to) {
  return RenameWithoutReplacing(AT_FDCWD, from, to);
}

}  // namespace varnex
