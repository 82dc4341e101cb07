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

// A folder, with or without a trailing slash, splits into itself; a file or a pattern keeps its
// last part; a folder named with wildcards is that folder, and a pattern where there is no such
// folder.
TEST_F(SplitPathTest, FoldersFilesAndPatternsSplitIntoFolderAndLastPart) {
  const std::string music = folder / "music";
  const std::string odd = folder.Folder("music/a*?");
  const std::string cases[][3] = {
      {music, music, ""},
      {music + "/", music, ""},
      {music + "/song.mp3", music, "song.mp3"},
      {music + "/*.wav", music, "*.wav"},
      {odd, odd, ""},
      {music + "/a?*", music, "a?*"},
  };
  for (const auto& [text, inFolder, lastPart] : cases) {
    SCOPED_TRACE(text);
    const SplitPathResult split = Split(text);
    EXPECT_EQ(split.folder, inFolder);
    EXPECT_EQ(split.lastPart, lastPart);
  }
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

TEST_F(SplitPathTest, MissingPartsFailAndNoSplitMovesTheCurrentDirectory) {
  Split(folder / "music/a");  // nor does a split that succeeds move it
  EXPECT_EQ(fs.CurrentDirectory(), folder.Path());
  for (const std::string& text :
       {folder / "missing", folder / "missing/x.mp3", folder / "music/missing.mp3",
        std::string("\"") + folder.Path() + "\""}) {
    EXPECT_THROW(Split(text), EInOutError) << text;
    EXPECT_EQ(fs.CurrentDirectory(), folder.Path()) << text;
  }
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
