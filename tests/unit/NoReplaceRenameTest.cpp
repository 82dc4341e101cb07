#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/fs/NoReplaceRename.h"

namespace varnex {
namespace {

// What each fake system call answers (0 or an errno value), and the calls made, in order.
struct Script {
  int renameNoReplace = 0;
  int link = 0;
  int unlinkFrom = 0;
  bool targetExists = false;
  int rename = 0;
};
Script script;
std::vector<std::string> calls;

int Answer(const std::string& call, int error) {
  calls.push_back(call);
  errno = error;
  return error == 0 ? 0 : -1;
}

const RenameCalls kFakeCalls{
    [](const char*, const char*) { return Answer("renameat2", script.renameNoReplace); },
    [](const char*, const char*) { return Answer("link", script.link); },
    [](const char* path) {
      return Answer(std::string("unlink ") + path,
                    path == std::string("old") ? script.unlinkFrom : 0);
    },
    [](const char*, const char*) { return Answer("rename", script.rename); },
    [](const char*) { return Answer("lstat", script.targetExists ? 0 : ENOENT); },
};

struct Case {
  const char* what;
  Script script;
  int error;
  RenameMethod method;
  std::vector<std::string> calls;
};

TEST(RenameWithoutReplacing, TakesTheSafestWayTheFileSystemOffers) {
  const Case cases[] = {
      {"flag works", {}, 0, RenameMethod::NoReplaceFlag, {"renameat2"}},
      {"target exists",
       {.renameNoReplace = EEXIST},
       EEXIST,
       RenameMethod::NoReplaceFlag,
       {"renameat2"}},
      {"refused for another reason: no fallback",
       {.renameNoReplace = EACCES},
       EACCES,
       RenameMethod::NoReplaceFlag,
       {"renameat2"}},
      {"flag unknown: link then unlink",
       {.renameNoReplace = EINVAL},
       0,
       RenameMethod::LinkThenUnlink,
       {"renameat2", "link", "unlink old"}},
      {"old kernel, target exists",
       {.renameNoReplace = ENOSYS, .link = EEXIST},
       EEXIST,
       RenameMethod::LinkThenUnlink,
       {"renameat2", "link"}},
      {"old name cannot go: the new one is taken back",
       {.renameNoReplace = EINVAL, .unlinkFrom = EACCES},
       EACCES,
       RenameMethod::LinkThenUnlink,
       {"renameat2", "link", "unlink old", "unlink new"}},
      {"no hard links: check, then rename",
       {.renameNoReplace = ENOTSUP, .link = EPERM},
       0,
       RenameMethod::CheckThenRename,
       {"renameat2", "link", "lstat", "rename"}},
      {"no hard links, target exists: nothing renamed",
       {.renameNoReplace = EINVAL, .link = EPERM, .targetExists = true},
       EEXIST,
       RenameMethod::CheckThenRename,
       {"renameat2", "link", "lstat"}},
      {"no hard links, rename refused",
       {.renameNoReplace = EINVAL, .link = ENOSYS, .rename = EBUSY},
       EBUSY,
       RenameMethod::CheckThenRename,
       {"renameat2", "link", "lstat", "rename"}},
  };
  for (const Case& c : cases) {
    script = c.script;
    calls.clear();
    const RenameResult result = RenameWithoutReplacing("old", "new", kFakeCalls);
    EXPECT_EQ(result.error.value(), c.error) << c.what;
    EXPECT_EQ(result.method, c.method) << c.what;
    EXPECT_EQ(calls, c.calls) << c.what;
  }
}

}  // namespace
}  // namespace varnex
