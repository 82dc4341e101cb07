#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/registry/RegFileStore.h"
#include "platform/registry/RegeditFormat.h"
#include "tests/support/AsAnotherUser.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::AnotherUser;
using test::ReadFile;
using test::TempFolder;

const std::string kKey = "Software\\Varnex";

class RegFileStoreTest : public testing::Test {
 protected:
  std::string Path() const { return folder / "Varnex/registry.reg"; }
  RegFileStore Store() const { return RegFileStore(Path()); }

  void WriteFile(const std::string& text) const {
    std::filesystem::create_directories(folder / "Varnex");
    std::ofstream(Path(), std::ios::binary) << text;
  }

  TempFolder folder;
};

TEST_F(RegFileStoreTest, OpeningCreatesTheKeyAndAPrivateFile) {
  ASSERT_NE(Store().CreateKey(kKey), nullptr);
  EXPECT_EQ(ReadFile(Path()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Varnex]\r\n\r\n");
  struct stat status;
  ASSERT_EQ(stat(Path().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(RegFileStoreTest, EveryTypeComesBackByteForByte) {
  const std::vector<std::pair<std::string, RegistryValue>> values = {
      {"Dossier", {REG_SZ, {'C', ':', '\\', '"', 'x', '"', 0}}},
      {"Utf8", {REG_SZ, {0xC3, 0xA9, 0}}},
      {"NotUtf8", {REG_SZ, {'a', 0xFF, 0}}},
      {"Newline", {REG_SZ, {'a', '\n', 'b', 0}}},
      {"NoNul", {REG_SZ, {'a'}}},
      {"Empty", {REG_SZ, {}}},
      {"Expand", {REG_EXPAND_SZ, {'%', 'H', '%', 0}}},
      {"Top", {REG_DWORD, {0x9c, 0xff, 0xff, 0xff}}},
      {"Binary", {REG_BINARY, {0, 1, 2, 254}}},
      {"Multi", {7, {'a', 0, 'b', 0, 0}}},
      {"", {REG_SZ, {'d', 0}}},
  };
  {
    const auto key = Store().CreateKey(kKey);
    for (const auto& [name, value] : values) {
      key->SetValue(name, value);
    }
  }
  const std::string text = ReadFile(Path());
  EXPECT_NE(text.find("\"Dossier\"=\"C:\\\\\\\"x\\\"\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Top\"=dword:ffffff9c\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Expand\"=hex(2):25,48,25,00\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Binary\"=hex:00,01,02,fe\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("@=\"d\"\r\n"), std::string::npos) << text;

  const auto key = Store().CreateKey("SOFTWARE\\varnex");  // key and value names ignore case
  for (const auto& [name, value] : values) {
    EXPECT_EQ(key->QueryValue(name), value) << name;
  }
  EXPECT_EQ(key->ReadInteger("top"), -100);
}

TEST_F(RegFileStoreTest, HandEditedFilesAreReadAndOtherKeysKept) {
  WriteFile(
      "REGEDIT4\n"
      "; written by hand\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"Keep\"=\"me\"\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Varnex]\n"
      "\"Dossier\"=\"/music\"\n"
      "\"Top\"=dword:8a\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03,04\n");
  {
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadString("Dossier"), "/music");
    EXPECT_EQ(key->ReadInteger("Top"), 0x8a);
    EXPECT_EQ(key->QueryValue("Long"), (RegistryValue{REG_BINARY, {1, 2, 3, 4}}));
    key->WriteInteger("Left", 5);
  }
  const auto other = Store().CreateKey("Software\\Other");
  EXPECT_EQ(other->ReadString("Keep"), "me");
}

TEST_F(RegFileStoreTest, UnreadableFileIsKeptAsideNotLost) {
  const std::string garbage = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Varnex]\n\"Top\"=dword:zz\n";
  WriteFile(garbage);
  {
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryValue("Top"), std::nullopt);
    key->WriteInteger("Top", 1);
  }
  EXPECT_EQ(ReadFile(Path() + ".bad"), garbage);
  EXPECT_EQ(Store().CreateKey(kKey)->ReadInteger("Top"), 1);
}

TEST_F(RegFileStoreTest, ReadOnlyFileIsReadButNeverReplaced) {
  Store().CreateKey(kKey)->WriteString("Dossier", "/kept");
  chmod(Path().c_str(), 0400);
  const std::string before = ReadFile(Path());
  const auto key = Store().CreateKey(kKey);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadString("Dossier"), "/kept");
  EXPECT_THROW(key->WriteString("Dossier", "/other"), ERegistryException);
  EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(RegFileStoreTest, FolderThatCannotBeWrittenStillReads) {
  AnotherUser other;
  if (!other.Available()) {
    GTEST_SKIP() << other.WhyNot();
  }
  const std::string path = other.Scratch() / "Varnex/registry.reg";
  RegFileStore(path).CreateKey(kKey)->WriteString("Dossier", "/kept");
  chmod(path.c_str(), 0644);  // readable by the user who checks, folder writable only by root
  chmod((other.Scratch() / "Varnex").c_str(), 0755);
  const std::string before = ReadFile(path);
  EXPECT_TRUE(other.Runs([&path] {
    const auto key = RegFileStore(path).CreateKey(kKey);
    if (!key || key->ReadString("Dossier") != "/kept") {
      return false;
    }
    try {
      key->WriteString("Dossier", "/other");
      return false;
    } catch (const ERegistryException&) {
      return true;
    }
  }));
  EXPECT_EQ(ReadFile(path), before);
}

// Two programs write their three values again and again at the same time: every state of the
// file, read between their writes, holds the three values of one of them.
TEST_F(RegFileStoreTest, ConcurrentWritersNeverMixTheirValues) {
  Store().CreateKey(kKey);
  std::vector<pid_t> writers;
  for (const int id : {1, 2}) {
    const pid_t child = fork();
    if (child == 0) {
      for (int round = 0; round < 60; ++round) {
        const auto key = Store().CreateKey(kKey);
        if (!key) {
          _exit(1);
        }
        key->WriteString("Dossier", "/folder" + std::to_string(id));
        key->WriteInteger("Top", id);
        key->WriteInteger("Left", id);
      }
      _exit(0);
    }
    writers.push_back(child);
  }
  for (bool running = true; running;) {
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    const auto top = key->QueryValue("Top");
    if (top) {
      const std::int32_t id = key->ReadInteger("Top");
      EXPECT_EQ(key->ReadInteger("Left"), id);
      EXPECT_EQ(key->ReadString("Dossier"), "/folder" + std::to_string(id));
    }
    running = false;
    for (const pid_t writer : writers) {
      running = running || waitpid(writer, nullptr, WNOHANG) == 0;
    }
  }
  const auto key = Store().CreateKey(kKey);
  const std::int32_t last = key->ReadInteger("Top");
  EXPECT_EQ(key->ReadInteger("Left"), last);
  EXPECT_EQ(key->ReadString("Dossier"), "/folder" + std::to_string(last));
}

// A program killed at any moment while it writes leaves the old file or the new one.
TEST_F(RegFileStoreTest, KilledWriterLeavesAWholeFile) {
  const std::string big(200000, 'x');
  Store().CreateKey(kKey)->WriteString("Dossier", "a" + big);
  for (int attempt = 0; attempt < 15; ++attempt) {
    const pid_t child = fork();
    if (child == 0) {
      for (int round = 0;; ++round) {
        Store().CreateKey(kKey)->WriteString("Dossier", std::string(1, "ab"[round % 2]) + big);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + attempt * 3));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const auto key = Store().CreateKey(kKey);  // a lock left by the killed writer is stale
    ASSERT_NE(key, nullptr) << attempt;
    const std::string folderText = key->ReadString("Dossier");
    EXPECT_TRUE(folderText == "a" + big || folderText == "b" + big) << attempt;
  }
}

TEST(RegFileStorePath, FollowsTheXdgConfigHome) {
  const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegFileStore::DefaultPath(), "/cfg/Varnex/registry.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegFileStore::DefaultPath(),
            std::string(std::getenv("HOME")) + "/.config/Varnex/registry.reg");
  if (!saved.empty()) {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  }
}

}  // namespace
}  // namespace varnex
