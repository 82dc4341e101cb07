#include "PosixListedFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "NoReplaceRename.h"
#include "PosixVolumePlace.h"
#include "Wildcard.h"

namespace varnex {

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

std::int64_t Nanoseconds(const statx_timestamp& time) {
  return time.tv_sec * std::int64_t{1'000'000'000} + time.tv_nsec;
}

// With the birth time where the file system keeps one; plain stat where the kernel has no statx.
std::optional<EntryState> StateAt(int folder, const char* name, int flags) {
  struct statx status {};
  constexpr unsigned kWanted = STATX_INO | STATX_BTIME | STATX_SIZE | STATX_MTIME | STATX_NLINK;
  if (statx(folder, name, flags, kWanted, &status) == 0) {
    EntryState state{{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino, {}},
                     status.stx_size,
                     Nanoseconds(status.stx_mtime),
                     status.stx_nlink};
    if ((status.stx_mask & STATX_BTIME) != 0) {
      state.identity.birth = Nanoseconds(status.stx_btime);
    }
    return state;
  }
  if (errno != ENOSYS) {
    return std::nullopt;
  }
  struct stat old;
  if (fstatat(folder, name, &old, flags) != 0) {
    return std::nullopt;
  }
  return EntryState{
      {static_cast<std::uint64_t>(old.st_dev), static_cast<std::uint64_t>(old.st_ino), {}},
      static_cast<std::uint64_t>(old.st_size),
      old.st_mtim.tv_sec * std::int64_t{1'000'000'000} + old.st_mtim.tv_nsec,
      static_cast<std::uint64_t>(old.st_nlink)};
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

class PosixListedFolder final : public ListedFolder {
 public:
  PosixListedFolder(int fd, std::string openedAs) : fd_(fd), openedAs_(std::move(openedAs)) {}
  PosixListedFolder(const PosixListedFolder&) = delete;
  PosixListedFolder& operator=(const PosixListedFolder&) = delete;
  ~PosixListedFolder() override { close(fd_); }

  std::string Path() override {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd_);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target);
    if (length <= 0 || target[0] != '/' || static_cast<std::size_t>(length) == sizeof target) {
      return openedAs_;
    }
    return {target, static_cast<std::size_t>(length)};
  }

  FileIdentity Identity() override {
    const auto state = StateAt(fd_, "", AT_EMPTY_PATH);
    return state ? state->identity : FileIdentity{};
  }

  std::optional<VolumePlace> Place() override { return PlaceInVolume(fd_, Path()); }

  std::error_code List(std::string_view pattern,
                       const std::function<void(std::string_view name)>& found) override {
    // A descriptor of its own, so that every listing starts at the beginning.
    const int listing = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
      return LastError();
    }
    const std::unique_ptr<DIR, DirectoryCloser> directory(fdopendir(listing));
    if (!directory) {
      const std::error_code error = LastError();
      close(listing);
      return error;
    }
    const WildcardPattern wildcard(pattern);
    for (;;) {
      errno = 0;  // readdir tells the end from a failure only by errno
      const dirent* entry = readdir(directory.get());
      if (entry == nullptr) {
        return errno == 0 ? std::error_code() : LastError();
      }
      const std::string_view name = entry->d_name;
      if (name != "." && name != ".." && wildcard.Matches(name)) {
        found(name);
      }
    }
  }

  std::optional<EntryState> State(const std::string& name) override {
    return StateAt(fd_, name.c_str(), AT_SYMLINK_NOFOLLOW);
  }

  std::error_code Rename(const std::string& from, const std::string& to,
                         const BeforeLinking& beforeLinking) override {
    return RenameWithoutReplacing(fd_, from, to, SystemRenameCalls(), beforeLinking).error;
  }

  std::error_code Remove(const std::string& name) override {
    return unlinkat(fd_, name.c_str(), 0) == 0 ? std::error_code() : LastError();
  }

 private:
  int fd_;
  std::string openedAs_;
};

}  // namespace

std::unique_ptr<ListedFolder> OpenPosixFolder(const std::string& path, std::error_code& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  error.clear();
  return std::make_unique<PosixListedFolder>(fd, path);
}

}  // namespace varnex
