// The conversion for real on file systems that refuse the no-replace flag (NTFS and exFAT through
// FUSE) and on those that know it (ext4, tmpfs), on images the test makes and mounts itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "conversion/ConvertFolder.h"
#include "history/PassRecorder.h"
#include "history/Undo.h"
#include "platform/fs/NoReplaceRename.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"
#include "tests/support/InterruptedPass.h"
#include "tests/support/MountedImage.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::ListFolder;
using test::Listing;
using test::MountedImage;
using test::NamesIn;
using test::ReadFile;
using test::Run;
using test::SkipReason;
using test::TempFolder;

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Each test gets a fresh image of its kind, mounted; or it is skipped, saying why.
class FuseConversionTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (const std::string reason = SkipReason(kind); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
    try {
      disk = std::make_unique<MountedImage>(work, kind);
    } catch (const std::runtime_error& refused) {
      GTEST_SKIP() << "this machine does not let the test mount an image: " << refused.what();
    }
  }

  const std::string kind = GetParam();
  TempFolder work;
  std::unique_ptr<MountedImage> disk;
};

TEST_P(FuseConversionTest, ConvertsWithoutReplacingAnything) {
  const std::string music = work.Folder("mnt/music");
  for (const auto& [name, content] : Listing{{"a.mp3", "A"}, {"b.MP3", "B"}, {"c.mp3", "C"}}) {
    Write(music + "/" + name, content);
  }
  Write(music + "/c.iad", "taken");
  std::filesystem::create_directory(music + "/d.mp3");

  PosixFileSystem fs;
  ConvertFolder(fs, music, kMp3ToIad);
  EXPECT_EQ(
      ListFolder(music),
      (Listing{
          {"a.iad", "A"}, {"b.iad", "B"}, {"c.mp3", "C"}, {"c.iad", "taken"}, {"d.iad", "<dir>"}}));
  ConvertFolder(fs, music, kIadToMp3);  // c.mp3 is there, so c.iad stays
  EXPECT_EQ(
      ListFolder(music),
      (Listing{
          {"a.mp3", "A"}, {"b.mp3", "B"}, {"c.mp3", "C"}, {"c.iad", "taken"}, {"d.mp3", "<dir>"}}));
}

// Which way each file system takes, for a file and for a folder, and that each refuses a name
// that is taken (exFAT ignores letter case, so a name in other letters is taken too).
TEST_P(FuseConversionTest, SaysWhichWayItRenames) {
  const std::string root = disk->Path();
  Write(root + "/file.mp3", "F");
  std::filesystem::create_directory(root + "/folder.mp3");
  Write(root + "/x.mp3", "X");
  Write(root + "/x.iad", "taken");

  const RenameResult file = RenameWithoutReplacing(root + "/file.mp3", root + "/file.iad");
  const RenameResult folder = RenameWithoutReplacing(root + "/folder.mp3", root + "/folder.iad");
  const RenameResult taken = RenameWithoutReplacing(root + "/x.mp3", root + "/x.iad");
  EXPECT_FALSE(file.error);
  EXPECT_FALSE(folder.error);
  EXPECT_EQ(taken.error, std::errc::file_exists);
  EXPECT_EQ(file.method,
            kind == "ntfs" ? RenameMethod::LinkThenUnlink : RenameMethod::ReserveThenRename);
  EXPECT_EQ(folder.method, RenameMethod::ReserveThenRename);
  EXPECT_EQ(ReadFile(root + "/x.iad"), "taken");
  if (kind == "exfat") {
    Write(root + "/Y.IAD", "taken");
    Write(root + "/y.mp3", "Y");
    EXPECT_EQ(RenameWithoutReplacing(root + "/y.mp3", root + "/y.iad").error,
              std::errc::file_exists);
    EXPECT_EQ(ReadFile(root + "/Y.IAD"), "taken");
  }
}

INSTANTIATE_TEST_SUITE_P(FileSystems, FuseConversionTest, testing::Values("ntfs", "exfat"));

// Killed in the middle of a pass, varnex-convert leaves a journal from which every entry that was
// renamed goes back: on the local file system, with links to one file under both names made
// before the pass (no rename cut off halfway: both stay), and on file systems whose readdir gives
// no inode numbers and whose renames are not atomic refusals. FUSE makes every rename cost a
// search of the folder, so the folder is smaller there.
class UndoAfterAKillTest : public FuseConversionTest {};

