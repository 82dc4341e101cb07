#include "PosixJournalStorage.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

namespace varnex {

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now, so that a failing close is seen.
  int Close() { return close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::error_code WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), {}};
}

std::int64_t Nanoseconds(const statx_timestamp& time) {
  return time.tv_sec * std::int64_t{1'000'000'000} + time.tv_nsec;
}

// The identity with the birth time, where the file system keeps one; plain stat where the kernel
// has no statx.
std::optional<FileIdentity> StatIdentity(int folder, const char* path, int flags) {
  struct statx extended {};
  if (statx(folder, path, flags, STATX_INO | STATX_BTIME, &extended) == 0) {
    FileIdentity identity{
        makedev(extended.stx_dev_major, extended.stx_dev_minor), extended.stx_ino, {}};
    if ((extended.stx_mask & STATX_BTIME) != 0) {
      identity.birth = Nanoseconds(extended.stx_btime);
    }
    return identity;
  }
  if (errno != ENOSYS) {
    return std::nullopt;
  }
  struct stat status;
  if (fstatat(folder, path, &status, flags) != 0) {
    return std::nullopt;
  }
  return IdentityOf(status);
}

}  // namespace

std::string PosixJournalStorage::StateFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return std::string(state) + "/varnex";
  }
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/') {
    home = variable;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return home.empty() ? std::string() : home + "/.local/state/varnex";
}

std::error_code PosixJournalStorage::MakePrivateFolder(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty() && part.back() != '/' && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return LastError();
    }
    if (slash == std::string::npos) {
      break;
    }
  }
  // A folder that was there already is made private too; it must be a real folder, not a link.
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) {
    return LastError();
  }
  if (!S_ISDIR(status.st_mode)) {
    return std::make_error_code(std::errc::not_a_directory);
  }
  if ((status.st_mode & 07777) != 0700 && chmod(path.c_str(), 0700) != 0) {
    return LastError();
  }
  return {};
}

std::error_code PosixJournalStorage::WriteDurably(const std::string& path,
                                                  std::string_view content) {
  const std::string temporary = path + ".part";
  unlink(temporary.c_str());  // left by a writer that was killed
  Descriptor file(
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!file.Valid()) {
    return LastError();
  }
  std::error_code error = WriteAll(file.Get(), content);
  if (!error && fchmod(file.Get(), 0600) != 0) {  // whatever the umask made of it
    error = LastError();
  }
  if (!error && fsync(file.Get()) != 0) {
    error = LastError();
  }
  if (!error && file.Close() != 0) {
    error = LastError();
  }
  if (!error && rename(temporary.c_str(), path.c_str()) != 0) {
    error = LastError();
  }
  if (error) {
    unlink(temporary.c_str());
    return error;
  }
  // The new name is durable only once the folder that holds it is.
  Descriptor folder(open(ParentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid() || fsync(folder.Get()) != 0) {
    return LastError();
  }
  return {};
}

std::optional<std::string> PosixJournalStorage::Read(const std::string& path) {
  Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat status;
  if (!file.Valid() || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  std::string content;
  content.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(file.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return std::nullopt;
    }
    if (count == 0) {
      return content;
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
}

std::vector<std::string> PosixJournalStorage::Names(const std::string& folder) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(folder.c_str()), &closedir);
  if (!directory) {
    return names;
  }
  while (const dirent* entry = readdir(directory.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
  return names;
}

std::error_code PosixJournalStorage::Remove(const std::string& path) {
  return unlink(path.c_str()) == 0 ? std::error_code() : LastError();
}

std::optional<FileIdentity> PosixJournalStorage::FolderIdentity(const std::string& path) {
  // Opened as a folder first, so that the identity is the folder's even if the path changes.
  const Descriptor folder(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid()) {
    return std::nullopt;
  }
  return StatIdentity(folder.Get(), "", AT_EMPTY_PATH);
}

std::optional<std::int64_t> PosixJournalStorage::ChangeTime(const std::string& folder) {
  struct statx status {};
  if (statx(AT_FDCWD, folder.c_str(), 0, STATX_CTIME, &status) != 0 ||
      (status.stx_mask & STATX_CTIME) == 0) {
    return std::nullopt;
  }
  return Nanoseconds(status.stx_ctime);
}

std::vector<std::optional<FileIdentity>> PosixJournalStorage::EntryIdentities(
    const std::string& folder, const std::vector<std::string_view>& names) {
  std::vector<std::optional<FileIdentity>> identities(names.size());
  const Descriptor handle(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!handle.Valid()) {
    return identities;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    identities[i] = StatIdentity(handle.Get(), std::string(names[i]).c_str(), AT_SYMLINK_NOFOLLOW);
  }
  return identities;
}

std::optional<FileIdentity> PosixJournalStorage::EntryIdentity(const std::string& path) {
  return StatIdentity(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
}

}  // namespace varnex
