#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "platform/registry/RegFileStore.h"
#include "tests/support/AsAnotherUser.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::AnotherUser;
using test::NamesIn;
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
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  const auto openBefore = openFiles();
  ASSERT_NE(Store().CreateKey(kKey), nullptr);
  EXPECT_EQ(ReadFile(Path()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Varnex]\r\n\r\n");
  struct stat status;
  ASSERT_EQ(stat(Path().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  ASSERT_NE(Store().CreateKey(kKey), nullptr);  // read this time
  EXPECT_EQ(openFiles(), openBefore);
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
      {"LineEnd", {REG_SZ, {'a', '\r', 0}}},
      {"Zone", {REG_SZ, {'a', ' ', 'z', 0}}},
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

  // Key and value names ignore case, and a final backslash.
  const auto key = Store().CreateKey("SOFTWARE\\varnex\\");
  for (const auto& [name, value] : values) {
    EXPECT_EQ(key->QueryValue(name), value) << name;
  }
  EXPECT_EQ(key->ReadInteger("top"), -100);
  EXPECT_EQ(key->ReadString("zONE"), "a z");
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

TEST_F(RegFileStoreTest, FilesWithoutTheHeaderAreKeptAsideEachUnderItsOwnName) {
  const std::string garbage = "[HKEY_CURRENT_USER\\Software\\Varnex]\n\"Top\"=dword:1\n";
  for (const int round : {1, 2, 3}) {
    WriteFile(garbage + std::to_string(round));
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryValue("Top"), std::nullopt);
    key->WriteInteger("Top", round);
  }
  EXPECT_EQ(ReadFile(Path() + ".bad"), garbage + "1");
  EXPECT_EQ(ReadFile(Path() + ".bad.1"), garbage + "2");
  EXPECT_EQ(ReadFile(Path() + ".bad.2"), garbage + "3");
  EXPECT_EQ(Store().CreateKey(kKey)->ReadInteger("Top"), 3);
}

// Dossier, Top and Left as read; "-" for a value that is not there.
std::string Summary(RegistryKey& key) {
  std::string summary = key.QueryValue("Dossier") ? key.ReadString("Dossier") : "-";
  for (const char* name : {"Top", "Left"}) {
    summary += ' ';
    summary += key.QueryValue(name) ? std::to_string(key.ReadInteger(name).value()) : "-";
  }
  return summary;
}

std::string Utf16WithMark(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// A file edited by hand is read line by line as regedit imports it, a line it cannot read
// costing that line alone; a save writes the three values where they are read from (or adds them
// to the key's last section) and brings every other line back as it was.
TEST_F(RegFileStoreTest, EditedFilesAreReadAsRegeditReadsThemAndComeBackAsTheyWere) {
  const std::string section = "[HKEY_CURRENT_USER\\Software\\Varnex]\n";
  const std::string head = "REGEDIT4\n" + section;
  // Neither deletes the key: one is another of the same length, the other a part of its name.
  const std::string deletions =
      "[-HKEY_CURRENT_USER\\Hardware]\n[-HKEY_CURRENT_USER\\Software\\Var]\n\"Top\"=dword:5\n";
  const std::string kept = "\"Top\"=dword:4\n\"Top\"=-x\n" + deletions;
  const std::string unread =
      "\"Top\"=DWORD:0000000a\n\"Top\"=dword:123456789\n\"Top\"=dword:9 x\n\"Dossier\"=\"/m\\0\"\n"
      "\"Dossier\"=\"/x\"#no\n";
  const std::string unreadAfter = "\"Left\":dword:9\n\"Left\"=hex(4)|09,00,00,00\n";
  // Regedit skips both lines, and the key stays open.
  const std::string odd =
      "[ HKEY_CURRENT_USER\\Software\\Other]\n[HKEY_CURRENT_USER\\Software\\Other\n";
  const std::string wrapped =
      "; \"Old\"=hex:01,\\\n\"Dossier\"=hex(2):2f,\\ ; wrapped\n  ; note\n\n";
  const std::string sections = "\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Top\"=dword:1\n\n" + head;
  const std::string other =
      "  ; mine\r\nREGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\" ; theirs";
  const std::string bom = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n" +
                          std::string("[HKEY_CURRENT_USER\\Software\\Varnex]\r\n");
  // 8193 bytes, the last one read on its own.
  const std::string longComment = head + std::string(8192 - head.size() - 13, ';') + "\n";
  struct Case {
    std::string file;
    std::string read;
    std::string saved;
  };
  const std::vector<Case> cases = {
      {"  REGEDIT4 \n  [HKEY_CURRENT_USER\\Software\\Varnex]  ; ours\n  \"Dossier\" = \"/m\"  \n" +
           odd + "\t\"Top\"\t=\tdword: 0000000A ; laptop\n\"Left\"=dword:12345678;x\n",
       "/m 10 305419896",
       "  REGEDIT4 \n  [HKEY_CURRENT_USER\\Software\\Varnex]  ; ours\n"
       "  \"Dossier\" = \"/my saved\"  \n" +
           odd +
           "\t\"Top\"\t=\tdword:0000001e ; laptop\n"
           "\"Left\"=dword:ffffffd8;x\n"},
      {"REGEDIT4\r[hkey_current_user\\software\\VARNEX\\]\r\"Top\"=dword:1\r\"Dossier\"=\"a\\nb\"\r"
       "\"top\"=dword:2\r",
       "a\nb 2 -",
       "REGEDIT4\r[hkey_current_user\\software\\VARNEX\\]\r\"Top\"=dword:1\r"
       "\"Dossier\"=\"/my saved\"\r\"top\"=dword:0000001e\r\"Left\"=dword:ffffffd8\r"},
      {head + unread + "\"Left\"=dword:5\n" + unreadAfter, "- - 5",
       head + unread +
           "\"Left\"=dword:ffffffd8\n\"Dossier\"=\"/my saved\"\n\"Top\"=dword:0000001e\n" +
           unreadAfter},
      {head + "\"Dossier\"=\"/m\"\n[-HKEY_CURRENT_USER\\Software]\n\"Top\"=dword:1\n" + section +
           "\"Left\"=dword:3\n\"Left\"=- ;gone\n" + kept,
       "- 4 -",
       head + "\"Dossier\"=\"/m\"\n[-HKEY_CURRENT_USER\\Software]\n\"Top\"=dword:1\n" + section +
           "\"Left\"=dword:3\n\"Left\"=- ;gone\n\"Top\"=dword:0000001e\n"
           "\"Dossier\"=\"/my saved\"\n\"Left\"=dword:ffffffd8\n\"Top\"=-x\n" +
           deletions},
      {head + "\"Dossier\"=\"\\/m\"\n" + sections + "\"Left\"=dword:2\n\n", "/m - 2",
       head + "\"Dossier\"=\"/my saved\"\n" + sections +
           "\"Left\"=dword:ffffffd8\n\"Top\"=dword:0000001e\n\n"},
      {head + wrapped + "  6d,00\n\"Top\"=dword:a\n\"Other\"=hex:41, \\\n; end", "/m 10 -",
       head + "; \"Old\"=hex:01,\\\n\"Dossier\"=\"/my saved\"\n\"Top\"=dword:0000001e\n"
              "\"Other\"=hex:41\n; end\n\"Left\"=dword:ffffffd8\n"},
      {bom + "\"Dossier\"=\"/m\"\r\n", "/m - -",
       bom + "\"Dossier\"=\"/my saved\"\r\n\"Top\"=dword:0000001e\r\n\"Left\"=dword:ffffffd8\r\n"},
      {Utf16WithMark(
           u"Windows Registry Editor Version 5.00\r\n\r\n"
           u"[HKEY_CURRENT_USER\\Software\\Varnex]\r\n\"Dossier\"=\"/m\u00e9\U0001F3B5\"\r\n"
           u"\"Path\"=hex(2):25,00,48,00,\\\r\n  00,00\r\n\"Bin\"=hex:41,00\r\n"),
       "/m\u00e9\U0001F3B5 - -",
       "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Varnex]\r\n"
       "\"Dossier\"=\"/my saved\"\r\n\"Path\"=hex(2):25,48,00\r\n\"Bin\"=hex:41,00\r\n"
       "\"Top\"=dword:0000001e\r\n"
       "\"Left\"=dword:ffffffd8\r\n"},
      {longComment + "\"Top\"=dword:5", "- 5 -",
       longComment +
           "\"Top\"=dword:0000001e\n\"Dossier\"=\"/my saved\"\n\"Left\"=dword:ffffffd8\n"},
      {other, "- - -",
       other + "\r\n\r\n[HKEY_CURRENT_USER\\Software\\Varnex]\r\n\"Dossier\"=\"/my saved\"\r\n"
               "\"Top\"=dword:0000001e\r\n\"Left\"=dword:ffffffd8\r\n\r\n"},
  };
  for (const Case& edited : cases) {
    WriteFile(edited.file);
    {
      const auto key = Store().CreateKey(kKey);
      ASSERT_NE(key, nullptr) << edited.file;
      EXPECT_EQ(Summary(*key), edited.read) << edited.file;
      key->WriteString("Dossier", "/my saved");
      key->WriteInteger("Top", 30);
      key->WriteInteger("Left", -40);
      EXPECT_EQ(Summary(*key), "/my saved 30 -40") << edited.file;
    }
    EXPECT_EQ(ReadFile(Path()), edited.saved) << edited.file;
    EXPECT_EQ(Summary(*Store().CreateKey(kKey)), "/my saved 30 -40") << edited.file;
    EXPECT_FALSE(std::filesystem::exists(Path() + ".bad")) << edited.file;
  }
}

// Opening the store runs in a child, so that a store that blocks fails the test instead of
// hanging it; true when the child could open the key and write a value within five seconds.
bool OpensAndWritesInTime(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(5);
    const auto key = RegFileStore(path).CreateKey(kKey);
    bool written = false;
    if (key) {
      try {
        key->WriteString("Dossier", "/new");
        written = true;
      } catch (const ERegistryException&) {
      }
    }
    _exit(written ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(RegFileStoreTest, WhatIsNotARegularFileIsKeptAsideWithoutWaiting) {
  std::filesystem::create_directories(folder / "Varnex");
  ASSERT_EQ(mkfifo(Path().c_str(), 0600), 0);
  ASSERT_TRUE(OpensAndWritesInTime(Path()));
  EXPECT_TRUE(std::filesystem::is_fifo(Path() + ".bad"));
  EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/new");

  std::filesystem::remove(Path());
  std::filesystem::create_directory(Path());
  ASSERT_TRUE(OpensAndWritesInTime(Path()));
  EXPECT_TRUE(std::filesystem::is_directory(Path() + ".bad.1"));
  EXPECT_TRUE(std::filesystem::is_fifo(Path() + ".bad"));
  EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/new");
}

TEST_F(RegFileStoreTest, LinksAreFollowedToTheSettings) {
  std::filesystem::create_directories(folder / "Varnex");
  std::filesystem::create_directories(folder / "dotfiles");
  WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Varnex]\n\"Dossier\"=\"/old\"\n");
  std::filesystem::rename(Path(), folder / "dotfiles/registry.reg");
  std::filesystem::create_symlink("../dotfiles/registry.reg", Path());
  {
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadString("Dossier"), "/old");
    key->WriteString("Dossier", "/new");
  }
  EXPECT_TRUE(std::filesystem::is_symlink(Path()));
  EXPECT_NE(ReadFile(folder / "dotfiles/registry.reg").find("\"Dossier\"=\"/new\""),
            std::string::npos);
  EXPECT_EQ(NamesIn(folder / "Varnex"),
            (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
  EXPECT_EQ(NamesIn(folder / "dotfiles"), std::set<std::string>{"registry.reg"});

  // What the link points to cannot be parsed: it is kept aside beside itself, each time under a
  // name of its own, and the link stays a link to the new contents.
  for (const std::string round : {"1", "2"}) {
    std::ofstream(folder / "dotfiles/registry.reg", std::ios::binary) << "garbage " << round;
    Store().CreateKey(kKey)->WriteString("Dossier", "/after " + round);
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/after " + round);
  }
  EXPECT_EQ(ReadFile(folder / "dotfiles/registry.reg.bad"), "garbage 1");
  EXPECT_EQ(ReadFile(folder / "dotfiles/registry.reg.bad.1"), "garbage 2");
  EXPECT_EQ(NamesIn(folder / "Varnex"),
            (std::set<std::string>{"registry.reg", "registry.reg.lock"}));

  // A link to where nothing is yet: the settings are made there.
  std::filesystem::remove(folder / "dotfiles/registry.reg");
  Store().CreateKey(kKey)->WriteString("Dossier", "/made");
  EXPECT_TRUE(std::filesystem::is_symlink(Path()));
  EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/made");
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / "dotfiles/registry.reg"));
}

// A link to a device or a FIFO is moved aside itself: what it points to is never renamed.
TEST_F(RegFileStoreTest, LinkToADeviceOrAFifoIsMovedAsideNotWhatItPointsTo) {
  std::filesystem::create_directories(folder / "Varnex");
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", Path());
  ASSERT_TRUE(OpensAndWritesInTime(Path()));
  std::filesystem::remove(Path());
  std::filesystem::create_symlink(fifo, Path());
  ASSERT_TRUE(OpensAndWritesInTime(Path()));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(std::filesystem::read_symlink(Path() + ".bad"), "/dev/null");
  EXPECT_EQ(std::filesystem::read_symlink(Path() + ".bad.1"), fifo);
  EXPECT_FALSE(std::filesystem::is_symlink(Path()));
  EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/new");
}

// Whatever takes the lock's name (a link, a folder, a FIFO) turns no lock off: the settings are
// read, but nothing is written until the lock can be taken again.
TEST_F(RegFileStoreTest, WithoutTheLockSettingsAreReadButNeverWritten) {
  const std::string before =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Varnex]\r\n\"Dossier\"=\"/old\"\r\n\r\n";
  WriteFile(before);
  const std::string lock = Path() + ".lock";
  const std::vector<std::function<void()>> plants = {
      [&] { std::filesystem::create_symlink(folder / "planted", lock); },
      [&] { std::filesystem::create_directory(lock); },
      [&] { ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0); },
  };
  for (const auto& plant : plants) {
    plant();
    {
      const auto key = Store().CreateKey(kKey);
      ASSERT_NE(key, nullptr);
      EXPECT_EQ(key->ReadString("Dossier"), "/old");
      EXPECT_THROW(key->WriteString("Dossier", "/new"), ERegistryException);
      EXPECT_EQ(key->ReadString("Dossier"), "/old");
    }
    // A key missing from the file reads as empty, and is not written either.
    const auto other = Store().CreateKey("Software\\Other");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->QueryValue("Keep"), std::nullopt);
    EXPECT_EQ(ReadFile(Path()), before);
    EXPECT_FALSE(std::filesystem::exists(folder / "planted"));
    std::filesystem::remove(lock);
  }
  Store().CreateKey(kKey)->WriteString("Dossier", "/new");
  EXPECT_EQ(Store().CreateKey(kKey)->ReadString("Dossier"), "/new");
}