TEST_P(UndoAfterAKillTest, UndoAfterAKillInTheMiddleOfAPassRestoresEveryRenamedEntry) {
  const int files = kind == "local" ? 50000 : 3000;
  const std::string music = disk->Path() + "/music";
  std::filesystem::create_directory(music);
  for (int i = 0; i < files; ++i) {
    Write(music + "/track " + std::to_string(i) + (i % 7 ? ".mp3" : ".MP3"), std::to_string(i));
  }
  const int pairs = kind == "exfat" ? 0 : 5;  // exFAT has no hard links
  for (int i = 0; i < pairs; ++i) {
    const std::string name = music + "/pair " + std::to_string(i);
    Write(name + ".mp3", "pair");
    std::filesystem::create_hard_link(name + ".mp3", name + ".iad");
  }
  const std::set<std::string> start = NamesIn(music);
  const std::string state = work / "state";
  const test::InterruptedPass pass = test::KillMidPass(VARNEX_CONVERT_BINARY, music, state);
  // Every rename planned is in the journal, those bound to be refused too.
  ASSERT_EQ(pass.planned.renames.size(), static_cast<std::size_t>(files + pairs));
  EXPECT_TRUE(pass.killed);
  // An entry counts as renamed when only its new name is there, or when both names are the same
  // file (killed between link and unlink, NTFS-3G). A kill between reserving a new name and
  // renaming onto it (exFAT) leaves that empty placeholder beside the entry's old name: the entry
  // was not renamed, and the placeholder, which nobody can prove is ours, stays.
  std::size_t renamed = 0;
  std::set<std::string> placeholders;
  for (const std::string& name : NamesIn(music)) {
    if (!name.ends_with(".iad") || name.starts_with("pair ")) {
      continue;
    }
    const std::string stem = music + "/" + name.substr(0, name.size() - 3);
    const std::string old = std::filesystem::exists(stem + "mp3") ? stem + "mp3" : stem + "MP3";
    if (!std::filesystem::exists(old) || std::filesystem::equivalent(old, music + "/" + name)) {
      ++renamed;
    } else {
      EXPECT_EQ(std::filesystem::file_size(music + "/" + name), 0u) << name;
      placeholders.insert(name);
    }
  }
  EXPECT_GT(renamed, 0u);
  EXPECT_LT(renamed, static_cast<std::size_t>(files)) << "the pass ended before the kill";
  EXPECT_LE(placeholders.size(), 1u);

  const std::string outputs = work / "undo";
  const int status = std::system(("XDG_STATE_HOME=" + test::ShellQuoted(state) + " " +
                                  VARNEX_CONVERT_BINARY + " --undo " + test::ShellQuoted(music) +
                                  " >" + outputs + ".out 2>" + outputs + ".err")
                                     .c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);          // the entries never reached are kept
  EXPECT_EQ(ReadFile(outputs + ".err"), "");  // and counted, not listed
  const std::string summary = ReadFile(outputs + ".out");
  EXPECT_NE(summary.find(": " + std::to_string(renamed) + " restored, " +
                         std::to_string(files + pairs - renamed) + " kept\n"),
            std::string::npos)
      << summary;
  std::set<std::string> expected = start;
  expected.insert(placeholders.begin(), placeholders.end());
  EXPECT_TRUE(NamesIn(music) == expected);
  EXPECT_EQ(ReadFile(music + "/track 7.MP3"), "7");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, UndoAfterAKillTest,
                         testing::Values("local", "ntfs", "exfat"));

// exFAT numbers inodes anew at every mount, as FAT does: a pass made there is found again after
// the volume was unmounted and mounted again, by the volume's serial number and the folder's
// place in it, and its entries by name, size and modification time. One changed since, and one
// whose old name was taken since, stay as they are. Before the volume is mounted again, the inode
// numbers still tell an entry made anew with the same size and time from the renamed one.
class RemountTest : public FuseConversionTest {};

