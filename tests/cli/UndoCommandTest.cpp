// varnex-convert --undo and --list as a user runs them, on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "tests/cli/ConvertProgram.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::NamesIn;
using test::ReadFile;
using test::Result;
using test::ShellQuoted;
using test::TempFolder;

class UndoCommandTest : public testing::Test {
 protected:
  Result Run(const std::string& arguments) {
    return test::RunConvertProgram(arguments, state, work.Path());
  }

  TempFolder work;
  std::string music = work.Folder("music");
  std::string quoted = ShellQuoted(music);
  std::string state = work / "state";
};

TEST_F(UndoCommandTest, ReportsLikeTheForwardPassAndNeverReplaces) {
  const std::string odd("odd\n\xff.mp3");
  for (const std::string& name : {std::string("a.mp3"), std::string("b.mp3"), odd}) {
    work.File("music/" + name, name);
  }
  const std::set<std::string> start = NamesIn(music);
  ASSERT_EQ(Run(quoted).status, 0);
  work.File("music/b.mp3", "made after the pass");

  const Result plan = Run("--undo --dry-run " + quoted);
  EXPECT_EQ(plan.status, 1);
  EXPECT_NE(plan.out.find("keep " + music + "/b.iad: b.mp3 exists\n"), std::string::npos)
      << plan.out;
  EXPECT_NE(plan.out.find(music + "/odd\\x0A\\xFF.iad -> odd\\x0A\\xFF.mp3\n"), std::string::npos)
      << plan.out;
  EXPECT_TRUE(std::regex_search(plan.out, std::regex("\ndry run, nothing changed: undo of mp3 => "
                                                     "iad from [-0-9: ]+: 2 restored, 1 kept\n$")))
      << plan.out;
  EXPECT_EQ(NamesIn(music), (std::set<std::string>{"a.iad", "b.iad", "b.mp3", "odd\n\xff.iad"}));

  const Result undo = Run("--undo --verbose " + quoted);
  EXPECT_EQ(undo.status, 1);
  EXPECT_EQ(undo.err, "varnex-convert: " + music + "/b.iad: not restored: b.mp3 exists\n");
  EXPECT_NE(undo.out.find(music + "/a.iad -> a.mp3\n"), std::string::npos) << undo.out;
  EXPECT_NE(undo.out.find(": 2 restored, 1 kept\n"), std::string::npos) << undo.out;
  EXPECT_EQ(NamesIn(music), (std::set<std::string>{"a.mp3", "b.iad", "b.mp3", odd}));
  EXPECT_EQ(ReadFile(music + "/b.iad"), "b.mp3");
  EXPECT_EQ(ReadFile(music + "/b.mp3"), "made after the pass");

  const Result again = Run("--undo " + quoted);
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(again.err, "varnex-convert: " + music + ": nothing to undo\n");
  EXPECT_EQ(start.size(), 3u);
}

TEST_F(UndoCommandTest, ExitStatusSaysHowItWent) {
  work.File("music/a.mp3");
  ASSERT_EQ(Run(quoted).status, 0);
  const Result quiet = Run("--undo " + quoted);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_TRUE(quiet.out.ends_with(": 1 restored, 0 kept\n")) << quiet.out;
  EXPECT_EQ(NamesIn(music), std::set<std::string>{"a.mp3"});

  const Result missing = Run("--undo " + quoted + "/nothing");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "varnex-convert: " + music + "/nothing: cannot read: no such folder\n");
  for (const std::string& unusable :
       {"--undo " + quoted + " " + quoted, "--undo --to mp3 " + quoted, "--undo --list " + quoted,
        "--list --dry-run " + quoted, std::string("--undo"), "--undo --what " + quoted}) {
    EXPECT_EQ(Run(unusable).status, 2) << unusable;
  }
  EXPECT_EQ(NamesIn(music), std::set<std::string>{"a.mp3"});
}

