// The conversion for real on file systems that refuse the no-replace flag: NTFS and exFAT through
// FUSE, on images the test makes and mounts itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "app/ConvertFolder.h"
#include "platform/fs/NoReplaceRename.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/InterruptedPass.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::ReadFile;
using test::TempFolder;

// The first line a shell command prints; throws when it fails.
std::string Run(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  std::array<char, 512> line{};
  const bool read = fgets(line.data(), line.size(), pipe) != nullptr;
  if (pclose(pipe) != 0) {
    throw std::runtime_error("failed: " + command);
  }
  std::string text = read ? line.data() : "";
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

// A file system image mounted through FUSE for the test's lifetime.
class MountedImage {
 public:
  // Throws std::runtime_error when the image cannot be made or mounted, leaving nothing behind.
  MountedImage(const TempFolder& work, const std::string& kind) : mountPoint_(work.Folder("mnt")) {
    try {
      Mount(work, kind);
    } catch (const std::runtime_error&) {
      Release();
      throw;
    }
  }
  MountedImage(const MountedImage&) = delete;
  MountedImage& operator=(const MountedImage&) = delete;
  ~MountedImage() { Release(); }

  const std::string& Path() const { return mountPoint_; }

 private:
  void Mount(const TempFolder& work, const std::string& kind) {
    const std::string image = work / "disk.img";
    Run("truncate -s 64M " + image);
    if (kind == "ntfs") {
      Run("mkntfs -F -Q -q " + image);
      Run("ntfs-3g " + image + " " + mountPoint_);
    } else {
      Run("mkfs.exfat " + image);
      loopDevice_ = Run("losetup -f --show " + image);  // exfat-fuse as root wants a block device
      Run("mount.exfat-fuse " + loopDevice_ + " " + mountPoint_);
    }
    struct stat mounted, parent;
    if (stat(mountPoint_.c_str(), &mounted) != 0 || stat(work.Path().c_str(), &parent) != 0 ||
        mounted.st_dev == parent.st_dev) {
      throw std::runtime_error(kind + " image is not mounted at " + mountPoint_);
    }
  }

  void Release() {
    std::system(("umount " + mountPoint_ + " 2>/dev/null").c_str());
    if (!loopDevice_.empty()) {
      std::system(("losetup -d " + loopDevice_ + " 2>/dev/null").c_str());
    }
  }

  std::string mountPoint_;
  std::string loopDevice_;
};

std::string SkipReason(const std::string& kind) {
  if (geteuid() != 0) {
    return "mounting images needs root";
  }
  if (access("/dev/fuse", R_OK | W_OK) != 0) {
    return "/dev/fuse is missing here";
  }
  const char* tools = kind == "ntfs" ? "mkntfs ntfs-3g" : "mkfs.exfat mount.exfat-fuse losetup";
  if (std::system((std::string("command -v ") + tools + " >/dev/null 2>&1").c_str()) != 0) {
    return std::string("missing ") + tools;
  }
  return {};
}

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Each test gets a fresh image of its kind, mounted; or it is skipped, saying why.
class FuseConversionTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (const std::string reason = SkipReason(kind); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
    try {
      disk = std::make_unique<MountedImage>(work, kind);
    } catch (const std::runtime_error& refused) {
      GTEST_SKIP() << "this machine does not let the test mount an image: " << refused.what();
    }
  }

  const std::string kind = GetParam();
  TempFolder work;
  std::unique_ptr<MountedImage> disk;
};

TEST_P(FuseConversionTest, ConvertsWithoutReplacingAnything) {
  const std::string music = disk->Path() + "/music";
  std::filesystem::create_directory(music);
  Write(music + "/a.mp3", "A");
  Write(music + "/b.MP3", "B");
  Write(music + "/c.mp3", "C");
  Write(music + "/c.iad", "taken");
  std::filesystem::create_directory(music + "/d.mp3");

  PosixFileSystem fs;
  ConvertFolder(fs, music, "mp3", "iad");
  EXPECT_EQ(ReadFile(music + "/a.iad"), "A");
  EXPECT_EQ(ReadFile(music + "/b.iad"), "B");
  EXPECT_EQ(ReadFile(music + "/c.mp3"), "C");
  EXPECT_EQ(ReadFile(music + "/c.iad"), "taken");
  EXPECT_TRUE(std::filesystem::is_directory(music + "/d.iad"));
  EXPECT_FALSE(std::filesystem::exists(music + "/a.mp3"));

  ConvertFolder(fs, music, "iad", "mp3");
  EXPECT_EQ(ReadFile(music + "/a.mp3"), "A");
  EXPECT_EQ(ReadFile(music + "/b.mp3"), "B");
  EXPECT_EQ(ReadFile(music + "/c.iad"), "taken");  // c.mp3 is there, so c.iad stays
}