TEST_P(RemountTest, APassIsUndoneAfterTheVolumeIsMountedAgain) {
  const std::string music = disk->Path() + "/music";
  std::filesystem::create_directory(music);
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "changed.mp3", "taken.mp3", "anew.mp3"}) {
    Write(music + "/" + name, name);
  }
  PosixFileSystem fs;
  PosixJournalStorage storage;
  History history(storage, work / "state");
  PassRecorder journal(history);
  ConvertFolder(fs, music, kMp3ToIad, {&journal});
  std::error_code error;
  const FileIdentity before = fs.OpenFolder(music, error)->Identity();
  const auto written = std::filesystem::last_write_time(music + "/anew.iad");
  std::filesystem::remove(music + "/anew.iad");
  Write(music + "/anew.iad", "anew.mp3");
  std::filesystem::last_write_time(music + "/anew.iad", written);
  const auto dryRun = UndoNewestPass(fs, history, music, true).undone;
  ASSERT_TRUE(dryRun);
  EXPECT_EQ(dryRun->report.kept, 1u);

  disk->Remount();
  // Entries looked up in another order are numbered otherwise.
  std::filesystem::create_directory(disk->Path() + "/other");
  for (int i = 0; i < 20; ++i) {
    Write(disk->Path() + "/other/" + std::to_string(i), "x");
  }
  for (const std::string name :
       {"anew.iad", "taken.iad", "changed.iad", "c.iad", "b.iad", "a.iad"}) {
    ASSERT_TRUE(std::filesystem::exists(music + "/" + name)) << name;
  }
  const auto remounted = fs.OpenFolder(music, error);
  ASSERT_TRUE(remounted);
  ASSERT_NE(remounted->Identity().inode, before.inode) << "numbered as before the mount";
  ASSERT_TRUE(remounted->Place()) << "the volume cannot be told here";
  std::ofstream(music + "/changed.iad", std::ios::app) << " and more";
  Write(music + "/taken.mp3", "made since");

  const auto undone = UndoNewestPass(fs, history, music, false).undone;
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->report.restored, 4u);  // once mounted again, the new one cannot be told
  EXPECT_EQ(undone->report.kept, 2u);
  EXPECT_EQ(NamesIn(music), (std::set<std::string>{"a.mp3", "b.mp3", "c.mp3", "changed.iad",
                                                   "taken.iad", "taken.mp3", "anew.mp3"}));
  EXPECT_EQ(ReadFile(music + "/a.mp3"), "a.mp3");
  EXPECT_EQ(ReadFile(music + "/taken.mp3"), "made since");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, RemountTest, testing::Values("exfat"));

