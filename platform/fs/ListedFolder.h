#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

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

// What is known of an entry itself (a link is not followed).
struct EntryState {
  FileIdentity identity;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds since 1970
  std::uint64_t links = 0;    // how many names it has
};

// Where a folder is in its volume, for file systems that number inodes anew at every mount (FAT,
// exFAT): the volume's kind and serial number, and the folder's path from the volume's root.
struct VolumePlace {
  std::string volume;  // "exfat:7F17-425D"
  std::string path;    // "/music"

  friend bool operator==(const VolumePlace&, const VolumePlace&) = default;
};

// Told by a rename that gives the entry its new name as a second link before it removes the old
// one, with the entry's number of names before: a pass killed between the two leaves the entry
// under both names, which is what the journal of the pass records here.
using BeforeLinking = std::function<void(std::uint64_t links)>;

// One folder held open: every name given to it is taken in that folder, whatever becomes of the
// path it was opened by meanwhile (renamed, replaced, swapped for a link). Names are bytes
// without "/".
class ListedFolder {
 public:
  virtual ~ListedFolder() = default;

  // Where the folder is now, as an absolute path; the path it was opened by when that cannot be
  // told.
  virtual std::string Path() = 0;

  // The folder's own identity.
  virtual FileIdentity Identity() = 0;

  // Where the folder is in its volume, when its file system numbers inodes anew at every mount
  // and the volume can be told; nullopt otherwise.
  virtual std::optional<VolumePlace> Place() = 0;

  // Calls `found` with the name of each entry that matches the wildcard pattern, of every kind,
  // hidden ones included, in the order the file system gives them. Why the listing ended early,
  // when it did.
  virtual std::error_code List(std::string_view pattern,
                               const std::function<void(std::string_view name)>& found) = 0;

  // The entry of that name; nullopt when there is none.
  virtual std::optional<EntryState> State(const std::string& name) = 0;

  // Renames an entry unless something already has the new name (then file_exists), also when
  // another program takes the name meanwhile. A failure leaves the entry as it was.
  virtual std::error_code Rename(const std::string& from, const std::string& to,
                                 const BeforeLinking& beforeLinking = {}) = 0;

  // Removes one name of an entry that is not a folder.
  virtual std::error_code Remove(const std::string& name) = 0;
};

}  // namespace varnex
