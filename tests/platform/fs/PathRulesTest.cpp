#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/fs/PathRules.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::TempFolder;

class SplitPathTest : public testing::Test {
 protected:
  void SetUp() override {
    folder.Folder("music");
    folder.Folder("music/a");
    folder.File("music/song.mp3");
    fs.SetCurrentDirectory(folder.Path());
  }

  SplitPathResult Split(const std::string& text) { return SplitPath(fs, text); }

  TempFolder folder;
  PosixFileSystem fs;
};

TEST_F(SplitPathTest, FolderWithAndWithoutTrailingSlashAreTheSame) {
  const std::string music = folder / "music";
  for (const std::string& text : {music, music + "/"}) {
    const SplitPathResult split = Split(text);
    EXPECT_EQ(split.folder, music) << text;
    EXPECT_EQ(split.lastPart, "") << text;
  }
}

TEST_F(SplitPathTest, FileAndPatternKeepTheirLastPart) {
  const SplitPathResult file = Split(folder / "music/song.mp3");
  EXPECT_EQ(file.folder, folder / "music");
  EXPECT_EQ(file.lastPart, "song.mp3");
  const SplitPathResult pattern = Split(folder / "music/*.wav");
  EXPECT_EQ(pattern.folder, folder / "music");
  EXPECT_EQ(pattern.lastPart, "*.wav");
}

TEST_F(SplitPathTest, RootAndRelativeNames) {
  EXPECT_EQ(Split("/").folder, "/");
  EXPECT_EQ(Split("/tmp").folder, "/tmp");
  EXPECT_EQ(Split("music").folder, folder / "music");  // a bare name is taken from here
  EXPECT_EQ(Split("[music]").folder, folder / "music");
  EXPECT_EQ(Split("[]").folder, folder.Path());  // brackets around nothing: here
  // A one-letter relative folder stays relative; it must not turn into a folder of the root.
  EXPECT_EQ(Split("music/a").folder, "music/a");
  fs.SetCurrentDirectory(folder / "music");
  EXPECT_EQ(Split("a/").folder, "a");
  EXPECT_EQ(Split("a").folder, folder / "music/a");
}

TEST_F(SplitPathTest, FolderNamedWithWildcardsIsThatFolder) {
  const std::string odd = folder.Folder("music/a*?");
  EXPECT_EQ(Split(odd).folder, odd);
  EXPECT_EQ(Split(odd).lastPart, "");
  EXPECT_EQ(Split(folder / "music/a?*").lastPart, "a?*");  // no such folder: a pattern
}

TEST_F(SplitPathTest, MissingPartsFailAndTheCurrentDirectoryStays) {
  for (const std::string& text :
       {folder / "missing", folder / "missing/x.mp3", folder / "music/missing.mp3",
        std::string("\"") + folder.Path() + "\""}) {
    EXPECT_THROW(Split(text), EInOutError) << text;
    EXPECT_EQ(fs.CurrentDirectory(), folder.Path()) << text;
  }
}

TEST_F(SplitPathTest, SucceedingSplitLeavesTheCurrentDirectoryToo) {
  Split(folder / "music/a");
  EXPECT_EQ(fs.CurrentDirectory(), folder.Path());
}

TEST(JoinPath, PutsExactlyOneSlashBetween) {
  EXPECT_EQ(JoinPath("/music", "a.mp3"), "/music/a.mp3");
  EXPECT_EQ(JoinPath("/", "a.mp3"), "/a.mp3");
  EXPECT_EQ(AbsolutePath("rel/x", "/start"), "/start/rel/x");
  EXPECT_EQ(AbsolutePath("/abs", "/start"), "/abs");
  EXPECT_EQ(AbsolutePath("", "/start"), "");
}

}  // namespace
}  // namespace varnex
