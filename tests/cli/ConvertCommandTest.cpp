// varnex-convert run as a user runs it, on real folders.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "platform/Version.h"
#include "platform/fs/PathParts.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/cli/ConvertProgram.h"
#include "tests/support/AsAnotherUser.h"
#include "tests/support/ForwardingFileSystem.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::AnotherUser;
using test::NamesIn;
using test::ReadFile;
using test::Result;
using test::ShellQuoted;
using test::TempFolder;

Result RunConvert(const std::string& arguments) {
  TempFolder outputs;
  return test::RunConvertProgram(arguments, outputs / "state", outputs.Path());
}

// The same run by another user, through a copy of the program that the user can reach wherever
// the checkout is.
Result RunConvertAs(AnotherUser& other, const std::string& arguments) {
  const std::string outputs = other.Scratch().Folder("outputs");
  chmod(outputs.c_str(), 0777);
  const std::string program = ShellQuoted(other.Program(VARNEX_CONVERT_BINARY));
  return test::Outcome(other.Shell(test::WithOutputs(program + " " + arguments, outputs)), outputs);
}

// The command run in this process, so that it can run as another user from any checkout, or
// through a file system made up by the test.
Result RunHere(const std::vector<std::string>& arguments, FileSystem* through = nullptr) {
  PosixFileSystem fs;
  std::ostringstream out, err;
  const int status = RunConvertCommand(through ? *through : fs, arguments, false, out, err);
  return {status, out.str(), err.str()};
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

// Whether `text` holds `part`; shows the text when it does not.
testing::AssertionResult Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos ? testing::AssertionSuccess()
                                              : testing::AssertionFailure() << text;
}

// "PATH: REASON" of every entry the dry run skips, and of every entry the real pass skips, in
// order; and the paths alone.
std::vector<std::string> PlannedSkips(const Result& plan) {
  std::vector<std::string> skips;
  for (const std::string& line : LinesContaining(plan.out, "skip ")) {
    skips.push_back(line.substr(5));
  }
  return skips;
}
std::vector<std::string> ActualSkips(const Result& run) {
  std::vector<std::string> skips;
  for (std::string line : LinesContaining(run.err, ": not renamed: ")) {
    line = line.substr(std::string("varnex-convert: ").size());
    skips.push_back(line.replace(line.find(": not renamed: "), 15, ": "));
  }
  return skips;
}
std::vector<std::string> PathsOf(std::vector<std::string> skips) {
  for (std::string& skip : skips) {
    skip.erase(skip.find(": "));
  }
  return skips;
}

// The dry run and the real pass on one folder: they must skip the same entries for the same
// reasons, and rename the same ones. Gives the reasons the real pass skipped with.
std::multiset<std::string> PlanThenRun(const std::string& folder) {
  const Result plan = RunHere({"--dry-run", folder});
  const Result run = RunHere({"--verbose", folder});
  const std::vector<std::string> planned = PlannedSkips(plan), skips = ActualSkips(run);
  EXPECT_EQ(std::multiset<std::string>(planned.begin(), planned.end()),
            std::multiset<std::string>(skips.begin(), skips.end()))
      << plan.out << run.err;
  EXPECT_EQ(LinesContaining(plan.out, " -> "), LinesContaining(run.out, " -> "));
  return {skips.begin(), skips.end()};
}

// A folder of the test's own, and its path as the shell takes it.
class ConvertCommand : public testing::Test {
 protected:
  TempFolder folder;
  const std::string target = ShellQuoted(folder.Path());
};

TEST_F(ConvertCommand, DryRunChangesNothingAndPlansWhatTheRunDoes) {
  for (const char* name : {"a.mp3", "b.MP3", "b.mp3", "c.mp3", "c.iad", "d.Mp3", "notes.txt"}) {
    folder.File(name, name);
  }
  folder.Folder("sub.mp3");
  const std::set<std::string> before = NamesIn(folder.Path());

  const Result plan = RunConvert("--dry-run " + target);
  EXPECT_EQ(plan.status, 1);
  EXPECT_EQ(NamesIn(folder.Path()), before);
  EXPECT_TRUE(Has(plan.out, " c.iad exists"));
  EXPECT_TRUE(Has(plan.out, "b.iad is taken by b."));
  EXPECT_TRUE(Has(plan.out, "dry run, nothing changed: 4 renamed, 2 skipped"));

  const Result run = RunConvert("--verbose " + target);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(LinesContaining(run.out, " -> "), LinesContaining(plan.out, " -> "));
  EXPECT_EQ(PathsOf(ActualSkips(run)), PathsOf(PlannedSkips(plan)));
  EXPECT_TRUE(Has(run.out, "4 renamed, 2 skipped"));
  EXPECT_EQ(ReadFile(folder / "c.iad"), "c.iad");  // the collision kept both
  EXPECT_EQ(ReadFile(folder / "c.mp3"), "c.mp3");
}

