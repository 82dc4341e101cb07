#include "PathRules.h"

#include "PathParts.h"
#include "Wildcard.h"

namespace varnex {

namespace {

// Enters the saved directory again when it goes out of scope, if that still names a folder.
class CurrentDirectoryRestorer {
 public:
  CurrentDirectoryRestorer(FileSystem& fs, std::string saved) : fs_(fs), saved_(std::move(saved)) {}
  CurrentDirectoryRestorer(const CurrentDirectoryRestorer&) = delete;
  CurrentDirectoryRestorer& operator=(const CurrentDirectoryRestorer&) = delete;

  ~CurrentDirectoryRestorer() {
    try {
      if (IsExistingFolder(fs_, saved_)) {
        fs_.SetCurrentDirectory(saved_);
      }
    } catch (const std::exception&) {
      // The folder went away between the check and the call; there is nothing left to restore.
    }
  }

 private:
  FileSystem& fs_;
  std::string saved_;
};

}  // namespace

SplitPathResult SplitPath(FileSystem& fs, const std::string& text) {
  const std::string saved = fs.CurrentDirectory();
  const CurrentDirectoryRestorer restorer(fs, saved);

  std::string folder = text;
  if (folder.size() >= 2 && folder.front() == '[' && folder.back() == ']') {
    folder = folder.substr(1, folder.size() - 2);
  }
  std::string lastPart(NameOf(folder));
  if (folder.size() == lastPart.size() + 1) {
    folder = kRootFolder;
  } else if (folder.size() > lastPart.size()) {
    folder.resize(folder.size() - lastPart.size() - 1);
  } else {
    folder = saved;
  }
  if (!folder.empty()) {
    fs.SetCurrentDirectory(folder);
  }
  // A last part with "*" or "?" is a pattern, unless a folder of that very name is there.
  if (!lastPart.empty() && !IsExistingFile(fs, lastPart) &&
      (!HasWildcards(lastPart) || IsExistingFolder(fs, lastPart))) {
    fs.SetCurrentDirectory(lastPart);
    folder = JoinPath(folder, lastPart);
    lastPart.clear();
  }
  return {folder, lastPart};
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') {
    return folder + name;
  }
  return folder + "/" + name;
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + extension;
  }
  return path.substr(0, dot) + extension;
}

std::string TrimTrailingBackslash(const std::string& path) {
  if (path.size() > 1 && path.back() == '/') {
    return path.substr(0, path.size() - 1);
  }
  return path;
}

std::string AbsolutePath(const std::string& path, const std::string& base) {
  if (path.empty() || path.front() == '/') {
    return path;
  }
  return JoinPath(base, path);
}

}  // namespace varnex
