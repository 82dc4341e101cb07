#pragma once

#include "JournalStorage.h"

namespace varnex {

class PosixJournalStorage final : public JournalStorage {
 public:
  std::string StateFolder() override;
  std::error_code MakePrivateFolder(const std::string& path) override;
  std::error_code WriteDurably(const std::string& path, std::string_view content) override;
  std::optional<std::string> Read(const std::string& path) override;
  std::vector<std::string> Names(const std::string& folder) override;
  std::error_code Remove(const std::string& path) override;
  std::optional<FileIdentity> FolderIdentity(const std::string& path) override;
  std::optional<std::int64_t> ChangeTime(const std::string& folder) override;
  std::vector<std::optional<FileIdentity>> EntryIdentities(
      const std::string& folder, const std::vector<std::string_view>& names) override;
  std::optional<FileIdentity> EntryIdentity(const std::string& path) override;
};

}  // namespace varnex