TEST_F(UndoCommandTest, ListShowsThePassesNewestFirst) {
  work.File("music/a.mp3");
  work.File("music/b.mp3");
  EXPECT_EQ(Run("--list " + quoted).out, "nothing to undo in " + music + "\n");
  ASSERT_EQ(Run(quoted).status, 0);
  work.File("music/c.iad");
  ASSERT_EQ(Run("--to mp3 " + quoted + "/").status, 0);  // a.iad, b.iad back; c.iad too
  const Result list = Run("--list " + quoted);
  EXPECT_EQ(list.status, 0);
  EXPECT_TRUE(std::regex_match(list.out, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "
                                                    "iad => mp3  3 renames\n"
                                                    "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "
                                                    "mp3 => iad  2 renames\n")))
      << list.out;
}

TEST_F(UndoCommandTest, EntriesThePassNeverReachedAreCountedAndListedOnlyWhenAsked) {
  work.File("music/a.mp3");
  work.File("music/b.mp3");
  ASSERT_EQ(Run(quoted).status, 0);
  std::filesystem::rename(music + "/b.iad", music + "/b.mp3");  // as if the pass stopped before b
  const std::string line = music + "/b.iad: it was not renamed\n";

  const Result plan = Run("--undo --dry-run " + quoted);
  EXPECT_EQ(plan.out.find(line), std::string::npos) << plan.out;
  EXPECT_TRUE(plan.out.ends_with(": 1 restored, 1 kept\n")) << plan.out;
  const Result told = Run("--undo --dry-run --verbose " + quoted);
  EXPECT_NE(told.out.find("keep " + line), std::string::npos) << told.out;

  const Result undo = Run("--undo " + quoted);
  EXPECT_EQ(undo.status, 1);
  EXPECT_EQ(undo.err, "");
  EXPECT_TRUE(undo.out.ends_with(": 1 restored, 1 kept\n")) << undo.out;
  EXPECT_EQ(NamesIn(music), (std::set<std::string>{"a.mp3", "b.mp3"}));
}

TEST_F(UndoCommandTest, APassWhoseJournalCannotBeWrittenStillRuns) {
  work.File("music/a.mp3");
  work.File("state", "a file where the state folder would go");
  const Result pass = Run(quoted);
  EXPECT_EQ(pass.status, 0);
  EXPECT_NE(pass.err.find(": cannot keep the journal to undo this pass: "), std::string::npos)
      << pass.err;
  EXPECT_EQ(NamesIn(music), std::set<std::string>{"a.iad"});
  EXPECT_EQ(Run("--undo " + quoted).status, 2);
}

// A FIFO under the name of a newer journal neither hangs nor hides the pass before it: --list
// says it was skipped, and --undo says so too and takes that pass back.
TEST_F(UndoCommandTest, ADamagedJournalIsSkippedAndSaidSo) {
  work.File("music/a.mp3");
  ASSERT_EQ(Run(quoted).status, 0);
  struct stat folder {};
  ASSERT_EQ(stat(music.c_str(), &folder), 0);
  const std::string fifo = state + "/varnex/" + std::to_string(folder.st_dev) + "-" +
                           std::to_string(folder.st_ino) + "-2000000000000000000-0000abcd.journal";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  const Result list = Run("--list " + quoted);
  EXPECT_EQ(list.status, 0);
  EXPECT_TRUE(std::regex_match(list.out, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "
                                                    "mp3 => iad  1 rename\n"
                                                    "skipped a damaged journal: .*\n")))
      << list.out;
  EXPECT_TRUE(list.out.ends_with(fifo + "\n")) << list.out;
  const Result undo = Run("--undo " + quoted);
  EXPECT_EQ(undo.status, 0);
  EXPECT_EQ(undo.err, "varnex-convert: skipped a damaged journal: " + fifo + "\n");
  EXPECT_EQ(NamesIn(music), std::set<std::string>{"a.mp3"});
}

}  // namespace
}  // namespace varnex
