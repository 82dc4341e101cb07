#pragma once

#include "FileSystem.h"

namespace varnex {

// The file system through POSIX calls. Directories are read with readdir, using the entry type it
// reports and calling stat only for links and entries of unknown type, so a large folder costs one
// pass and a few system calls.
class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<FileSearch> Find(const std::string& pattern,
                                   std::uint32_t attributeWord) override;
  std::optional<std::uint32_t> Attributes(const std::string& path) override;
  void SetCurrentDirectory(const std::string& path) override;
  std::string CurrentDirectory() override;
  std::error_code RenameNoReplace(const std::string& from, const std::string& to) override;
  bool SameEntry(const std::string& first, const std::string& second) override;
  bool IsEmptyEntry(const std::string& path) override;
  std::error_code RenameRefusal(const std::string& path) override;
  std::unique_ptr<ListedFolder> OpenFolder(const std::string& path,
                                           std::error_code& error) override;

 private:
  // The folder last entered, for when it has been removed since: the system can no longer name
  // it then, but the window must still be able to go elsewhere from there.
  std::string entered_;
};

}  // namespace varnex
