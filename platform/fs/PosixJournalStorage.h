#pragma once

#include "JournalStorage.h"

namespace varnex {

// Holds no state: nothing is asked of the system before the first journal is written or read.
class PosixJournalStorage final : public JournalStorage {
 public:
  std::string StateFolder() override;
  std::error_code MakePrivateFolder(const std::string& path) override;
  std::error_code WriteDurably(const std::string& path, std::string_view content) override;
  std::error_code Append(const std::string& path, std::string_view content) override;
  std::optional<std::string> Read(const std::string& path, std::size_t maxBytes,
                                  std::uint64_t& size) override;
  std::vector<std::string> Names(const std::string& folder) override;
  std::error_code Remove(const std::string& path) override;
};

}  // namespace varnex
