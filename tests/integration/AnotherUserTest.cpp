// Tests of what another user is refused depend on running things as that user wherever the
// checkout is; here the checkout is a private folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/AsAnotherUser.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::AnotherUser;
using test::ReadFile;
using test::TempFolder;

class AnotherUserTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!other.Available()) {
      GTEST_SKIP() << other.WhyNot();
    }
    chmod(checkout.Path().c_str(), 0700);
    chmod(outputs.c_str(), 0777);
  }

  std::string Private(const std::string& path) const {
    const std::string copy = checkout / std::filesystem::path(path).filename().string();
    std::filesystem::copy_file(path, copy);
    return copy;
  }

  AnotherUser other;
  TempFolder checkout;  // private, as a clone in a mktemp -d folder or in /root is
  const std::string outputs = other.Scratch().Folder("outputs");
};

TEST_F(AnotherUserTest, ProgramRunsWithTheLibrariesItCouldNotReach) {
  const std::string program = Private(VARNEX_PROBE_BINARY);
  Private(VARNEX_PROBE_LIBRARY);                               // found only next to the program
  EXPECT_NE(other.Shell("'" + program + "' 2>/dev/null"), 0);  // out of the user's reach

  const std::string copy = other.Program(program);
  EXPECT_EQ(other.Shell("'" + copy + "' >'" + outputs + "/said'"), 0);
  EXPECT_EQ(ReadFile(outputs + "/said"), "probe " + std::to_string(AnotherUser::kUid) + "\n");
}

TEST_F(AnotherUserTest, DataIsCopiedWhereTheUserMayReadIt) {
  const std::string folder = checkout.Folder("data");
  checkout.File("data/notes.txt", "kept");
  chmod((folder + "/notes.txt").c_str(), 0600);
  const std::string copy = other.Data(folder, "copied/data");
  EXPECT_TRUE(other.Runs([&copy] { return ReadFile(copy + "/notes.txt") == "kept"; }));
  EXPECT_FALSE(other.Runs([&folder] { return ReadFile(folder + "/notes.txt") == "kept"; }));
}

TEST_F(AnotherUserTest, ShellHasAHomeOfItsOwn) {
  EXPECT_EQ(other.Shell("id -u >'" + outputs + "/id' && touch \"$HOME/x\" \"$TMPDIR/x\""), 0);
  EXPECT_EQ(ReadFile(outputs + "/id"), std::to_string(AnotherUser::kUid) + "\n");
}

}  // namespace
}  // namespace varnex
