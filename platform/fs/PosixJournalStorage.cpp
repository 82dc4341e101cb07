#include "PosixJournalStorage.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "PathParts.h"

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
  Descriptor folder(open(std::string(FolderOf(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid() || fsync(folder.Get()) != 0) {
    return LastError();
  }
  return {};
}

std::error_code PosixJournalStorage::Append(const std::string& path, std::string_view content) {
  Descriptor file(open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
  if (!file.Valid()) {
    return LastError();
  }
  return WriteAll(file.Get(), content);
}

std::optional<std::string> PosixJournalStorage::Read(const std::string& path, std::size_t maxBytes,
                                                     std::uint64_t& size) {
  // Looked at before it is opened: opening a FIFO or a device may wait, or do something.
  struct stat before;
  if (lstat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) {
    return std::nullopt;
  }
  Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status;
  if (!file.Valid() || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_ino != before.st_ino || status.st_dev != before.st_dev) {
    return std::nullopt;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  std::string content(static_cast<std::size_t>(std::min<std::uint64_t>(size, maxBytes)), '\0');
  std::size_t filled = 0;
  while (filled < content.size()) {
    const ssize_t count = read(file.Get(), content.data() + filled, content.size() - filled);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return std::nullopt;
    }
    if (count == 0) {
      break;  // shorter than it said
    }
    filled += static_cast<std::size_t>(count);
  }
  content.resize(filled);
  return content;
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

}  // namespace varnex
