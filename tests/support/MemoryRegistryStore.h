#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/registry/RegistryStore.h"

namespace varnex::test {

// A per-user store in memory. A test can make the key impossible to open, or have the writes of
// some values refused.
class MemoryRegistryStore final : public RegistryStore {
 public:
  using Values = std::map<std::string, RegistryValue>;

  std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override;

  std::map<std::string, Values> keys;
  bool openable = true;
  std::set<std::string> refusedWrites;
  int opened = 0;
  int openNow = 0;  // keys not closed yet
};

}  // namespace varnex::test
