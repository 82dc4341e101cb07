#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "ListedFolder.h"

namespace varnex {

// Attribute bits of a directory entry.
enum FileAttribute : std::uint32_t {
  faReadOnly = 1,    // the user may not write it
  faHidden = 2,      // the name begins with "."
  faSysFile = 4,     // neither a regular file nor a folder once links are followed
  faVolumeID = 8,    // never set here
  faDirectory = 16,  // a folder, or a link to one
  faArchive = 32,    // a regular file, or a link to one
};

// The attribute word of a search that skips nothing. Without faReadOnly, which costs a check of
// each entry that only a list shown to the user needs.
constexpr std::uint32_t kEveryEntry = faHidden | faSysFile | faVolumeID | faDirectory | faArchive;

struct FoundEntry {
  std::string name;  // the bytes the file system stores
  std::uint32_t attributes = 0;
};

// Entries whose attributes share a bit with this word are skipped by a search asked for
// `attributeWord`: hidden, system, volume and folder entries, unless the word asks for them.
constexpr std::uint32_t ExclusionWord(std::uint32_t attributeWord) {
  return ~attributeWord & (faHidden | faSysFile | faVolumeID | faDirectory);
}

// One open directory search; it is closed when destroyed.
class FileSearch {
 public:
  explicit FileSearch(std::error_code error = {}) : error_(error) {}
  virtual ~FileSearch() = default;

  // The next entry that matches and is not excluded, in the order the file system gives them.
  std::optional<FoundEntry> Next() {
    FoundEntry entry;
    return ReadNext(entry) ? std::optional<FoundEntry>(std::move(entry)) : std::nullopt;
  }
  // The same into `entry`, whose buffers a long search uses again; false at the end.
  virtual bool ReadNext(FoundEntry& entry) = 0;

  // Why the folder could not be read, when it could not: from the start (then the search has no
  // entries), or part way through (then the entries before are all it has).
  std::error_code Error() const { return error_; }

 protected:
  void SetError(std::error_code error) { error_ = error; }

 private:
  std::error_code error_;
};

// The file-system services the program needs. Paths are bytes; relative paths are taken from the
// file system's current directory.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Searches a path whose last part is a name or a wildcard pattern. A folder that cannot be read
  // gives a search without entries. The read-only bit is looked up only when the word asks for it.
  virtual std::unique_ptr<FileSearch> Find(const std::string& pattern,
                                           std::uint32_t attributeWord) = 0;

  // The attributes of a path, following links; nullopt when nothing is there.
  virtual std::optional<std::uint32_t> Attributes(const std::string& path) = 0;

  // Enters a folder as the current directory that relative paths are taken from; throws
  // EInOutError for a folder that is missing, not a folder, or closed to the user.
  virtual void SetCurrentDirectory(const std::string& path) = 0;

  // The current directory as an absolute path.
  virtual std::string CurrentDirectory() = 0;

  // Renames an entry unless something already has the new name (then file_exists); a failure
  // leaves the entry as it was.
  virtual std::error_code RenameNoReplace(const std::string& from, const std::string& to) = 0;

  // Whether two paths are two names of one entry (hard links), not two entries.
  virtual bool SameEntry(const std::string& /*first*/, const std::string& /*second*/) {
    return false;
  }

  // Whether a path is itself (not through a link) an empty regular file or an empty folder.
  virtual bool IsEmptyEntry(const std::string& /*path*/) { return false; }

  // Why renaming an entry within its folder would be refused, as far as the system can tell
  // beforehand (a read-only mount, a folder the user may not write, another owner's entry in a
  // sticky folder, an immutable or append-only entry or folder, a mount point); empty when nothing
  // is seen.
  virtual std::error_code RenameRefusal(const std::string& /*path*/) { return {}; }

  // The folder at `path` held open, for a conversion pass and its undo to work in whatever
  // becomes of the path; nullptr, with why in `error`, when it is no folder that can be read.
  virtual std::unique_ptr<ListedFolder> OpenFolder(const std::string& /*path*/,
                                                   std::error_code& error) {
    error = std::make_error_code(std::errc::function_not_supported);
    return nullptr;
  }
};

inline bool IsExistingFolder(FileSystem& fs, const std::string& path) {
  const auto attributes = fs.Attributes(path);
  return attributes && (*attributes & faDirectory) != 0;
}

inline bool IsExistingFile(FileSystem& fs, const std::string& path) {
  const auto attributes = fs.Attributes(path);
  return attributes && (*attributes & faDirectory) == 0;
}

}  // namespace varnex