// A tmpfs of 64 KiB mounted over a folder for one test, when this machine lets the test mount.
class TinyDisk {
 public:
  explicit TinyDisk(const std::string& at) : at_(at) {
    std::filesystem::create_directories(at);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0) {
      mounted_ = true;
    } else {
      refusal_ = std::strerror(errno);
    }
  }
  TinyDisk(const TinyDisk&) = delete;
  TinyDisk& operator=(const TinyDisk&) = delete;
  ~TinyDisk() {
    if (mounted_) {
      umount2(at_.c_str(), MNT_DETACH);
    }
  }

  bool Mounted() const { return mounted_; }
  const std::string& Refusal() const { return refusal_; }

  // Fills the disk to the last byte, then gives back `spare` bytes.
  void Fill(std::size_t spare) const {
    const std::string filler = at_ + "/filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    while (write(fd, "f", 1) > 0) {
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    EXPECT_EQ(ftruncate(fd, size - static_cast<off_t>(spare)), 0);
    close(fd);
  }

 private:
  std::string at_;
  bool mounted_ = false;
  std::string refusal_;
};

// A disk with no room, or room for part of the file only: the failed save is reported to the
// caller (who drops it silently) and the previous file stays whole, with nothing left beside it.
TEST_F(RegFileStoreTest, FullDiskLeavesThePreviousFileWhole) {
  TinyDisk disk(folder / "Varnex");
  if (!disk.Mounted()) {
    GTEST_SKIP() << "this machine does not let the test mount a tmpfs: " << disk.Refusal();
  }
  Store().CreateKey(kKey)->WriteString("Dossier", "/kept");
  const std::string before = ReadFile(Path());
  for (const std::size_t spare : {0, 4096}) {
    disk.Fill(spare);
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_THROW(key->WriteString("Dossier", std::string(20000, 'x')), ERegistryException);
    if (spare == 0) {
      EXPECT_THROW(key->WriteInteger("Top", 1), ERegistryException);
    }
    EXPECT_EQ(ReadFile(Path()), before) << spare;
    EXPECT_EQ(key->ReadString("Dossier"), "/kept");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "Varnex")) {
      names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"filler", "registry.reg", "registry.reg.lock"}));
  }
}

