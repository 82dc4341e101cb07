#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "tests/support/MemoryRegistryStore.h"

namespace varnex {
namespace {

using test::MemoryRegistryStore;

const std::string kKey = "Software\\Varnex";

RegistryValue Text(std::uint32_t type, const std::string& text) {
  RegistryValue value{type, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  return value;
}

TEST(RegistryKeyRules, ReadAndWriteAsTheRegistryDoes) {
  MemoryRegistryStore store;
  const auto key = store.CreateKey(kKey);
  auto& values = store.keys[kKey];
  values = {{"empty", {REG_SZ, {}}},
            {"nul", {REG_SZ, {'a', 0, 'b', 0}}},
            {"binary", {REG_BINARY, {'a', 0}}},
            {"short", {REG_DWORD, {0x34, 0x12}}},
            {"none", {REG_DWORD, {}}},
            {"five", {REG_DWORD, {1, 0, 0, 0, 0}}},
            {"text", Text(REG_SZ, "7")}};
  EXPECT_EQ(key->ReadString("missing"), "");
  EXPECT_EQ(key->ReadString("empty"), "");
  EXPECT_EQ(key->ReadString("nul"), "a");
  EXPECT_THROW(key->ReadString("binary"), ERegistryException);
  EXPECT_EQ(key->ReadInteger("short"), 0x1234);
  EXPECT_EQ(key->ReadInteger("none"), 0);
  EXPECT_EQ(key->ReadInteger("five"), std::nullopt);
  EXPECT_EQ(key->ReadInteger("missing"), std::nullopt);
  EXPECT_EQ(key->ReadInteger("text"), std::nullopt);

  key->WriteInteger("negative", -100);
  EXPECT_EQ(values.at("negative"), (RegistryValue{REG_DWORD, {0x9c, 0xff, 0xff, 0xff}}));
  EXPECT_EQ(key->ReadInteger("negative"), -100);
  key->WriteString("folder", "/m");
  EXPECT_EQ(values.at("folder"), (RegistryValue{REG_SZ, {'/', 'm', 0}}));
}

}  // namespace
}  // namespace varnex
