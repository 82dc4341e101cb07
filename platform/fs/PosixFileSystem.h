#pragma once

#include "FileSystem.h"

namespace varnex {

// The file system through POSIX calls. Directories are read with readdir, using the entry type it
// reports and calling stat only for links and entries of unknown type, so a large folder costs one
// pass and a few system calls.
//
// Its current directory is a path of its own, taken from the process's working directory when it
// is made: entering a folder never makes it the process's working directory, so a folder that is
// shown keeps no file system busy (a USB stick can be unmounted), and nothing stays open on it.
class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem();

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
  // A relative path taken from the current directory.
  std::string Resolved(const std::string& path) const;

  // Absolute and without links, as the system names a working directory. It stays when the folder
  // is removed: relative names there then fail as in a removed working directory.
  std::string current_;
  int noCurrentError_ = 0;  // why the working directory had no name when there is no path
};

// Leaves the working directory the process was started in, for the root, so that the process
// keeps no file system busy; relative names are taken from a PosixFileSystem's own directory.
void LeaveStartingDirectory();

}  // namespace varnex
