#include "BenchSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace varnex::bench {

int RunShell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    throw std::runtime_error("cannot run " + command);
  }
  char buffer[65536];
  while (fread(buffer, 1, sizeof buffer, pipe) > 0) {
  }
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeFolder(const std::string& prefix) {
  std::string path = std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  return path;
}

void RemoveFolder(const std::string& path) {
  std::filesystem::remove_all(path);
}

void FillFolder(const std::string& folder, int count, const std::vector<std::string>& stems) {
  for (int i = 0; i < count; ++i) {
    const char* extension = i % 2 == 0 ? (i % 10 == 0 ? ".MP3" : ".mp3") : ".txt";
    // A scrambled number, so that names do not arrive in any order.
    const unsigned scrambled = (static_cast<unsigned>(i) * 2654435761u) % 1000000007u;
    const std::string& stem = stems[static_cast<std::size_t>(i) % stems.size()];
    const std::string path = folder + "/" + stem + " " + std::to_string(scrambled) + extension;
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0644);
    if (fd < 0) {
      throw std::runtime_error("cannot create " + path);
    }
    close(fd);
  }
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

}  // namespace varnex::bench