TEST_F(RegFileStoreTest, ReadOnlyFileIsReadButNeverReplaced) {
  Store().CreateKey(kKey)->WriteString("Dossier", "/kept");
  chmod(Path().c_str(), 0400);
  const std::string before = ReadFile(Path());
  {
    const auto key = Store().CreateKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadString("Dossier"), "/kept");
    EXPECT_THROW(key->WriteString("Dossier", "/other"), ERegistryException);
  }
  EXPECT_EQ(Store().CreateKey("Software\\Other"), nullptr);  // a key it cannot create
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
  // Nor is a file it cannot read at all opened, and so never replaced.
  chmod(path.c_str(), 0200);
  EXPECT_TRUE(other.Runs([&path] { return RegFileStore(path).CreateKey(kKey) == nullptr; }));
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
      for (int round = 0; round < 40; ++round) {
        const auto key = Store().CreateKey(kKey);
        if (!key) {
          _exit(1);
        }
        key->WriteString("Dossier", "/folder" + std::to_string(id));
        key->WriteInteger("Top", id);
        key->WriteInteger("Left", id);
        // Programs store their settings now and then, not in a tight loop: without a pause the
        // two writers could keep the lock between them for longer than a reader waits.
        usleep(20000);
      }
      _exit(0);
    }
    writers.push_back(child);
  }
  for (bool running = true; running;) {
    // Busy (no key) is an allowed answer while two writers take turns with the lock.
    const auto key = Store().CreateKey(kKey);
    if (key && key->QueryValue("Top")) {
      const std::int32_t id = key->ReadInteger("Top").value();
      EXPECT_EQ(key->ReadInteger("Left"), id);
      EXPECT_EQ(key->ReadString("Dossier"), "/folder" + std::to_string(id));
    }
    running = false;
    for (const pid_t writer : writers) {
      running = running || waitpid(writer, nullptr, WNOHANG) == 0;
    }
  }
  const auto key = Store().CreateKey(kKey);
  ASSERT_NE(key, nullptr);
  const std::int32_t last = key->ReadInteger("Top").value();
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