TEST_F(ConvertCommand, ExitStatusSaysHowItWent) {
  folder.File("a.mp3");
  EXPECT_EQ(RunConvert(target).status, 0);
  EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"a.iad"});
  const Result back = RunConvert("--to mp3 " + target);
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(back.out, "1 renamed, 0 skipped\n");
  EXPECT_EQ(back.err, "");  // nothing on a pipe but the summary: no progress line
  EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"a.mp3"});

  for (const char* unusable : {"", "--to wav .", "--frobnicate .", "--to"}) {
    const Result result = RunConvert(unusable);
    EXPECT_EQ(result.status, 2) << unusable;
    EXPECT_TRUE(Has(result.err, "Usage: varnex-convert")) << unusable;
  }
  EXPECT_EQ(RunConvert("--help").status, 0);
  EXPECT_EQ(RunConvert("--version").out, std::string("varnex-convert ") + kVersion + "\n");
}

TEST_F(ConvertCommand, MissingFolderOrAFileIsRefused) {
  const Result missing = RunConvert(ShellQuoted(folder / "missing"));
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(Has(missing.err, "missing: cannot read"));
  EXPECT_EQ(RunConvert(ShellQuoted(folder.File("file.mp3"))).status, 2);
}

TEST_F(ConvertCommand, FolderThatCannotBeReadIsNamed) {
  AnotherUser other;
  if (!other.Available()) {
    GTEST_SKIP() << other.WhyNot();
  }
  const std::string closed = other.Scratch().Folder("closed");
  other.Scratch().File("closed/a.mp3");
  chmod(closed.c_str(), 0700);
  const Result refused = RunConvertAs(other, ShellQuoted(closed));
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(Has(refused.err, "closed: cannot read: Permission denied"));
  EXPECT_EQ(ReadFile(closed + "/a.mp3"), "data");  // untouched
}

TEST_F(ConvertCommand, OddNamesArePrintedEscapedAndRenamedByteForByte) {
  folder.File("caf\xE9\\x.mp3", "odd");
  const Result run = RunConvert("--verbose " + target);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Has(run.out, "caf\\xE9\\\\x.mp3 -> caf\\xE9\\\\x.iad"));
  EXPECT_EQ(ReadFile(folder / "caf\xE9\\x.iad"), "odd");
}

TEST_F(ConvertCommand, TwoNamesOfOneFileAreToldApartFromATakenName) {
  folder.File("a.mp3", "one file");
  ASSERT_EQ(link((folder / "a.mp3").c_str(), (folder / "a.iad").c_str()), 0);
  folder.File("b.mp3", "B");
  folder.File("b.iad", "other");

  const Result plan = RunConvert("--dry-run " + target);
  EXPECT_TRUE(Has(plan.out, "skip " + folder / "a.mp3: same file as a.iad\n"));
  EXPECT_TRUE(Has(plan.out, "skip " + folder / "b.mp3: b.iad exists\n"));
  const Result run = RunConvert(target);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, folder / "a.mp3: not renamed: same file as a.iad\n"));
  EXPECT_TRUE(Has(run.err, folder / "b.mp3: not renamed: b.iad exists\n"));
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::string>{"a.mp3", "a.iad", "b.mp3", "b.iad"}));
  EXPECT_EQ(ReadFile(folder / "a.iad"), "one file");
}

