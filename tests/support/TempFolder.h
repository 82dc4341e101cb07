#pragma once

#include <map>
#include <set>
#include <string>

namespace varnex::test {

// A real folder under the system's temporary directory (or under `parent`), removed with
// everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  explicit TempFolder(const std::string& parent);
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Each returns the full path of what it made; `name` may contain "/" for nested entries.
  std::string File(const std::string& name, const std::string& content = "data") const;
  std::string Folder(const std::string& name) const;
  std::string Fifo(const std::string& name) const;
  std::string Socket(const std::string& name) const;
  std::string Symlink(const std::string& name, const std::string& target) const;

 private:
  std::string path_;
};

// The content of a file, or an empty text when it cannot be read.
std::string ReadFile(const std::string& path);

// The names in a folder.
std::set<std::string> NamesIn(const std::string& folder);

// Name -> content of every entry in a folder: a file's bytes, or "<dir>", "<link>", "<other>".
using Listing = std::map<std::string, std::string>;
Listing ListFolder(const std::string& folder);

// `text` quoted for /bin/sh, whatever bytes it holds.
std::string ShellQuoted(const std::string& text);

}  // namespace varnex::test
