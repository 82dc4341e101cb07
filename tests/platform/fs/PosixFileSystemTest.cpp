#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "platform/Exception.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/AsAnotherUser.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::AnotherUser;
using test::TempFolder;

std::map<std::string, std::uint32_t> Search(FileSystem& fs, const std::string& pattern,
                                            std::uint32_t attributeWord) {
  std::map<std::string, std::uint32_t> found;
  const auto search = fs.Find(pattern, attributeWord);
  // Read as the list reads, into one entry, which starts with what an earlier search left.
  FoundEntry entry{"a name longer than any in the folder, left from before",
                   faDirectory | faHidden};
  while (search->ReadNext(entry)) {
    EXPECT_TRUE(found.emplace(entry.name, entry.attributes).second) << "twice: " << entry.name;
  }
  return found;
}

std::set<std::string> Names(const std::map<std::string, std::uint32_t>& found) {
  std::set<std::string> names;
  for (const auto& [name, attributes] : found) {
    names.insert(name);
  }
  return names;
}

// A folder with one of every kind of entry a music folder may hold by accident.
class MixedFolder : public testing::Test {
 protected:
  void SetUp() override {
    folder.File("plain.mp3");
    folder.File("Upper.MP3");
    folder.File("a.mp3x");
    folder.File(".hidden.mp3");
    folder.File("with space.mp3");
    folder.File("quote\"s 'and' new\nline.mp3");
    folder.File("caf\xE9.mp3");
    chmod(folder.File("locked.mp3").c_str(), 0444);
    folder.Folder("sub.mp3");
    folder.Fifo("pipe.mp3");
    folder.Socket("socket.mp3");
    folder.Symlink("broken.mp3", "nowhere");
    folder.Symlink("loop.mp3", "loop.mp3");
    folder.Symlink("link.mp3", "plain.mp3");
    folder.Symlink("dirlink.mp3", "sub.mp3");
  }

  AnotherUser other;  // whose rights tell what is read-only; the folder is within their reach
  const TempFolder& folder = other.Scratch();
  PosixFileSystem fs;
};

TEST_F(MixedFolder, ListingSearchYieldsPlainFilesOnly) {
  const auto found = Search(fs, folder / "*.mp3", 0);
  EXPECT_EQ(Names(found), (std::set<std::string>{"plain.mp3", "Upper.MP3", "with space.mp3",
                                                 "quote\"s 'and' new\nline.mp3", "caf\xE9.mp3",
                                                 "locked.mp3", "link.mp3"}));
  EXPECT_EQ(found.at("plain.mp3"), faArchive);
}

TEST_F(MixedFolder, FolderWordAddsFoldersAndLinksToFolders) {
  const auto found = Search(fs, folder / "*.mp3", faDirectory);
  EXPECT_TRUE(found.count("sub.mp3") && found.count("dirlink.mp3"));
  EXPECT_EQ(found.at("sub.mp3"), faDirectory);
  EXPECT_FALSE(found.count("pipe.mp3") || found.count(".hidden.mp3"));
}

TEST_F(MixedFolder, FullWordYieldsEveryMatchWithItsAttributes) {
  const auto found = Search(fs, folder / "*.mp3", 63);
  EXPECT_EQ(found.size(), 14u);  // everything but a.mp3x
  EXPECT_EQ(found.at(".hidden.mp3"), faHidden | faArchive);
  EXPECT_EQ(found.at("pipe.mp3") & faSysFile, faSysFile);
  EXPECT_EQ(found.at("socket.mp3") & faSysFile, faSysFile);
  EXPECT_EQ(found.at("broken.mp3") & faSysFile, faSysFile);
  EXPECT_EQ(found.at("loop.mp3") & faSysFile, faSysFile);
}

TEST_F(MixedFolder, ReadOnlyIsWhatTheUserMayNotWrite) {
  if (!other.Available()) {
    GTEST_SKIP() << other.WhyNot();
  }
  chown((folder / "plain.mp3").c_str(), AnotherUser::kUid, AnotherUser::kGid);  // theirs to write
  EXPECT_TRUE(other.Runs([&] {
    const auto found = Search(fs, folder / "*.mp3", 63);
    // Told alike by a search and by the path alone.
    const auto readOnly = [&](const std::string& name) {
      return std::pair<bool, bool>(found.at(name) & faReadOnly,
                                   *fs.Attributes(folder / name) & faReadOnly);
    };
    const std::pair<bool, bool> yes{true, true};
    const std::pair<bool, bool> no{false, false};
    return readOnly("locked.mp3") == yes && readOnly("Upper.MP3") == yes &&
           readOnly("plain.mp3") == no;
  }));
}

