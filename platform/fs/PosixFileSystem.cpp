#include "PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "NoReplaceRename.h"
#include "PathParts.h"
#include "PathRules.h"
#include "PosixListedFolder.h"
#include "Wildcard.h"
#include "platform/Exception.h"

namespace varnex {

namespace {

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

bool IsDotOrDotDot(std::string_view name) {
  return name == "." || name == "..";
}

std::uint32_t KindFromMode(mode_t mode) {
  if (S_ISREG(mode)) {
    return faArchive;
  }
  return S_ISDIR(mode) ? faDirectory : faSysFile;
}

// Kind of an entry after following links; a broken link or a link loop is a system entry.
std::uint32_t KindFromStat(int directoryFd, const char* name) {
  struct stat status;
  if (fstatat(directoryFd, name, &status, 0) != 0) {
    return faSysFile;
  }
  return KindFromMode(status.st_mode);
}

std::uint32_t KindFromEntry(int directoryFd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_REG:
      return faArchive;
    case DT_DIR:
      return faDirectory;
    case DT_LNK:
    case DT_UNKNOWN:
      return KindFromStat(directoryFd, entry.d_name);
    default:
      return faSysFile;
  }
}

// Refused writing, as opposed to an entry that is not there (a broken link).
bool IsReadOnly(int directoryFd, const char* name) {
  return faccessat(directoryFd, name, W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EROFS);
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

// Reads a folder and yields the entries whose names match the pattern.
class DirectorySearch final : public FileSearch {
 public:
  DirectorySearch(DIR* directory, std::string_view namePattern, std::uint32_t attributeWord)
      : directory_(directory),
        pattern_(namePattern),
        exclusion_(ExclusionWord(attributeWord)),
        wantsReadOnly_((attributeWord & faReadOnly) != 0) {}

  bool ReadNext(FoundEntry& found) override {
    const int directoryFd = dirfd(directory_.get());
    for (;;) {
      errno = 0;  // readdir tells the end from a failure only by errno
      const dirent* entry = readdir(directory_.get());
      if (entry == nullptr) {
        if (errno != 0) {
          SetError({errno, std::generic_category()});
        }
        return false;
      }
      const std::string_view name = entry->d_name;
      if (IsDotOrDotDot(name) || !pattern_.Matches(name)) {
        continue;
      }
      std::uint32_t attributes = KindFromEntry(directoryFd, *entry);
      if (IsHiddenName(name)) {
        attributes |= faHidden;
      }
      if (attributes & exclusion_) {
        continue;
      }
      if (wantsReadOnly_ && IsReadOnly(directoryFd, entry->d_name)) {
        attributes |= faReadOnly;
      }
      found.name.assign(name);
      found.attributes = attributes;
      return true;
    }
  }

 private:
  std::unique_ptr<DIR, DirectoryCloser> directory_;
  WildcardPattern pattern_;
  std::uint32_t exclusion_;
  bool wantsReadOnly_;
};

// A search for one exact name: it yields that entry once, or nothing.
class SingleEntrySearch final : public FileSearch {
 public:
  explicit SingleEntrySearch(std::optional<FoundEntry> entry) : entry_(std::move(entry)) {}

  bool ReadNext(FoundEntry& found) override {
    if (!entry_) {
      return false;
    }
    found = std::move(*entry_);
    entry_.reset();
    return true;
  }

 private:
  std::optional<FoundEntry> entry_;
};

// The name of an entry as its folder holds it: a file system that ignores case (FAT, exFAT, a
// folder with case folding) finds an entry by a name spelt otherwise. The folder is read until the
// name given turns up byte for byte; without it, the one entry whose name differs only in case is
// the one. The name given stands when nothing else tells.
std::string StoredName(const std::string& folder, std::string_view name) {
  const std::unique_ptr<DIR, DirectoryCloser> directory(opendir(folder.c_str()));
  if (!directory) {
    return std::string(name);
  }
  const WildcardPattern sameLetters(name);
  std::vector<std::string> spellings;
  while (const dirent* entry = readdir(directory.get())) {
    const std::string_view candidate = entry->d_name;
    if (candidate == name) {
      return std::string(name);
    }
    if (sameLetters.Matches(candidate)) {
      spellings.emplace_back(candidate);
    }
  }
  return spellings.size() == 1 ? spellings.front() : std::string(name);
}

class EmptySearch final : public FileSearch {
 public:
  using FileSearch::FileSearch;
  bool ReadNext(FoundEntry&) override { return false; }
};

}  // namespace

PosixFileSystem::PosixFileSystem() {
  const std::unique_ptr<char, decltype(&std::free)> path(getcwd(nullptr, 0), &std::free);
  if (path) {
    current_ = path.get();
  } else {
    noCurrentError_ = errno;
  }
}

std::string PosixFileSystem::Resolved(const std::string& path) const {
  return current_.empty() ? path : AbsolutePath(path, current_);
}

std::unique_ptr<FileSearch> PosixFileSystem::Find(const std::string& relativePattern,
                                                  std::uint32_t attributeWord) {
  const std::string pattern = Resolved(relativePattern);
  const std::string folder(FolderOf(pattern));
  const std::string_view namePattern = NameOf(pattern);
  if (namePattern.empty() || IsDotOrDotDot(namePattern)) {
    return std::make_unique<EmptySearch>();
  }
  if (!HasWildcards(namePattern)) {
    // A plain name is one entry, the one the file system finds by it.
    std::optional<FoundEntry> entry;
    const auto attributes = Attributes(pattern);
    if (attributes && !(*attributes & ExclusionWord(attributeWord))) {
      entry = FoundEntry{StoredName(folder, namePattern), *attributes};
    }
    return std::make_unique<SingleEntrySearch>(std::move(entry));
  }
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    return std::make_unique<EmptySearch>(std::error_code(errno, std::generic_category()));
  }
  return std::make_unique<DirectorySearch>(directory, namePattern, attributeWord);
}

