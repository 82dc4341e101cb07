#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "tests/support/TempFolder.h"

namespace varnex::test {

// Another user (nobody, 65534) for tests of what permissions refuse: tests run as root in CI,
// where nothing is refused. That user may not reach the checkout (a clone in a private folder),
// so whatever it must run or read is copied where it can reach it: a scratch folder and, beside
// it, a folder of the copied programs and its home, both made in a temporary folder where the user
// may run programs (not one mounted noexec) and removed with everything in them at the end. Where
// that cannot be done, the test skips and says why:
//
//   AnotherUser other;
//   if (!other.Available()) GTEST_SKIP() << other.WhyNot();
//   const std::string closed = other.Scratch().Folder("closed");
//   const std::string program = other.Program(VARNEX_CONVERT_BINARY);
//   EXPECT_EQ(other.Shell("'" + program + "' '" + closed + "'"), 2);
class AnotherUser {
 public:
  static constexpr uid_t kUid = 65534;
  static constexpr gid_t kGid = 65534;

  AnotherUser();
  AnotherUser(const AnotherUser&) = delete;
  AnotherUser& operator=(const AnotherUser&) = delete;
  ~AnotherUser();

  bool Available() const { return whyNot_.empty(); }
  // Why this run cannot act as another user (not root, no folder that user can reach and run
  // programs in); empty when it can.
  const std::string& WhyNot() const { return whyNot_; }

  // The test's own folder, open to the user (mode 0755): what a test makes in it is the user's to
  // reach as its modes allow. A plain temporary folder when the user is not available.
  const TempFolder& Scratch() const { return *scratch_; }

  // Copies the program at `path`, with every library it loads that the user could not read, into
  // the folder of programs beside the scratch folder; returns the copy's path, for Shell. Throws
  // std::runtime_error when the copy cannot be made.
  std::string Program(const std::string& path);

  // Copies the file or folder at `path` into the scratch folder as `name` (which may hold "/"),
  // readable by the user; returns the copy's path.
  std::string Data(const std::string& path, const std::string& name);

  // Runs `check` in a child process as the user; true when it passed there.
  bool Runs(const std::function<bool()>& check) const;

  // Runs `command` through /bin/sh as the user, in the scratch folder, with a home of its own
  // beside it instead of the XDG folders of whoever runs the test; the exit status, or -1 when the
  // shell did not exit.
  int Shell(const std::string& command) const;

 private:
  std::unique_ptr<TempFolder> scratch_;
  std::unique_ptr<TempFolder> own_;  // beside it: the copied programs and libraries, the home
  std::string whyNot_;
  std::string libraries_;  // the folder of copied libraries, once there are any
};

}  // namespace varnex::test