// The folder of an entry directly under the root is the root itself.
TEST(PosixFileSystem, EntriesDirectlyUnderTheRootHaveTheRootForFolder) {
  PosixFileSystem fs;
  EXPECT_TRUE(Names(Search(fs, "/*", faDirectory)).count("tmp"));
  EXPECT_EQ(Names(Search(fs, "/tmp", faDirectory)), std::set<std::string>{"tmp"});
  // Whether an entry may move is asked of its folder, however the path is spelt.
  EXPECT_EQ(fs.RenameRefusal("/tmp"), fs.RenameRefusal("/./tmp"));
}

TEST_F(MixedFolder, PlainNameFindsThatEntryAlone) {
  EXPECT_EQ(Names(Search(fs, folder / "plain.mp3", faDirectory)),
            std::set<std::string>{"plain.mp3"});
  EXPECT_EQ(Names(Search(fs, folder / "sub.mp3", faDirectory)), std::set<std::string>{"sub.mp3"});
  EXPECT_TRUE(Search(fs, folder / "PLAIN.mp3", faDirectory).empty());  // names are exact here
  EXPECT_TRUE(Search(fs, folder / ".hidden.mp3", faDirectory).empty());
  EXPECT_TRUE(Search(fs, folder / "pipe.mp3", faDirectory).empty());
  EXPECT_TRUE(
      Search(fs, folder / "sub.mp3/", faDirectory).empty());  // a trailing "/" finds nothing
  EXPECT_TRUE(Search(fs, folder / "missing", faDirectory).empty());
  EXPECT_TRUE(Search(fs, folder / "missing/*.mp3", 63).empty());
}

TEST_F(MixedFolder, AttributesOfAPath) {
  EXPECT_EQ(fs.Attributes(folder / "plain.mp3"), faArchive);
  EXPECT_EQ(fs.Attributes(folder / "sub.mp3"), faDirectory);
  EXPECT_EQ(fs.Attributes(folder / ".hidden.mp3"), faHidden | faArchive);
  EXPECT_EQ(fs.Attributes(folder / "broken.mp3"), faSysFile);
  EXPECT_EQ(fs.Attributes(folder / "pipe.mp3"), faSysFile);
  EXPECT_EQ(fs.Attributes(folder / "missing"), std::nullopt);
  // The root is read-only to everyone but root.
  EXPECT_EQ(fs.Attributes("/"), faDirectory | (access("/", W_OK) == 0 ? 0u : faReadOnly));
}

TEST(PosixFileSystem, EntersFoldersAndReportsWhyNot) {
  TempFolder folder;
  PosixFileSystem fs;
  const std::string sub = folder.Folder("sub");
  fs.SetCurrentDirectory(sub);
  EXPECT_EQ(fs.CurrentDirectory(), sub);

  auto codeFor = [&fs](const std::string& path) {
    try {
      fs.SetCurrentDirectory(path);
    } catch (const EInOutError& error) {
      return error.ErrorCode();
    }
    return 0;
  };
  EXPECT_EQ(codeFor(folder / "missing"), 2);
  EXPECT_EQ(codeFor(folder.File("file")), 3);
  EXPECT_EQ(codeFor(folder.Symlink("loop", "loop")), 3);
  EXPECT_EQ(fs.CurrentDirectory(), sub);  // failures leave the current directory alone
}

// Entering a folder gives what changing the process's working directory gives (the same folder, or
// the same error), yet the working directory stays where it is.
TEST(PosixFileSystem, EntersFoldersAsChangingTheWorkingDirectoryWould) {
  TempFolder folder;
  folder.Folder("sub");
  folder.Folder("sub/inner");
  folder.File("file");
  folder.Symlink("loop", "loop");
  folder.Symlink("broken", "nowhere");
  folder.Symlink("link", "sub/inner");
  const std::string startedIn = std::filesystem::current_path();
  const auto bySystem = [&](const std::string& path) {
    std::filesystem::current_path(folder.Path());
    const std::string result =
        chdir(path.c_str()) == 0
            ? std::filesystem::current_path().string()
            : "error " + std::to_string(EInOutError::FromErrno(errno).ErrorCode());
    std::filesystem::current_path(startedIn);
    return result;
  };
  const auto byFileSystem = [&](const std::string& path) {
    PosixFileSystem fs;
    fs.SetCurrentDirectory(folder.Path());
    try {
      fs.SetCurrentDirectory(path);
      return fs.CurrentDirectory();
    } catch (const EInOutError& error) {
      EXPECT_EQ(fs.CurrentDirectory(), folder.Path()) << path;
      return "error " + std::to_string(error.ErrorCode());
    }
  };
  for (const std::string& path : std::vector<std::string>{
           folder / "sub", "sub", "sub/", "./sub/inner/..", "link", "link/..", "/", "//", "..",
           "missing", "missing/x", "file", "file/", "file/x", "loop", "broken", "",
           std::string(300, 'x'), folder / "sub/../file"}) {
    EXPECT_EQ(byFileSystem(path), bySystem(path)) << path;
  }
  EXPECT_EQ(std::filesystem::current_path(), startedIn);
}

