#pragma once

#include "platform/fs/FileSystem.h"

namespace varnex::test {

// Passes every call on to another file system; a test overrides the calls it wants to watch or to
// make fail.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& real) : real_(real) {}

  std::unique_ptr<FileSearch> Find(const std::string& pattern, std::uint32_t word) override {
    return real_.Find(pattern, word);
  }
  std::optional<std::uint32_t> Attributes(const std::string& path) override {
    return real_.Attributes(path);
  }
  void SetCurrentDirectory(const std::string& path) override { real_.SetCurrentDirectory(path); }
  std::string CurrentDirectory() override { return real_.CurrentDirectory(); }
  std::error_code RenameNoReplace(const std::string& from, const std::string& to) override {
    return real_.RenameNoReplace(from, to);
  }
  bool SameEntry(const std::string& first, const std::string& second) override {
    return real_.SameEntry(first, second);
  }
  bool IsEmptyEntry(const std::string& path) override { return real_.IsEmptyEntry(path); }
  std::error_code RenameRefusal(const std::string& path) override {
    return real_.RenameRefusal(path);
  }

 protected:
  FileSystem& real_;
};

}  // namespace varnex::test
