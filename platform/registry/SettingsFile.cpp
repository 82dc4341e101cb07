#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>

#include "platform/fs/NoReplaceRename.h"
#include "platform/fs/PathParts.h"

namespace varnex {

namespace {

constexpr int kMostLinks = 40;  // as the kernel allows before ELOOP
constexpr int kMostKeptAside = 1000;

// Where a chain of links ends; the path itself when it is no link.
std::string FollowLinks(std::string path) {
  for (int depth = 0; depth < kMostLinks; ++depth) {
    std::array<char, PATH_MAX> target;
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) == target.size()) {
      return path;
    }
    std::string next(target.data(), static_cast<std::size_t>(length));
    if (next.front() != '/') {
      const std::size_t slash = path.rfind('/');
      if (slash != std::string::npos) {
        next.insert(0, path, 0, slash + 1);
      }
    }
    path = std::move(next);
  }
  return path;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

SettingsFile::State SettingsFile::Read(std::string& text) const {
  // Looked at before it is opened: opening a FIFO waits for a writer, opening a device may act.
  struct stat status;
  if (stat(path_.c_str(), &status) != 0) {
    return errno == ENOENT ? State::Missing : State::Unreadable;
  }
  if (!S_ISREG(status.st_mode)) {
    return State::NotRegular;
  }
  // Without blocking all the same, should it have been swapped for a FIFO since.
  const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT ? State::Missing : State::Unreadable;
  }
  State state = State::Read;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    state = State::NotRegular;
  } else {
    text.clear();
    std::array<char, 8192> buffer;
    for (;;) {
      const ssize_t got = read(fd, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        state = State::Unreadable;
      }
      if (got <= 0) {
        break;
      }
      text.append(buffer.data(), static_cast<std::size_t>(got));
    }
  }
  close(fd);
  return state;
}

bool SettingsFile::Replace(std::string_view text) const {
  const std::string target = FollowLinks(path_);
  std::string temporary = target + ".new-XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  // A full disk shows as a short write, a failed write, or only when the data reaches the disk.
  const bool written = fchmod(fd, 0600) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  // So that the new name survives a crash too; the file is in place already, whatever this says.
  const std::string folder(FolderOf(target));
  if (const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      folderFd >= 0) {
    fsync(folderFd);
    close(folderFd);
  }
  return true;
}

bool SettingsFile::KeepAside() const {
  // A link to a regular file (a dotfile manager's) stays a link: what it points to is kept aside
  // beside itself, and the new contents then go where it points. A link to anything else (a FIFO,
  // a device such as /dev/null, a folder) is moved aside itself: renaming what it points to
  // could move a system's device or someone else's entry, and writing there is no use.
  std::string kept = path_;
  struct stat entry;
  struct stat target;
  if (lstat(path_.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode) &&
      stat(path_.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
    kept = FollowLinks(path_);
  }
  for (int number = 0; number < kMostKeptAside; ++number) {
    std::string aside = kept + ".bad";
    if (number > 0) {
      aside.append(".").append(std::to_string(number));
    }
    const std::error_code error = RenameWithoutReplacing(kept, aside).error;
    if (error != std::errc::file_exists) {
      return !error;
    }
  }
  return false;
}

}  // namespace varnex
