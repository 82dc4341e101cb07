#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace varnex {

// Where an entry lives: its device and the inode number the file system gives it, and when the
// entry was made, where the file system keeps that.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::optional<std::int64_t> birth;  // nanoseconds since 1970

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Whether two birth times may be of one entry: a file system gives a freed inode number to the
// next entry it makes, so the number alone does not tell a replaced entry from the first one.
inline bool SameBirth(const std::optional<std::int64_t>& then,
                      const std::optional<std::int64_t>& now) {
  return !then || !now || *then == *now;
}

inline bool SameEntry(const FileIdentity& then, const FileIdentity& now) {
  return then.device == now.device && then.inode == now.inode && SameBirth(then.birth, now.birth);
}

// What a journal of conversion passes needs beyond FileSystem: private files that are either
// whole on disk or absent, and the identities of folders and entries. Paths are bytes.
class JournalStorage {
 public:
  virtual ~JournalStorage() = default;

  // The program's state folder: $XDG_STATE_HOME/varnex, or ~/.local/state/varnex when that is
  // unset or not absolute; empty when no home is known either.
  virtual std::string StateFolder() = 0;

  // Creates the folder and its missing parents, for the user alone (mode 0700).
  virtual std::error_code MakePrivateFolder(const std::string& path) = 0;

  // Makes `path` a file of `content`, mode 0600, that a crash leaves whole or absent: written under
  // a temporary name, flushed to disk, renamed into place, and the folder flushed.
  virtual std::error_code WriteDurably(const std::string& path, std::string_view content) = 0;

  // The content of a regular file; nullopt when there is none or it cannot be read.
  virtual std::optional<std::string> Read(const std::string& path) = 0;

  // The names in a folder, without "." and ".."; empty when it cannot be read.
  virtual std::vector<std::string> Names(const std::string& folder) = 0;

  // Removes one name of a file.
  virtual std::error_code Remove(const std::string& path) = 0;

  // The identity of a folder, links followed; nullopt when the path is not a folder.
  virtual std::optional<FileIdentity> FolderIdentity(const std::string& path) = 0;

  // When a folder last changed, by its file system's own clock, links followed: every entry in it
  // was made by then. nullopt when it cannot be read.
  virtual std::optional<std::int64_t> ChangeTime(const std::string& folder) = 0;

  // The identities of entries of one folder, in the order of `names`, links not followed; nullopt
  // where nothing is there. The folder is opened once, which costs less than a path for each.
  virtual std::vector<std::optional<FileIdentity>> EntryIdentities(
      const std::string& folder, const std::vector<std::string_view>& names) = 0;

  // The identity of the entry itself (a link is not followed); nullopt when nothing is there.
  virtual std::optional<FileIdentity> EntryIdentity(const std::string& path) = 0;
};

}  // namespace varnex