// Which way each file system takes, for a file and for a folder, and that each refuses a name
// that is taken (exFAT ignores letter case, so a name in other letters is taken too).
TEST_P(FuseConversionTest, SaysWhichWayItRenames) {
  const std::string root = disk->Path();
  Write(root + "/file.mp3", "F");
  std::filesystem::create_directory(root + "/folder.mp3");
  Write(root + "/x.mp3", "X");
  Write(root + "/x.iad", "taken");

  const RenameResult file = RenameWithoutReplacing(root + "/file.mp3", root + "/file.iad");
  const RenameResult folder = RenameWithoutReplacing(root + "/folder.mp3", root + "/folder.iad");
  const RenameResult taken = RenameWithoutReplacing(root + "/x.mp3", root + "/x.iad");
  EXPECT_FALSE(file.error);
  EXPECT_FALSE(folder.error);
  EXPECT_EQ(taken.error, std::errc::file_exists);
  EXPECT_EQ(file.method,
            kind == "ntfs" ? RenameMethod::LinkThenUnlink : RenameMethod::CheckThenRename);
  EXPECT_EQ(folder.method, RenameMethod::CheckThenRename);
  EXPECT_EQ(ReadFile(root + "/x.iad"), "taken");
  if (kind == "exfat") {
    Write(root + "/Y.IAD", "taken");
    Write(root + "/y.mp3", "Y");
    EXPECT_EQ(RenameWithoutReplacing(root + "/y.mp3", root + "/y.iad").error,
              std::errc::file_exists);
    EXPECT_EQ(ReadFile(root + "/Y.IAD"), "taken");
  }
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Killed in the middle of a pass, on a file system whose readdir gives no inode numbers and whose
// renames are not atomic refusals: the journal still brings back every entry that was renamed.
// FUSE makes every rename here cost a search of the folder, so the folder is smaller than on a
// kernel file system, where the same test runs with 50,000 entries.
TEST_P(FuseConversionTest, UndoAfterAKillInTheMiddleOfAPassRestoresEveryRenamedEntry) {
  constexpr int kFiles = 3000;
  const std::string music = disk->Path() + "/music";
  std::filesystem::create_directory(music);
  for (int i = 0; i < kFiles; ++i) {
    Write(music + "/track " + std::to_string(i) + (i % 7 ? ".mp3" : ".MP3"), std::to_string(i));
  }
  const std::set<std::string> start = Names(music);
  const std::string state = work / "state";
  const test::InterruptedPass pass = test::KillMidPass(VARNEX_CONVERT_BINARY, music, state);
  ASSERT_EQ(pass.planned.renames.size(), static_cast<std::size_t>(kFiles));
  EXPECT_TRUE(pass.killed);
  std::size_t renamed = 0;
  for (const std::string& name : Names(music)) {
    renamed += name.ends_with(".iad");
  }
  EXPECT_GT(renamed, 0u);
  EXPECT_LT(renamed, static_cast<std::size_t>(kFiles)) << "the pass ended before the kill";

  const std::string undo = std::string("XDG_STATE_HOME=") + state + " " + VARNEX_CONVERT_BINARY +
                           " --undo " + music + " 2>/dev/null | tail -n 1";
  const std::string summary = varnex::Run(undo + "; true");
  EXPECT_NE(summary.find(": " + std::to_string(renamed) + " restored"), std::string::npos)
      << summary;
  EXPECT_TRUE(Names(music) == start);
  EXPECT_EQ(ReadFile(music + "/track 7.MP3"), "7");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, FuseConversionTest, testing::Values("ntfs", "exfat"));

}  // namespace
}  // namespace varnex
