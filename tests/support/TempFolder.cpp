#include "TempFolder.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varnex::test {

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
  }
}

}  // namespace

TempFolder::TempFolder() : TempFolder(std::filesystem::temp_directory_path().string()) {}

TempFolder::TempFolder(const std::string& parent) {
  std::string pattern = parent + "/varnex-test-XXXXXX";
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
  // Open to everyone, so tests can check what a user without rights is refused inside it.
  chmod(path_.c_str(), 0755);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Folders a test made unreadable must be opened up again before they can be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      chmod(it->path().c_str(), 0700);
    }
  }
  chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::File(const std::string& name, const std::string& content) const {
  const std::string path = *this / name;
  std::ofstream(path, std::ios::binary) << content;
  Check(access(path.c_str(), F_OK) == 0, "create " + path);
  return path;
}

std::string TempFolder::Folder(const std::string& name) const {
  const std::string path = *this / name;
  Check(mkdir(path.c_str(), 0755) == 0, "mkdir " + path);
  return path;
}

std::string TempFolder::Fifo(const std::string& name) const {
  const std::string path = *this / name;
  Check(mkfifo(path.c_str(), 0644) == 0, "mkfifo " + path);
  return path;
}

std::string TempFolder::Socket(const std::string& name) const {
  const std::string path = *this / name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  Check(path.size() < sizeof(address.sun_path), "socket path too long " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  Check(fd >= 0, "socket");
  const int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  close(fd);
  Check(bound == 0, "bind " + path);
  return path;
}

std::string TempFolder::Symlink(const std::string& name, const std::string& target) const {
  const std::string path = *this / name;
  Check(symlink(target.c_str(), path.c_str()) == 0, "symlink " + path);
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

Listing ListFolder(const std::string& folder) {
  Listing listing;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    listing[entry.path().filename().string()] = entry.is_symlink()     ? "<link>"
                                                : entry.is_directory() ? "<dir>"
                                                : entry.is_regular_file()
                                                    ? ReadFile(entry.path().string())
                                                    : "<other>";
  }
  return listing;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

}  // namespace varnex::test
