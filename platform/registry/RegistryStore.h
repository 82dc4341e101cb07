#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Exception.h"

namespace varnex {

// Value types, with the registry's numbers.
enum RegistryType : std::uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

// A value as the registry keeps it: its type and its raw bytes.
struct RegistryValue {
  std::uint32_t type = REG_NONE;
  std::vector<std::uint8_t> data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// One open key of the per-user store; it is closed when destroyed. The typed reads and writes
// follow the registry's rules on top of the two raw operations a store provides.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // The value's type and bytes, or nullopt when the key has no value of that name.
  virtual std::optional<RegistryValue> QueryValue(const std::string& name) = 0;
  // Stores a value; throws ERegistryException when the store refuses it.
  virtual void SetValue(const std::string& name, const RegistryValue& value) = 0;

  // A missing value or one of size 0 is the empty text. REG_SZ and REG_EXPAND_SZ give their text
  // up to the first NUL, never expanded; any other type throws.
  std::string ReadString(const std::string& name);
  // Nullopt unless the value exists, is REG_DWORD and holds at most 4 bytes (little-endian): a
  // first start has no values, and finds that out without an exception.
  std::optional<std::int32_t> ReadInteger(const std::string& name);
  // REG_SZ with its terminating NUL.
  void WriteString(const std::string& name, const std::string& text);
  // REG_DWORD of 4 bytes, little-endian.
  void WriteInteger(const std::string& name, std::int32_t value);
};

// The per-user store: keys by path ("Software\Varnex") under the current user's root.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Opens the key, creating it when missing; nullptr when it can be neither opened nor created.
  virtual std::unique_ptr<RegistryKey> CreateKey(const std::string& path) = 0;
};

}  // namespace varnex
