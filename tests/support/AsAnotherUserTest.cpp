// Tests of what another user is refused depend on running things as that user wherever the
// checkout is; here the checkout is a private folder.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

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
  // Private, as a clone in a mktemp -d folder or in /root is; beside the scratch folder, where
  // programs may run (the system's temporary folder may be mounted noexec).
  TempFolder checkout{std::filesystem::path(other.Scratch().Path()).parent_path().string()};
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

// Temporary folders are often mounted noexec. Each case runs in a child with mounts of its own,
// which end with it: the folders in `noexec` are covered by fresh noexec file systems and
// $TMPDIR is `temporary`. The child's exit status: 0 when `check` passed, kCannotMount when the
// mounts could not be made here.
constexpr int kCannotMount = 77;

int WithNoexecFolders(const std::vector<std::string>& noexec, const std::string& temporary,
                      const std::function<bool()>& check) {
  std::cout.flush();
  const pid_t child = fork();
  if (child == 0) {
    // Private first: without it the mounts below would show in the rest of the system.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      _exit(kCannotMount);
    }
    for (const std::string& folder : noexec) {
      if (std::filesystem::is_directory(folder) &&
          mount("tmpfs", folder.c_str(), "tmpfs", MS_NOEXEC | MS_NOSUID | MS_NODEV, "mode=1777") !=
              0) {
        _exit(kCannotMount);
      }
    }
    setenv("TMPDIR", temporary.c_str(), 1);
    bool passed = false;
    try {
      passed = check();
    } catch (const std::exception& error) {
      std::cerr << error.what() << "\n";
    }
    _exit(passed ? 0 : 1);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                               : -1;
}

TEST(AnotherUserMounts, ScratchGoesWhereTheUserCanRunPrograms) {
  if (!AnotherUser().Available()) {
    GTEST_SKIP() << AnotherUser().WhyNot();
  }
  const int passed = WithNoexecFolders({"/var/tmp"}, "/var/tmp", [] {
    AnotherUser other;
    if (!other.Available()) {
      std::cerr << other.WhyNot() << "\n";
      return false;
    }
    const std::string program = other.Program("/bin/true");
    return other.Scratch().Path().rfind("/var/tmp/", 0) != 0 &&
           other.Shell("'" + program + "'") == 0;
  });
  if (passed == kCannotMount) {
    GTEST_SKIP() << "cannot mount a noexec file system in a mount namespace of this test's own";
  }
  EXPECT_EQ(passed, 0);
}

TEST(AnotherUserMounts, NoFolderToRunProgramsInIsAReasonToSkip) {
  if (!AnotherUser().Available()) {
    GTEST_SKIP() << AnotherUser().WhyNot();
  }
  const int passed = WithNoexecFolders({"/tmp", "/var/tmp", "/dev/shm"}, "/tmp", [] {
    const AnotherUser other;
    std::cerr << other.WhyNot() << "\n";
    return !other.Available() &&
           other.WhyNot().find("/var/tmp (cannot run programs there)") != std::string::npos;
  });
  if (passed == kCannotMount) {
    GTEST_SKIP() << "cannot mount a noexec file system in a mount namespace of this test's own";
  }
  EXPECT_EQ(passed, 0);
}

}  // namespace
}  // namespace varnex