// Relative names everywhere are taken from the file system's own directory, whatever the process's
// working directory is.
TEST(PosixFileSystem, RelativeNamesAreTakenFromItsOwnDirectory) {
  TempFolder folder;
  folder.Folder("sub");
  folder.File("a.mp3");
  PosixFileSystem fs;
  fs.SetCurrentDirectory(folder.Path());
  EXPECT_EQ(fs.Attributes("sub"), faDirectory);
  EXPECT_EQ(Names(Search(fs, "*.mp3", 0)), std::set<std::string>{"a.mp3"});
  EXPECT_EQ(Names(Search(fs, "a.mp3", 0)), std::set<std::string>{"a.mp3"});
  EXPECT_FALSE(fs.RenameNoReplace("a.mp3", "b.mp3"));
  EXPECT_TRUE(fs.SameEntry("b.mp3", folder / "b.mp3"));
  EXPECT_TRUE(fs.IsEmptyEntry("sub"));
  EXPECT_FALSE(fs.RenameRefusal("b.mp3"));
  fs.SetCurrentDirectory("sub");
  EXPECT_EQ(fs.CurrentDirectory(), folder / "sub");
}

// In a sticky folder (like /tmp) an entry moves for its owner, the folder's owner, and root.
TEST(PosixFileSystem, RootMayMoveAnyEntryOfAStickyFolder) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "owners other than the user are made by root";
  }
  TempFolder folder;
  const std::string shared = folder.Folder("shared");
  chmod(shared.c_str(), 01777);
  const std::string theirs = folder.File("shared/theirs.mp3");
  ASSERT_EQ(chown(shared.c_str(), AnotherUser::kUid, AnotherUser::kGid), 0);
  ASSERT_EQ(chown(theirs.c_str(), AnotherUser::kUid, AnotherUser::kGid), 0);
  PosixFileSystem fs;
  EXPECT_FALSE(fs.RenameRefusal(theirs));
}

// A folder closed to the user cannot be entered; one the user may enter but not read gives an
// empty search.
TEST(PosixFileSystem, FolderClosedToTheUserCannotBeEnteredNorAnUnreadableOneSearched) {
  AnotherUser other;
  if (!other.Available()) {
    GTEST_SKIP() << other.WhyNot();
  }
  PosixFileSystem fs;
  const std::string closed = other.Scratch().Folder("closed");
  const std::string unreadable = other.Scratch().Folder("unreadable");
  other.Scratch().File("unreadable/a.mp3");
  chmod(closed.c_str(), 0700);
  chmod(unreadable.c_str(), 0711);
  EXPECT_TRUE(other.Runs([&] {
    try {
      fs.SetCurrentDirectory(closed);
    } catch (const EInOutError& error) {
      return error.ErrorCode() == 5;
    }
    return false;
  }));
  EXPECT_TRUE(other.Runs([&] { return !fs.Find(unreadable + "/*.mp3", 0)->Next(); }));
}

// Where the file system keeps birth times, an entry's state carries its own: undo tells a
// renamed entry from a new one given its freed inode number by it.
TEST(PosixListedFolder, EntriesCarryTheirBirthTimeWhereTheFileSystemKeepsIt) {
  TempFolder folder;
  const std::string song = folder.File("a.mp3", "A");
  struct statx raw {};
  ASSERT_EQ(statx(AT_FDCWD, song.c_str(), 0, STATX_BTIME, &raw), 0);
  if ((raw.stx_mask & STATX_BTIME) == 0) {
    GTEST_SKIP() << "the temporary folder's file system keeps no birth times";
  }
  PosixFileSystem fs;
  std::error_code error;
  const auto state = fs.OpenFolder(folder.Path(), error)->State("a.mp3");
  ASSERT_TRUE(state && state->identity.birth);
  EXPECT_EQ(*state->identity.birth, raw.stx_btime.tv_sec * 1'000'000'000LL + raw.stx_btime.tv_nsec);
}

}  // namespace
}  // namespace varnex
