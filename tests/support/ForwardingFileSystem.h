#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  std::unique_ptr<ListedFolder> OpenFolder(const std::string& path,
                                           std::error_code& error) override {
    return real_.OpenFolder(path, error);
  }

 protected:
  FileSystem& real_;
};

// Passes every call on to a real folder held open; a test overrides the calls it wants to watch,
// or to have something happen at.
class ForwardingListedFolder : public ListedFolder {
 public:
  explicit ForwardingListedFolder(std::unique_ptr<ListedFolder> real) : real_(std::move(real)) {}

  std::string Path() override { return real_->Path(); }
  FileIdentity Identity() override { return real_->Identity(); }
  std::optional<VolumePlace> Place() override { return real_->Place(); }
  std::error_code List(std::string_view pattern,
                       const std::function<void(std::string_view)>& found) override {
    return real_->List(pattern, found);
  }
  std::optional<EntryState> State(const std::string& name) override { return real_->State(name); }
  std::error_code Rename(const std::string& from, const std::string& to,
                         const BeforeLinking& beforeLinking) override {
    return real_->Rename(from, to, beforeLinking);
  }
  std::error_code Remove(const std::string& name) override { return real_->Remove(name); }

 protected:
  std::unique_ptr<ListedFolder> real_;
};

// A file system whose folders, once opened, are handed to `wrap`, which gives what the pass
// and the undo work through instead: a ForwardingListedFolder that watches, or makes things
// happen at chosen moments.
class WrappingFileSystem final : public ForwardingFileSystem {
 public:
  using Wrap = std::function<std::unique_ptr<ListedFolder>(std::unique_ptr<ListedFolder>)>;
  WrappingFileSystem(FileSystem& real, Wrap wrap) : ForwardingFileSystem(real), wrap_(wrap) {}

  std::unique_ptr<ListedFolder> OpenFolder(const std::string& path,
                                           std::error_code& error) override {
    auto real = real_.OpenFolder(path, error);
    return real ? wrap_(std::move(real)) : nullptr;
  }

 private:
  Wrap wrap_;
};

}  // namespace varnex::test