// A report that cannot be written never stops the pass: every entry is renamed all the same,
// and the exit status says that the person was not told.
TEST_F(ConvertCommand, ClosedPipeOrFullDiskStopsTheReportNotThePass) {
  const std::string music = folder.Folder("music");
  for (int i = 0; i < 1500; ++i) {
    folder.File("music/a track with a long enough name, number " + std::to_string(i) + ".mp3");
  }
  const std::string quoted = ShellQuoted(music);
  const std::string command = std::string(VARNEX_CONVERT_BINARY) + " --verbose " + quoted + " 2>" +
                              folder / "err" + " | head -1 >/dev/null; echo " +
                              "\"${PIPESTATUS[0]}\" >" + folder / "status";
  std::system(("bash -c " + ShellQuoted(command)).c_str());
  EXPECT_EQ(ReadFile(folder / "status"), "3\n");
  EXPECT_TRUE(Has(ReadFile(folder / "err"), "varnex-convert: the report could not be written\n"));
  std::set<std::string> names = NamesIn(music);
  EXPECT_EQ(names.size(), 1500u);
  EXPECT_TRUE(std::all_of(names.begin(), names.end(),
                          [](const std::string& name) { return name.ends_with(".iad"); }));

  for (const std::string& arguments : {"--to mp3 " + quoted, "--dry-run " + quoted}) {
    const int status = std::system(
        (std::string(VARNEX_CONVERT_BINARY) + " " + arguments + " >/dev/full 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 3) << arguments;
  }
  names = NamesIn(music);
  EXPECT_TRUE(std::all_of(names.begin(), names.end(),
                          [](const std::string& name) { return name.ends_with(".mp3"); }));
}

TEST_F(ConvertCommand, AfterTwoDashesEveryArgumentIsAFolder) {
  for (const char* name : {"--help", "--version", "-n"}) {
    folder.Folder(name);
  }
  folder.File("--help/a.mp3");
  folder.File("--version/b.mp3");
  folder.File("-n/c.mp3");
  const std::string command = "cd " + ShellQuoted(folder.Path()) + " && " + VARNEX_CONVERT_BINARY +
                              " --verbose -- --help --version -n >" + folder / "out";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(folder / "out"),
            "--help/a.mp3 -> a.iad\n--version/b.mp3 -> b.iad\n-n/c.mp3 -> c.iad\n"
            "3 renamed, 0 skipped\n");
}

TEST_F(ConvertCommand, ControlCharactersInNamesArePrintedAsTheirBytes) {
  // ESC, DEL, C1 CSI (U+009B), right-to-left override (U+202E), first strong isolate (U+2068)
  folder.File("a\x1B[31m\x7F\xC2\x9B\xE2\x80\xAE\xE2\x81\xA8z.mp3");
  folder.File("\xC3\xA9t\xC3\xA9.mp3");  // printable: shown as it is
  const Result run = RunConvert("--verbose " + target);
  EXPECT_TRUE(Has(run.out,
                  "a\\x1B[31m\\x7F\\xC2\\x9B\\xE2\\x80\\xAE\\xE2\\x81\\xA8z.mp3 -> "
                  "a\\x1B[31m\\x7F\\xC2\\x9B\\xE2\\x80\\xAE\\xE2\\x81\\xA8z.iad\n"));
  EXPECT_TRUE(Has(run.out, "\xC3\xA9t\xC3\xA9.mp3 -> \xC3\xA9t\xC3\xA9.iad\n"));
  EXPECT_EQ(EscapedName("\xE2\x80\xA7\xE2\x80\xAA\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xA6\xE2\x81\xA9"
                        "\xE2\x81\xAA\xC2\xA0\xC2\x80"),
            "\xE2\x80\xA7\\xE2\\x80\\xAA\xE2\x80\xAF\xE2\x81\xA5\\xE2\\x81\\xA6\\xE2\\x81\\xA9"
            "\xE2\x81\xAA\xC2\xA0\\xC2\\x80");
  // Marks that reorder the line (U+200E, U+200F, U+061C) and the line and paragraph separators
  // (U+2028, U+2029), with their printable neighbours (U+200D, U+202F, U+061B, U+061D) kept.
  EXPECT_EQ(EscapedName("a\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\xA8\xE2\x80\xA9"
                        "\xE2\x80\x8D\xD8\x9B\xD8\x9Dz"),
            "a\\xE2\\x80\\x8E\\xE2\\x80\\x8F\\xD8\\x9C\\xE2\\x80\\xA8\\xE2\\x80\\xA9"
            "\xE2\x80\x8D\xD8\x9B\xD8\x9Dz");
}

TEST_F(ConvertCommand, DryRunForeseesAnImmutableOrAppendOnlyFile) {
  const std::string frozen = folder.File("frozen.mp3");
  const std::string growing = folder.File("growing.mp3");
  folder.File("free.mp3");
  if (std::system(("chattr +i " + ShellQuoted(frozen) + " 2>/dev/null").c_str()) != 0 ||
      std::system(("chattr +a " + ShellQuoted(growing) + " 2>/dev/null").c_str()) != 0) {
    std::system(("chattr -i " + ShellQuoted(frozen) + " 2>/dev/null").c_str());
    GTEST_SKIP() << "the file system here has no immutable files, or chattr is not allowed";
  }
  const std::multiset<std::string> skips = PlanThenRun(folder.Path());
  // One call each: chattr takes no options after the first file, and an append-only file left
  // behind cannot be removed.
  std::system(("chattr -i " + ShellQuoted(frozen)).c_str());
  std::system(("chattr -a " + ShellQuoted(growing)).c_str());
  EXPECT_EQ(skips, (std::multiset<std::string>{frozen + ": Operation not permitted",
                                               growing + ": Operation not permitted"}));
  EXPECT_EQ(NamesIn(folder.Path()),
            (std::set<std::string>{"frozen.mp3", "growing.mp3", "free.iad"}));
}

TEST_F(ConvertCommand, DryRunForeseesAReadOnlyMount) {
  const std::string disk = folder.Folder("disk");
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "this machine does not let the test mount a tmpfs: " << std::strerror(errno);
  }
  folder.File("disk/a.mp3");
  folder.File("disk/b.mp3");
  folder.File("disk/b.iad");
  const bool readOnly =
      mount("none", disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
  const std::multiset<std::string> skips =
      readOnly ? PlanThenRun(disk) : std::multiset<std::string>{};
  const std::set<std::string> names = NamesIn(disk);
  umount2(disk.c_str(), MNT_DETACH);
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(skips, (std::multiset<std::string>{disk + "/a.mp3: Read-only file system",
                                               disk + "/b.mp3: Read-only file system"}));
  EXPECT_EQ(names, (std::set<std::string>{"a.mp3", "b.mp3", "b.iad"}));
}

// A folder with something mounted on it cannot be renamed, be it another file system or a folder
// of the same one bound there; the dry run says so as the pass does.
TEST_F(ConvertCommand, DryRunForeseesAMountPoint) {
  const std::string mounted = folder.Folder("x.mp3");
  const std::string bound = folder.Folder("z.mp3");
  const std::string elsewhere = folder.Folder("elsewhere");
  folder.File("y.mp3");
  // Unmounted however the test ends.
  using Unmount = decltype([](const std::string* path) { umount2(path->c_str(), MNT_DETACH); });
  std::unique_ptr<const std::string, Unmount> tmpfs;
  std::unique_ptr<const std::string, Unmount> bind;
  if (mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=64k") == 0) {
    tmpfs.reset(&mounted);
  }
  if (tmpfs && mount(elsewhere.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) == 0) {
    bind.reset(&bound);
  }
  if (!bind) {
    GTEST_SKIP() << "this machine does not let the test mount: " << std::strerror(errno);
  }
  struct statx status;
  if (statx(AT_FDCWD, bound.c_str(), AT_SYMLINK_NOFOLLOW, 0, &status) != 0 ||
      !(status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
    GTEST_SKIP() << "this kernel does not tell where a file system is bound onto itself";
  }
  const std::multiset<std::string> skips = PlanThenRun(folder.Path());
  EXPECT_EQ(skips, (std::multiset<std::string>{mounted + ": Device or resource busy",
                                               bound + ": Device or resource busy"}));
  EXPECT_EQ(NamesIn(folder.Path()),
            (std::set<std::string>{"elsewhere", "x.mp3", "y.iad", "z.mp3"}));
}

// An empty file or folder at the new name (the placeholder of a killed pass, most likely) is
// told apart from a taken name that holds data, in the dry run and in the pass alike.
TEST_F(ConvertCommand, EmptyEntryAtTheNewNameIsSaidToBeEmpty) {
  for (const char* name : {"908.mp3", "909.mp3", "910.mp3", "911.mp3", "912.mp3"}) {
    folder.File(name);
  }
  folder.File("908.iad", "");
  folder.Folder("909.iad");
  folder.File("910.iad", "data");
  folder.Folder("911.iad");
  folder.File("911.iad/inside", "");              // empty, but the folder is not
  folder.Symlink("912.iad", folder / "908.iad");  // a link is no placeholder, whatever it shows
  const std::multiset<std::string> skips = PlanThenRun(folder.Path());
  EXPECT_EQ(skips,
            (std::multiset<std::string>{
                folder / "908.mp3: 908.iad exists and is empty",
                folder / "909.mp3: 909.iad exists and is empty", folder / "910.mp3: 910.iad exists",
                folder / "911.mp3: 911.iad exists", folder / "912.mp3: 912.iad exists"}));
}

// In a sticky folder (like /tmp) a user may rename only what is his own.
TEST_F(ConvertCommand, DryRunForeseesAnotherOwnersFileInAStickyFolder) {
  AnotherUser other;  // to whom "mine" belongs; root owns "theirs"
  if (!other.Available()) {
    GTEST_SKIP() << other.WhyNot();
  }
  const TempFolder& scratch = other.Scratch();
  const std::string shared = scratch.Folder("shared");
  chmod(shared.c_str(), 01777);
  const std::string theirs = scratch.File("shared/theirs.mp3");
  ASSERT_EQ(chown(scratch.File("shared/mine.mp3").c_str(), AnotherUser::kUid, AnotherUser::kGid),
            0);
  EXPECT_TRUE(other.Runs([&] {
    const std::multiset<std::string> skips = PlanThenRun(shared);
    return !testing::Test::HasFailure() &&
           skips == std::multiset<std::string>{theirs + ": Operation not permitted"};
  }));
  EXPECT_EQ(NamesIn(shared), (std::set<std::string>{"theirs.mp3", "mine.iad"}));
}

// A folder whose listing fails after some entries, as one on a failing disk or a vanished network
// share does.
class FailingListing final : public test::ForwardingFileSystem {
 public:
  class Folder final : public ListedFolder {
   public:
    explicit Folder(int& renames) : renames_(renames) {}
    std::string Path() override { return "/music"; }
    FileIdentity Identity() override { return {}; }
    std::optional<VolumePlace> Place() override { return std::nullopt; }
    std::error_code List(std::string_view,
                         const std::function<void(std::string_view)>& found) override {
      found("0.mp3");
      found("1.mp3");
      return std::make_error_code(std::errc::io_error);
    }
    std::optional<EntryState> State(const std::string&) override { return std::nullopt; }
    std::error_code Rename(const std::string&, const std::string&, const BeforeLinking&) override {
      ++renames_;
      return {};
    }
    std::error_code Remove(const std::string&) override { return {}; }

   private:
    int& renames_;
  };

  using ForwardingFileSystem::ForwardingFileSystem;
  std::unique_ptr<ListedFolder> OpenFolder(const std::string&, std::error_code&) override {
    return std::make_unique<Folder>(renames);
  }

  int renames = 0;
};

TEST_F(ConvertCommand, ListingThatFailsPartWayIsAFailure) {
  for (const char* mode : {"--dry-run", "--verbose"}) {
    PosixFileSystem real;
    FailingListing fs(real);
    const Result result = RunHere({mode, "/music"}, &fs);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "varnex-convert: /music: cannot read: Input/output error\n");
    EXPECT_EQ(fs.renames, 0);
  }
}

// The arguments are read once, left to right: an option where a value should be is a mistake, and
// the first of --help, --version or a mistake decides.
TEST_F(ConvertCommand, ArgumentsAreReadOneWay) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string said;  // the first line on standard output, or else on standard error
  };
  const std::string music = "/nonexistent/music";
  const Case cases[] = {
      {{"--to", "--help", music},
       2,
       "varnex-convert: --to needs an extension, iad or mp3, not the option '--help'"},
      {{"--to", "--undo", music},
       2,
       "varnex-convert: --to needs an extension, iad or mp3, not the option '--undo'"},
      {{music, "--to"}, 2, "varnex-convert: --to needs an extension: iad or mp3"},
      {{"--to=wav", music}, 2, "varnex-convert: --to takes iad or mp3, not 'wav'"},
      {{"--frobnicate", "--help"}, 2, "varnex-convert: unknown option '--frobnicate'"},
      {{"--help", "--frobnicate"}, 0, std::string(Synopsis().substr(0, Synopsis().find('\n')))},
      {{"--version", "--to"}, 0, std::string("varnex-convert ") + kVersion},
      {{"--undo", "--list", music}, 2, "varnex-convert: --undo and --list do not go together"},
      {{"--list", "--to", "mp3", music},
       2,
       "varnex-convert: --to does not go with --undo or --list: a pass is undone the way it went"},
      {{"--list", "-n", music}, 2, "varnex-convert: --list takes no --dry-run or --verbose"},
      {{"--undo", music, music}, 2, "varnex-convert: --undo and --list take one folder"},
      {{"--undo"}, 2, "varnex-convert: no folder given"},
      {{"-v", "--"}, 2, "varnex-convert: no folder given"},
      {{"--to", "mp3", "--", "--to"}, 2, "varnex-convert: --to: cannot read: no such folder"},
      {{"--undo", music}, 2, "varnex-convert: " + music + ": nothing to undo"},
  };
  for (const Case& c : cases) {
    const Result result = RunHere(c.arguments);
    EXPECT_EQ(result.status, c.status) << c.said;
    const std::string said = c.status == 0 ? result.out : result.err;
    EXPECT_EQ(said.substr(0, said.find('\n')), c.said);
    if (c.status == 2 && c.said.find("cannot read") == std::string::npos &&
        c.said.find("nothing to undo") == std::string::npos) {
      EXPECT_TRUE(result.err.ends_with(Synopsis())) << result.err;
    }
  }
}

