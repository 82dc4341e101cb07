#include "MemoryRegistryStore.h"

namespace varnex::test {

namespace {

class MemoryKey final : public RegistryKey {
 public:
  MemoryKey(MemoryRegistryStore& store, MemoryRegistryStore::Values& values)
      : store_(store), values_(values) {
    ++store_.openNow;
  }
  ~MemoryKey() override { --store_.openNow; }

  std::optional<RegistryValue> QueryValue(const std::string& name) override {
    const auto found = values_.find(name);
    return found == values_.end() ? std::nullopt : std::optional(found->second);
  }

  void SetValue(const std::string& name, const RegistryValue& value) override {
    if (store_.refusedWrites.count(name)) {
      throw ERegistryException("refused: " + name);
    }
    values_[name] = value;
  }

 private:
  MemoryRegistryStore& store_;
  MemoryRegistryStore::Values& values_;
};

}  // namespace

std::unique_ptr<RegistryKey> MemoryRegistryStore::CreateKey(const std::string& path) {
  if (!openable) {
    return nullptr;
  }
  ++opened;
  return std::make_unique<MemoryKey>(*this, keys[path]);
}

}  // namespace varnex::test
