#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "ListedFolder.h"

namespace varnex {

// What a journal of conversion passes needs beyond FileSystem: private files that are either
// whole on disk or absent. Paths are bytes.
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

  // Adds `content` at the end of an existing file, in one write that is on the file once this
  // returns, whatever happens to the process; not flushed to disk.
  virtual std::error_code Append(const std::string& path, std::string_view content) = 0;

  // At most the first `maxBytes` bytes of a regular file, read without waiting for anything:
  // what is no regular file (a FIFO, a device, a link) is never read. `size` is then the file's
  // whole size. nullopt when there is no such file or it cannot be read.
  virtual std::optional<std::string> Read(const std::string& path, std::size_t maxBytes,
                                          std::uint64_t& size) = 0;

  // The names in a folder, without "." and ".."; empty when it cannot be read.
  virtual std::vector<std::string> Names(const std::string& folder) = 0;

  // Removes one name of a file.
  virtual std::error_code Remove(const std::string& path) = 0;
};

}  // namespace varnex
