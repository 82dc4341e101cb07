#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/NoReplaceRename.h"

namespace varnex {
namespace {

using Status = std::optional<EntryStatus>;

// What each fake system call answers (0 or an errno value), what lstat finds at "old" and "new"
// call after call (the last answer repeats; nullopt is ENOENT), and the calls made, in order.
struct Script {
  int renameNoReplace = 0;
  int link = 0;
  int unlinkFrom = 0;
  int reserve = 0;  // the exclusive create or mkdir of "new"
  int rename = 0;
  std::deque<Status> oldName{EntryStatus{1, 10, 5, false}};
  std::deque<Status> newName{std::nullopt};
};
Script script;
std::vector<std::string> calls;
constexpr int kFolder = 7;  // the descriptor every call must be given

int Answer(int folder, const std::string& call, int error) {
  calls.push_back(folder == kFolder ? call : call + " elsewhere");
  errno = error;
  return error == 0 ? 0 : -1;
}

int Lstat(int folder, const char* path, EntryStatus* status) {
  std::deque<Status>& answers = path == std::string("old") ? script.oldName : script.newName;
  const Status answer = answers.front();
  if (answers.size() > 1) {
    answers.pop_front();
  }
  if (answer) {
    *status = *answer;
  }
  return Answer(folder, std::string("lstat ") + path, answer ? 0 : ENOENT);
}

const RenameCalls kFakeCalls{
    [](int folder, const char*, const char*) {
      return Answer(folder, "renameat2", script.renameNoReplace);
    },
    [](int folder, const char*, const char*) { return Answer(folder, "link", script.link); },
    [](int folder, const char* path) {
      return Answer(folder, std::string("unlink ") + path,
                    path == std::string("old") ? script.unlinkFrom : 0);
    },
    [](int folder, const char*, const char*) { return Answer(folder, "rename", script.rename); },
    Lstat,
    [](int folder, const char*) { return Answer(folder, "create new", script.reserve); },
    [](int folder, const char*) { return Answer(folder, "mkdir new", script.reserve); },
    [](int folder, const char* path) { return Answer(folder, std::string("rmdir ") + path, 0); },
};

struct Case {
  const char* what;
  Script script;
  int error;
  RenameMethod method;
  std::vector<std::string> calls;
  bool toldOfLinks = false;  // whether someone is to hear of a link before it is made
};

void Check(const Case& c) {
  script = c.script;
  calls.clear();
  const BeforeLinking told = [](std::uint64_t links) {
    calls.push_back("told of " + std::to_string(links) + " names");
  };
  const RenameResult result =
      RenameWithoutReplacing(kFolder, "old", "new", kFakeCalls, c.toldOfLinks ? told : nullptr);
  EXPECT_EQ(result.error.value(), c.error) << c.what;
  EXPECT_EQ(result.method, c.method) << c.what;
  EXPECT_EQ(calls, c.calls) << c.what;
}

constexpr RenameMethod kFlag = RenameMethod::NoReplaceFlag;
constexpr RenameMethod kLink = RenameMethod::LinkThenUnlink;
constexpr RenameMethod kReserve = RenameMethod::ReserveThenRename;
const EntryStatus kFile{1, 10, 5, false, 1};
const EntryStatus kFolderEntry{1, 10, 4096, true, 2};
const EntryStatus kPlaceholder{1, 20, 0, false, 1};
const EntryStatus kFolderPlaceholder{1, 20, 4096, true, 2};

TEST(RenameWithoutReplacing, TakesTheSafestWayTheFileSystemOffers) {
  const Case cases[] = {
      {"flag works", {}, 0, kFlag, {"renameat2"}},
      {"target exists", {.renameNoReplace = EEXIST}, EEXIST, kFlag, {"renameat2"}},
      {"refused for another reason: no fallback",
       {.renameNoReplace = EACCES},
       EACCES,
       kFlag,
       {"renameat2"}},
      {"flag unknown: link then unlink",
       {.renameNoReplace = EINVAL},
       0,
       kLink,
       {"renameat2", "link", "unlink old"}},
      {"told of the link before it is made, with the entry's names",
       {.renameNoReplace = EINVAL, .oldName = {EntryStatus{1, 10, 5, false, 2}}},
       0,
       kLink,
       {"renameat2", "lstat old", "told of 2 names", "link", "unlink old"},
       true},
      {"told of nothing where the flag works", {}, 0, kFlag, {"renameat2"}, true},
      {"old kernel, target exists",
       {.renameNoReplace = ENOSYS, .link = EEXIST},
       EEXIST,
       kLink,
       {"renameat2", "link"}},
      {"no hard links: the name is reserved, then renamed onto",
       {.renameNoReplace = ENOTSUP, .link = EPERM},
       0,
       kReserve,
       {"renameat2", "link", "lstat old", "create new", "lstat new", "rename"}},
      {"a folder is reserved with a folder",
       {.renameNoReplace = EINVAL, .link = EPERM, .oldName = {kFolderEntry}},
       0,
       kReserve,
       {"renameat2", "link", "lstat old", "mkdir new", "lstat new", "rename"}},
      {"no hard links, target exists: nothing renamed",
       {.renameNoReplace = EINVAL, .link = EPERM, .reserve = EEXIST},
       EEXIST,
       kReserve,
       {"renameat2", "link", "lstat old", "create new"}},
      {"no hard links, the entry has gone: nothing reserved",
       {.renameNoReplace = EINVAL, .link = ENOSYS, .oldName = {std::nullopt}},
       ENOENT,
       kReserve,
       {"renameat2", "link", "lstat old"}},
  };
  for (const Case& c : cases) {
    Check(c);
  }
}

// No hard links: the new name was reserved, then the rename onto it refused. `newName` is what
// the new name shows at each look.
Case RefusedOnto(const char* what, std::deque<Status> newName, std::vector<std::string> expected,
                 Status oldName = EntryStatus{1, 10, 5, false}) {
  return {what,
          {.renameNoReplace = EINVAL,
           .link = EPERM,
           .rename = EBUSY,
           .oldName = {oldName},
           .newName = std::move(newName)},
          EBUSY,
          kReserve,
          std::move(expected)};
}

// When the last step fails, what was made on the way is taken back only while it is still ours,
// so that no entry ever loses its last name and nobody else's entry goes.
TEST(RenameWithoutReplacing, TakesBackOnlyWhatIsStillItsOwn) {
  const std::vector<std::string> linkedThenRefused = {"renameat2", "link", "unlink old",
                                                      "lstat old", "lstat new"};
  std::vector<std::string> takenBack = linkedThenRefused;
  takenBack.push_back("unlink new");
  const std::vector<std::string> reservedThenRefused = {
      "renameat2", "link", "lstat old", "create new", "lstat new", "rename", "lstat new"};
  std::vector<std::string> placeholderRemoved = reservedThenRefused;
  placeholderRemoved.push_back("unlink new");
  std::vector<std::string> folderPlaceholder = reservedThenRefused;
  folderPlaceholder[3] = "mkdir new";
  folderPlaceholder.push_back("rmdir new");

  const Case cases[] = {
      {"old name cannot go: the new one, the same file, is taken back",
       {.renameNoReplace = EINVAL, .unlinkFrom = EACCES, .newName = {kFile}},
       EACCES,
       kLink,
       takenBack},
      {"the unlink failed but the old name went: the new name is the file's last",
       {.renameNoReplace = EINVAL,
        .unlinkFrom = EIO,
        .oldName = {std::nullopt},
        .newName = {kFile}},
       EIO,
       kLink,
       {"renameat2", "link", "unlink old", "lstat old"}},
      {"the old name now holds another file: the new name stays",
       {.renameNoReplace = EINVAL,
        .unlinkFrom = EACCES,
        .oldName = {EntryStatus{1, 99, 5, false}},
        .newName = {kFile}},
       EACCES,
       kLink,
       linkedThenRefused},
      {"the new name holds another file: it stays",
       {.renameNoReplace = EINVAL, .unlinkFrom = EACCES, .newName = {EntryStatus{2, 10, 5, false}}},
       EACCES,
       kLink,
       linkedThenRefused},
      RefusedOnto("rename refused: our empty placeholder goes", {kPlaceholder}, placeholderRemoved),
      RefusedOnto("rename refused: our folder placeholder goes", {kFolderPlaceholder},
                  folderPlaceholder, kFolderEntry),
      RefusedOnto("rename refused, the placeholder was replaced meanwhile: it stays",
                  {kPlaceholder, EntryStatus{1, 21, 0, false}}, reservedThenRefused),
      RefusedOnto("rename refused, someone wrote into the placeholder: it stays",
                  {kPlaceholder, EntryStatus{1, 20, 3, false}}, reservedThenRefused),
      RefusedOnto("rename refused, the placeholder is now a folder: it stays",
                  {kPlaceholder, EntryStatus{1, 20, 0, true}}, reservedThenRefused),
      RefusedOnto("rename refused, the placeholder has gone: nothing to remove",
                  {kPlaceholder, std::nullopt}, reservedThenRefused),
  };
  for (const Case& c : cases) {
    Check(c);
  }
}

}  // namespace
}  // namespace varnex