std::optional<std::uint32_t> PosixFileSystem::Attributes(const std::string& relativePath) {
  const std::string path = Resolved(relativePath);
  struct stat status;
  std::uint32_t attributes;
  if (stat(path.c_str(), &status) == 0) {
    attributes = KindFromMode(status.st_mode);
  } else if (lstat(path.c_str(), &status) == 0) {
    attributes = faSysFile;
  } else {
    return std::nullopt;
  }
  if (IsHiddenName(NameOf(path))) {
    attributes |= faHidden;
  }
  if (IsReadOnly(AT_FDCWD, path.c_str())) {
    attributes |= faReadOnly;
  }
  return attributes;
}

// Checked as entering the folder would be: the path found, a folder, and one the user may search,
// each failure with the code entering gives.
void PosixFileSystem::SetCurrentDirectory(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(Resolved(path).c_str(), nullptr),
                                                         &std::free);
  struct stat status;
  if (!real || stat(real.get(), &status) != 0) {
    throw EInOutError::FromErrno(errno);
  }
  if (!S_ISDIR(status.st_mode)) {
    throw EInOutError::FromErrno(ENOTDIR);
  }
  if (faccessat(AT_FDCWD, real.get(), X_OK, AT_EACCESS) != 0) {
    throw EInOutError::FromErrno(errno);
  }
  current_ = real.get();
}

std::string PosixFileSystem::CurrentDirectory() {
  if (current_.empty()) {
    throw EInOutError::FromErrno(noCurrentError_);
  }
  return current_;
}

void LeaveStartingDirectory() {
  if (chdir("/") != 0) {
    // The root is always there to enter; nothing is lost where it is not.
  }
}

std::error_code PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  return RenameWithoutReplacing(Resolved(from), Resolved(to)).error;
}

bool PosixFileSystem::SameEntry(const std::string& first, const std::string& second) {
  struct stat a;
  struct stat b;
  return lstat(Resolved(first).c_str(), &a) == 0 && lstat(Resolved(second).c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool PosixFileSystem::IsEmptyEntry(const std::string& relativePath) {
  const std::string path = Resolved(relativePath);
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) {
    return false;
  }
  if (S_ISREG(status.st_mode)) {
    return status.st_size == 0;
  }
  if (!S_ISDIR(status.st_mode)) {
    return false;
  }
  const std::unique_ptr<DIR, DirectoryCloser> directory(opendir(path.c_str()));
  if (!directory) {
    return false;  // what cannot be read is not known to be empty
  }
  errno = 0;
  while (const dirent* entry = readdir(directory.get())) {
    if (!IsDotOrDotDot(entry->d_name)) {
      return false;
    }
  }
  return errno == 0;
}

namespace {

std::error_code Errno(int error) {
  return {error, std::generic_category()};
}

// The inode flags that forbid a rename; false when they cannot be read (a FIFO, a device, a file
// system without them), which is never opened to find out.
bool RenameForbiddenByFlags(const char* path, const struct stat& status) {
  if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
    return false;
  }
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  int flags = 0;
  const bool known = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  close(fd);
  return known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
}

// Asked of the kernel where it can tell (a bind mount within one file system too, and never a
// btrfs subvolume, which has a device of its own but moves like a folder); else by the device.
bool IsMountPoint(const char* path, const struct stat& entry, const struct stat& parent) {
  struct statx status;
  if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, 0, &status) == 0 &&
      (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
    return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  }
  return entry.st_dev != parent.st_dev;
}

}  // namespace

// The checks in the order the kernel makes them, so that the first refusal found is the one a
// rename would give.
std::error_code PosixFileSystem::RenameRefusal(const std::string& relativePath) {
  const std::string path = Resolved(relativePath);
  const std::string folder(FolderOf(path));
  struct stat entry;
  struct stat parent;
  if (lstat(path.c_str(), &entry) != 0 || stat(folder.c_str(), &parent) != 0) {
    return Errno(errno);
  }
  struct statvfs mount;
  if (statvfs(folder.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY)) {
    return Errno(EROFS);
  }
  // An immutable folder answers EPERM here already; root passes unless the mount is read-only.
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return Errno(errno);
  }
  // In a sticky folder only the owner of the entry or of the folder (or root) may move it.
  const uid_t user = geteuid();
  if ((parent.st_mode & S_ISVTX) && user != 0 && entry.st_uid != user && parent.st_uid != user) {
    return Errno(EPERM);
  }
  if (RenameForbiddenByFlags(folder.c_str(), parent)) {
    return Errno(EPERM);
  }
  // Something is mounted on the entry: it cannot move, whatever its own flags (and opening the
  // path would only show those of what is mounted there).
  if (IsMountPoint(path.c_str(), entry, parent)) {
    return Errno(EBUSY);
  }
  if (RenameForbiddenByFlags(path.c_str(), entry)) {
    return Errno(EPERM);
  }
  return {};
}

std::unique_ptr<ListedFolder> PosixFileSystem::OpenFolder(const std::string& path,
                                                          std::error_code& error) {
  return OpenPosixFolder(path, error);
}

}  // namespace varnex
