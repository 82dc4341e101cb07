// varnex-convert run as a user runs it, on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::ReadFile;
using test::TempFolder;

struct Result {
  int status;
  std::string out;
  std::string err;
};

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

Result RunConvert(const std::string& arguments, const std::string& asUser = "") {
  TempFolder outputs;
  chmod(outputs.Path().c_str(), 0777);  // so that another user's run can write its output there
  // Journals go to the run's own folder, not to the user's state folder.
  const std::string command = "XDG_STATE_HOME=" + outputs / "state" + " " +
                              std::string(VARNEX_CONVERT_BINARY) + " " + arguments + " >" +
                              outputs / "out" + " 2>" + outputs / "err";
  const std::string wrapped = asUser.empty() ? command
                                             : "setpriv --reuid=" + asUser + " --regid=" + asUser +
                                                   " --clear-groups sh -c " + ShellQuoted(command);
  const int status = std::system(wrapped.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outputs / "out"),
          ReadFile(outputs / "err")};
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::vector<std::string> LinesContaining(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.find(part) != std::string::npos) {
      lines.push_back(line);
    }
  }
  return lines;
}

TEST(ConvertCommand, DryRunChangesNothingAndPlansWhatTheRunDoes) {
  TempFolder folder;
  for (const char* name : {"a.mp3", "b.MP3", "b.mp3", "c.mp3", "c.iad", "d.Mp3", "notes.txt"}) {
    folder.File(name, name);
  }
  folder.Folder("sub.mp3");
  const std::set<std::string> before = Names(folder.Path());
  const std::string target = ShellQuoted(folder.Path());

  const Result plan = RunConvert("--dry-run " + target);
  EXPECT_EQ(plan.status, 1);
  EXPECT_EQ(Names(folder.Path()), before);
  EXPECT_NE(plan.out.find(" c.iad exists"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("b.iad is taken by b."), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("dry run, nothing changed: 4 renamed, 2 skipped"), std::string::npos)
      << plan.out;

  const Result run = RunConvert("--verbose " + target);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(LinesContaining(run.out, " -> "), LinesContaining(plan.out, " -> "));
  std::vector<std::string> skippedInPlan, skippedInRun;
  for (const std::string& line : LinesContaining(plan.out, "skip ")) {
    skippedInPlan.push_back(line.substr(5, line.find(": ") - 5));
  }
  for (const std::string& line : LinesContaining(run.err, ": not renamed: ")) {
    skippedInRun.push_back(line.substr(16, line.find(": not renamed") - 16));
  }
  EXPECT_EQ(skippedInRun, skippedInPlan);
  EXPECT_NE(run.out.find("4 renamed, 2 skipped"), std::string::npos);
  EXPECT_EQ(ReadFile(folder / "c.iad"), "c.iad");  // the collision kept both
  EXPECT_EQ(ReadFile(folder / "c.mp3"), "c.mp3");
}

TEST(ConvertCommand, ExitStatusSaysHowItWent) {
  TempFolder folder;
  folder.File("a.mp3");
  const std::string target = ShellQuoted(folder.Path());
  EXPECT_EQ(RunConvert(target).status, 0);
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"a.iad"});
  const Result back = RunConvert("--to mp3 " + target);
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(back.out, "1 renamed, 0 skipped\n");
  EXPECT_EQ(back.err, "");  // nothing on a pipe but the summary: no progress line
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"a.mp3"});

  for (const char* unusable : {"", "--to wav .", "--frobnicate .", "--to"}) {
    const Result result = RunConvert(unusable);
    EXPECT_EQ(result.status, 2) << unusable;
    EXPECT_NE(result.err.find("Usage: varnex-convert"), std::string::npos) << unusable;
  }
  EXPECT_EQ(RunConvert("--help").status, 0);
  EXPECT_EQ(RunConvert("--version").out, "varnex-convert 1.1\n");
}

TEST(ConvertCommand, FolderThatCannotBeReadIsNamed) {
  TempFolder folder;
  const std::string closed = folder.Folder("closed");
  folder.File("closed/a.mp3");
  chmod(closed.c_str(), 0700);
  const Result missing = RunConvert(ShellQuoted(folder / "missing"));
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("missing: cannot read"), std::string::npos) << missing.err;
  EXPECT_EQ(RunConvert(ShellQuoted(folder.File("file.mp3"))).status, 2);
  if (geteuid() == 0) {
    const Result refused = RunConvert(ShellQuoted(closed), "65534");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("closed: cannot read: Permission denied"), std::string::npos)
        << refused.err;
  }
}

TEST(ConvertCommand, OddNamesArePrintedEscapedAndRenamedByteForByte) {
  TempFolder folder;
  folder.File("caf\xE9\\x.mp3", "odd");
  const Result run = RunConvert("--verbose " + ShellQuoted(folder.Path()));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("caf\\xE9\\\\x.mp3 -> caf\\xE9\\\\x.iad"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(folder / "caf\xE9\\x.iad"), "odd");
}

}  // namespace
}  // namespace varnex
