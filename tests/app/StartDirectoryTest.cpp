#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/StartDirectory.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::TempFolder;

TEST(EnterStartDirectory, DirectoryWithoutANameFallsBackToHomeThenTheRoot) {
  TempFolder folder;
  PosixFileSystem fs;
  fs.SetCurrentDirectory(folder.Path());
  const std::string home = folder.Folder("home");

  EXPECT_EQ(EnterStartDirectory(fs, home), folder.Path());  // a directory with a name stays
  for (const auto& [fallback, expected] :
       {std::pair{home, home}, std::pair{folder / "no home", std::string("/")},
        std::pair{std::string(), std::string("/")}}) {
    // As at start-up: the program's file system has entered nothing yet.
    const std::string gone = folder.Folder("gone");
    ASSERT_EQ(chdir(gone.c_str()), 0);
    std::filesystem::remove(gone);
    PosixFileSystem startingFs;
    EXPECT_EQ(EnterStartDirectory(startingFs, fallback), expected);
    EXPECT_EQ(startingFs.CurrentDirectory(), expected);
  }
}

}  // namespace
}  // namespace varnex