// A folder whose listing fails part way, for real: the NTFS-3G process serving it dies after the
// first read of the folder. The search must say so, not end as if the folder had ended.
TEST(FuseListing, ListingThatFailsPartWayIsAFailure) {
  if (const std::string reason = SkipReason("ntfs"); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  TempFolder work;
  const std::string image = work / "disk.img";
  const std::string mountPoint = work.Folder("mnt");
  try {
    test::Run("truncate -s 32M " + image);
    test::Run("mkntfs -F -Q -q " + image);
  } catch (const std::runtime_error& refused) {
    GTEST_SKIP() << refused.what();
  }
  const pid_t server = fork();
  if (server == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    execlp("ntfs-3g", "ntfs-3g", "-o", "no_detach", image.c_str(), mountPoint.c_str(), nullptr);
    _exit(127);
  }
  struct stat mounted {
  }, parent{};
  stat(work.Path().c_str(), &parent);
  for (int wait = 0; wait < 500; ++wait) {
    if (stat(mountPoint.c_str(), &mounted) == 0 && mounted.st_dev != parent.st_dev) {
      break;
    }
    usleep(10000);
  }
  const bool isMounted = mounted.st_dev != parent.st_dev;
  if (isMounted) {
    for (int i = 0; i < 3000; ++i) {
      Write(mountPoint + "/track number " + std::to_string(i) + ".mp3", "");
    }
  }
  PosixFileSystem fs;
  const auto search = fs.Find(mountPoint + "/*.mp3", 63);
  const bool first = isMounted && search->Next().has_value();
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  int listed = 1;
  while (first && search->Next()) {
    ++listed;
  }
  std::system(("umount -l " + mountPoint + " 2>/dev/null").c_str());
  if (!isMounted) {
    GTEST_SKIP() << "this machine does not let the test mount an image";
  }
  ASSERT_TRUE(first);
  ASSERT_LT(listed, 3000) << "listed whole in one read";
  EXPECT_EQ(search->Error(), std::errc::not_connected);
}

// Another program creates the names the conversion renames to, files and folders, while it runs.
// Whatever that program made must still be there afterwards, and so must every entry we renamed.
class RacingWriterTest : public FuseConversionTest {
 protected:
  static constexpr int kRuns = 100;
  static constexpr int kEntries = 24;  // per run; every other one a folder

  // The writer: tries names "<k>.iad" in a random order, as a file or a folder, until stopped,
  // and sends "f k" or "d k" down `report` for each one it made.
  [[noreturn]] static void Writer(const std::string& folder, int report, unsigned seed) {
    static volatile sig_atomic_t stopped = 0;
    signal(SIGTERM, [](int) { stopped = 1; });
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &term, nullptr);  // blocked until the handler is in place
    if (write(report, "r", 1) != 1) {          // started: the conversion may begin
      _exit(1);
    }
    for (unsigned round = seed; !stopped; ++round) {
      const int k = static_cast<int>((round * 2654435761u) >> 7) % kEntries;
      const bool asFolder = (round >> 3) % 2 == 0;
      const std::string name = folder + "/" + std::to_string(k) + ".iad";
      bool made = false;
      if (asFolder) {
        made = mkdir(name.c_str(), 0755) == 0;
      } else if (const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644); fd >= 0) {
        made = write(fd, "writer", 6) == 6;
        close(fd);
      }
      if (made) {
        const std::string line = std::string(asFolder ? "d " : "f ") + std::to_string(k) + "\n";
        if (write(report, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
          _exit(1);
        }
      }
    }
    _exit(0);
  }

  struct Tally {
    int created = 0;   // entries the writer made
    int replaced = 0;  // of those, taken over by a renamed entry
    int lost = 0;      // entries of ours found under neither name
    int leftover = 0;  // names held by an entry that neither we nor the writer made
  };

  // One run in a fresh folder: our entries "<k>.mp3", each marked "ours <k>" (a folder holds a
  // file with that text), then the conversion with the writer racing it.
  void RunOnce(const std::string& folder, unsigned seed, Tally& tally) {
    std::filesystem::create_directory(folder);
    for (int k = 0; k < kEntries; ++k) {
      const std::string path = folder + "/" + std::to_string(k) + ".mp3";
      if (k % 2 == 0) {
        std::filesystem::create_directory(path);
        Write(path + "/mark", "ours " + std::to_string(k));
      } else {
        Write(path, "ours " + std::to_string(k));
      }
    }
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    sigset_t term, before;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &before);
    const pid_t writer = fork();
    if (writer == 0) {
      close(report[0]);
      Writer(folder, report[1], seed);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    close(report[1]);
    char started = 0;
    ASSERT_EQ(read(report[0], &started, 1), 1);
    PosixFileSystem fs;
    ConvertFolder(fs, folder, kMp3ToIad);
    kill(writer, SIGTERM);
    int status = 0;
    waitpid(writer, &status, 0);
    std::string lines;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) {
      lines.append(buffer, static_cast<std::size_t>(n));
    }
    close(report[0]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::set<int> madeByWriter;
    std::istringstream made(lines);
    for (std::string type; made >> type;) {
      int k = 0;
      made >> k;
      madeByWriter.insert(k);
      ++tally.created;
    }
    const auto mark = [](const std::string& path) {
      return ReadFile(std::filesystem::is_directory(path) ? path + "/mark" : path);
    };
    for (int k = 0; k < kEntries; ++k) {
      const std::string ours = "ours " + std::to_string(k);
      const std::string mp3 = folder + "/" + std::to_string(k) + ".mp3";
      const std::string iad = folder + "/" + std::to_string(k) + ".iad";
      const std::string atIad = mark(iad);
      if (mark(mp3) != ours && atIad != ours) {
        ++tally.lost;
      }
      if (madeByWriter.count(k) != 0) {
        tally.replaced += atIad == ours;
      } else if (std::filesystem::exists(iad) && atIad != ours) {
        ++tally.leftover;
      }
    }
  }
};

TEST_P(RacingWriterTest, NothingTheWriterMadeIsReplaced) {
  Tally tally;
  for (int run = 0; run < kRuns; ++run) {
    RunOnce(disk->Path() + "/run" + std::to_string(run), static_cast<unsigned>(run) * 7919u, tally);
    ASSERT_FALSE(HasFatalFailure());
  }
  std::cout << kind << ": " << kRuns << " runs, the writer made " << tally.created << " entries, "
            << tally.replaced << " replaced, " << tally.lost << " lost, " << tally.leftover
            << " left behind\n";
  EXPECT_GT(tally.created, 0);
  EXPECT_EQ(tally.replaced, 0);
  EXPECT_EQ(tally.lost, 0);
  EXPECT_EQ(tally.leftover, 0);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, RacingWriterTest,
                         testing::Values("ntfs", "exfat", "ext4", "tmpfs"));

}  // namespace
}  // namespace varnex
