#include <algorithm>

#include "RegistryStore.h"

namespace varnex {

std::string RegistryKey::ReadString(const std::string& name) {
  const std::optional<RegistryValue> value = QueryValue(name);
  if (!value || value->data.empty()) {
    return {};
  }
  if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  const auto end = std::find(value->data.begin(), value->data.end(), 0);
  return {value->data.begin(), end};
}

std::optional<std::int32_t> RegistryKey::ReadInteger(const std::string& name) {
  const std::optional<RegistryValue> value = QueryValue(name);
  if (!value || value->type != REG_DWORD || value->data.size() > 4) {
    return std::nullopt;
  }
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < value->data.size(); ++i) {
    bits |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
  }
  return static_cast<std::int32_t>(bits);
}

void RegistryKey::WriteString(const std::string& name, const std::string& text) {
  RegistryValue value{REG_SZ, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  SetValue(name, value);
}

void RegistryKey::WriteInteger(const std::string& name, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  SetValue(name, {REG_DWORD,
                  {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                   static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}});
}

}  // namespace varnex
