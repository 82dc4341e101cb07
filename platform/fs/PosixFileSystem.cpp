#include "PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "NoReplaceRename.h"
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
        wantsReadOnly_(attributeWord & faReadOnly) {}

  std::optional<FoundEntry> Next() override {
    const int directoryFd = dirfd(directory_.get());
    while (const dirent* entry = readdir(directory_.get())) {
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
      return FoundEntry{std::string(name), attributes, Inode(directoryFd, *entry)};
    }
    return std::nullopt;
  }

 private:
  // The inode readdir gives, as long as it is the one lstat gives: FUSE file systems give a
  // placeholder, and then every entry is asked with lstat. The first entry settles which.
  std::uint64_t Inode(int directoryFd, const dirent& entry) {
    if (inodeFromReaddir_.value_or(false)) {
      return entry.d_ino;
    }
    struct stat status;
    if (fstatat(directoryFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return 0;
    }
    if (!inodeFromReaddir_) {
      inodeFromReaddir_ = status.st_ino == entry.d_ino;
    }
    return status.st_ino;
  }

  std::unique_ptr<DIR, DirectoryCloser> directory_;
  std::optional<bool> inodeFromReaddir_;
  WildcardPattern pattern_;
  std::uint32_t exclusion_;
  bool wantsReadOnly_;
};

// A search for one exact name: it yields that entry once, or nothing.
class SingleEntrySearch final : public FileSearch {
 public:
  explicit SingleEntrySearch(std::optional<FoundEntry> entry) : entry_(std::move(entry)) {}

  std::optional<FoundEntry> Next() override { return std::exchange(entry_, std::nullopt); }

 private:
  std::optional<FoundEntry> entry_;
};

class EmptySearch final : public FileSearch {
 public:
  using FileSearch::FileSearch;
  std::optional<FoundEntry> Next() override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<FileSearch> PosixFileSystem::Find(const std::string& pattern,
                                                  std::uint32_t attributeWord) {
  const std::size_t slash = pattern.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : pattern.substr(0, slash == 0 ? 1 : slash);
  const std::string_view namePattern =
      std::string_view(pattern).substr(slash == std::string::npos ? 0 : slash + 1);
  if (namePattern.empty() || IsDotOrDotDot(namePattern)) {
    return std::make_unique<EmptySearch>();
  }
  if (!HasWildcards(namePattern)) {
    // File names are case-sensitive here, so a plain name is one entry and needs no folder scan.
    std::optional<FoundEntry> entry;
    const auto attributes = Attributes(pattern);
    if (attributes && !(*attributes & ExclusionWord(attributeWord))) {
      entry = FoundEntry{std::string(namePattern), *attributes};
    }
    return std::make_unique<SingleEntrySearch>(std::move(entry));
  }
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    return std::make_unique<EmptySearch>(std::error_code(errno, std::generic_category()));
  }
  return std::make_unique<DirectorySearch>(directory, namePattern, attributeWord);
}

std::optional<std::uint32_t> PosixFileSystem::Attributes(const std::string& path) {
  struct stat status;
  std::uint32_t attributes;
  if (stat(path.c_str(), &status) == 0) {
    attributes = KindFromMode(status.st_mode);
  } else if (lstat(path.c_str(), &status) == 0) {
    attributes = faSysFile;
  } else {
    return std::nullopt;
  }
  const std::size_t slash = path.rfind('/');
  if (IsHiddenName(std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1))) {
    attributes |= faHidden;
  }
  if (IsReadOnly(AT_FDCWD, path.c_str())) {
    attributes |= faReadOnly;
  }
  return attributes;
}

void PosixFileSystem::SetCurrentDirectory(const std::string& path) {
  if (chdir(path.c_str()) != 0) {
    throw EInOutError::FromErrno(errno);
  }
}

std::string PosixFileSystem::CurrentDirectory() {
  const std::unique_ptr<char, decltype(&std::free)> path(getcwd(nullptr, 0), &std::free);
  if (!path) {
    throw EInOutError::FromErrno(errno);
  }
  return path.get();
}

std::error_code PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  return RenameWithoutReplacing(from, to).error;
}

}  // namespace varnex