// A folder that ignores letter case (exFAT, FAT, NTFS mounted so) meets twins whose new names
// differ only in it as the real pass will: the second one finds its name taken. Made so through
// the file system layer over a real folder, which does not ignore case.
class IgnoringCase final : public test::ForwardingFileSystem {
 public:
  // The entry a name stands for in a folder that ignores letter case: the first listed that
  // differs from it at most in the case of ASCII letters.
  static std::optional<std::string> Resolve(const std::string& path) {
    const std::string folder(FolderOf(path));
    const std::string name(NameOf(path));
    for (const std::string& entry : NamesIn(folder)) {
      if (entry.size() == name.size() &&
          std::equal(entry.begin(), entry.end(), name.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        return folder + "/" + entry;
      }
    }
    return std::nullopt;
  }

  class Folder final : public test::ForwardingListedFolder {
   public:
    using ForwardingListedFolder::ForwardingListedFolder;
    std::error_code Rename(const std::string& from, const std::string& to,
                           const BeforeLinking& beforeLinking) override {
      if (Resolve(Path() + "/" + to)) {
        return std::make_error_code(std::errc::file_exists);
      }
      return real_->Rename(from, to, beforeLinking);
    }
  };

  using ForwardingFileSystem::ForwardingFileSystem;
  std::optional<std::uint32_t> Attributes(const std::string& path) override {
    const auto entry = Resolve(path);
    return entry ? real_.Attributes(*entry) : std::nullopt;
  }
  bool SameEntry(const std::string& first, const std::string& second) override {
    const auto a = Resolve(first);
    const auto b = Resolve(second);
    return a && b && real_.SameEntry(*a, *b);
  }
  std::unique_ptr<ListedFolder> OpenFolder(const std::string& path,
                                           std::error_code& error) override {
    auto real = real_.OpenFolder(path, error);
    return real ? std::make_unique<Folder>(std::move(real)) : nullptr;
  }
};

TEST_F(ConvertCommand, DryRunMeetsCaseTwinsAsAFolderThatIgnoresCaseWill) {
  folder.File("A.mp3");
  folder.File("a.MP3");
  folder.File("b.mp3");
  PosixFileSystem real;
  IgnoringCase fs(real);
  const Result plan = RunHere({"--dry-run", folder.Path()}, &fs);
  const Result pass = RunHere({"--verbose", folder.Path()}, &fs);
  EXPECT_EQ(plan.status, 1);
  EXPECT_EQ(pass.status, 1);
  ASSERT_EQ(PlannedSkips(plan).size(), 1u) << plan.out;
  EXPECT_EQ(PathsOf(ActualSkips(pass)), PathsOf(PlannedSkips(plan)));
  EXPECT_TRUE(Has(plan.out, " is taken by "));
  EXPECT_EQ(LinesContaining(plan.out, " -> "), LinesContaining(pass.out, " -> "));
  EXPECT_EQ(NamesIn(folder.Path()).count("b.iad"), 1u);
}

}  // namespace
}  // namespace varnex
