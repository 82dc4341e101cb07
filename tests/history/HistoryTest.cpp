// Journals of real passes in real folders, and their undo.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "conversion/ConvertFolder.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Undo.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"
#include "tests/support/ForwardingFileSystem.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::ListFolder;
using test::Listing;
using test::ReadFile;
using test::TempFolder;

constexpr std::int64_t kDay = 86'400'000'000'000;

int ModeOf(const std::string& path) {
  struct stat status {};
  lstat(path.c_str(), &status);
  return static_cast<int>(status.st_mode & 07777);
}

class HistoryTest : public testing::Test {
 protected:
  ConversionPlan Convert(const std::string& from, const std::string& to,
                         const std::string& where = "") {
    return ConvertFolder(fs, where.empty() ? music : where, from, to, &recorder);
  }
  std::optional<UndonePass> Undo(const std::string& where = "", bool dryRun = false) {
    return UndoNewestPass(fs, history, where.empty() ? music : where, dryRun);
  }
  std::vector<std::string> Journals() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(state)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  std::vector<std::string> PassesOfMusic() {
    return history.Passes(*storage.FolderIdentity(music));
  }

  TempFolder work;
  std::string music = work.Folder("music");
  std::string state = work / "state/varnex";
  std::int64_t now = 1796640391850054725;
  PosixFileSystem fs;
  PosixJournalStorage storage;
  History history{storage, state, [this] { return now += 1000; }};
  PassRecorder recorder{fs, history};
};

TEST_F(HistoryTest, UndoPutsBackEveryNameByteForByte) {
  const std::string odd("odd\nname\xff\xfe.mp3");
  const Listing before{{"Song.MP3", "song"}, {"a.mp3", "a"},     {".h.mp3", "hidden"},
                       {"d.mp3", "<dir>"},   {odd, "odd"},       {"b.iad", "b"},
                       {"c.mp3", "c"},       {"c.iad", "taken"}, {"notes.txt", "n"}};
  for (const auto& [name, content] : before) {
    if (content == "<dir>") {
      work.Folder("music/" + name);
    } else {
      work.File("music/" + name, content);
    }
  }
  Convert("mp3", "iad");
  EXPECT_EQ(ListFolder(music).count("Song.iad"), 1u);
  EXPECT_EQ(ListFolder(music).count("d.iad"), 1u);

  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(ListFolder(music), before);
  EXPECT_EQ(undone->report.restored, 5u);  // c.mp3 was never renamed, so it is not in the journal
  EXPECT_EQ(undone->report.kept, 0u);
  EXPECT_EQ(undone->pass.fromExtension, "mp3");
  EXPECT_TRUE(Journals().empty());
  EXPECT_FALSE(Undo());
}

TEST_F(HistoryTest, TheJournalIsWholeOnDiskBeforeTheFirstRename) {
  // A file system that looks at the journal when the first rename comes.
  class Watching final : public test::ForwardingFileSystem {
   public:
    Watching(PosixFileSystem& fs, History& history, std::string folder)
        : ForwardingFileSystem(fs), history_(history), folder_(std::move(folder)) {}
    std::error_code RenameNoReplace(const std::string& from, const std::string& to) override {
      if (!seen) {
        const auto passes = history_.Passes(*history_.Storage().FolderIdentity(folder_));
        seen = passes.size() == 1 ? history_.Load(passes.front()) : std::nullopt;
        if (!seen) {
          seen = PassRecord{};
        }
      }
      return real_.RenameNoReplace(from, to);
    }
    std::optional<PassRecord> seen;

   private:
    History& history_;
    std::string folder_;
  };
  work.File("music/a.mp3");
  work.File("music/b.MP3");
  work.File("music/b.iad");
  work.File("music/c.mp3");
  work.File("music/C.IAD");  // another name where letter case counts
  Watching watching(fs, history, music);
  PassRecorder watched(watching, history);
  ConvertFolder(watching, music, "mp3", "iad", &watched);

  ASSERT_TRUE(watching.seen);
  std::map<std::string, std::string> planned;
  for (const RecordedRename& rename : watching.seen->renames) {
    planned[rename.oldName] = rename.newName;
    struct stat status {};
    lstat((music + "/" + rename.newName).c_str(), &status);
    if (rename.oldName == "a.mp3") {
      EXPECT_EQ(rename.inode, status.st_ino);
    }
  }
  // b.iad was there already, so b.MP3 could not take its name and is not in the journal.
  EXPECT_EQ(planned, (std::map<std::string, std::string>{{"a.mp3", "a.iad"}, {"c.mp3", "c.iad"}}));
  EXPECT_EQ(watching.seen->folder, music);
  EXPECT_EQ(watching.seen->toExtension, "iad");
  const auto kept = history.Load(PassesOfMusic().front());
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->renames, watching.seen->renames);
}

TEST_F(HistoryTest, JournalsAreForTheUserAloneAndLeaveNoTemporaryFile) {
  work.File("music/a.mp3");
  Convert("mp3", "iad");
  EXPECT_EQ(ModeOf(work / "state"), 0700);
  EXPECT_EQ(ModeOf(state), 0700);
  const auto names = Journals();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names.front().ends_with(".journal")) << names.front();
  EXPECT_EQ(ModeOf(state + "/" + names.front()), 0600);
  // A state folder made too open by hand is closed again.
  chmod(state.c_str(), 0755);
  Convert("iad", "mp3");
  EXPECT_EQ(ModeOf(state), 0700);
}

TEST_F(HistoryTest, APassWithoutAJournalStillRuns) {
  work.File("music/a.mp3", "A");
  work.File("blocker", "a file where the state folder would go");
  History nowhere(storage, work / "blocker/varnex");
  PassRecorder blocked(fs, nowhere);
  ConvertFolder(fs, music, "mp3", "iad", &blocked);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.iad", "A"}}));
  EXPECT_TRUE(blocked.Error());
  EXPECT_FALSE(UndoNewestPass(fs, nowhere, music, false));

  History homeless(storage, "");
  PassRecorder lost(fs, homeless);
  ConvertFolder(fs, music, "iad", "mp3", &lost);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "A"}}));
  EXPECT_TRUE(lost.Error());
}

// Also when the folder's change time missed the changes, as a coarse clock may: the listing that
// then stands in for asking each entry still tells the ones that are not the recorded entry.
TEST_F(HistoryTest, UndoNeverReplacesAndKeepsWhatChangedSince) {
  for (const bool changeTimeMissedIt : {false, true}) {
    const std::string name = changeTimeMissedIt ? "missed" : "seen";
    const std::string folder = work.Folder(name);
    for (const std::string file :
         {"taken.mp3", "moved.mp3", "deleted.mp3", "redone.mp3", "swapped.mp3", "fine.mp3"}) {
      work.File(name + "/" + file, file);
    }
    Convert("mp3", "iad", folder);
    work.File(name + "/taken.mp3", "new");  // made at the old name after the pass
    std::filesystem::rename(folder + "/moved.iad", folder + "/elsewhere.iad");
    std::filesystem::remove(folder + "/deleted.iad");
    work.File(name + "/redone.mp3",
              "redone");  // another file at the old name, then the new one gone
    std::filesystem::remove(folder + "/redone.iad");
    work.File(name + "/another", "another file");
    std::filesystem::rename(folder + "/another", folder + "/swapped.iad");
    if (changeTimeMissedIt) {
      const std::string journal = history.Passes(*storage.FolderIdentity(folder)).front();
      PassRecord pass = *history.Load(journal);
      ASSERT_TRUE(pass.changedAfter);
      pass.changedAfter = storage.ChangeTime(folder);
      ASSERT_FALSE(history.Rewrite(journal, pass));
    }

    const auto undone = Undo(folder);
    ASSERT_TRUE(undone);
    std::map<std::string, KeptBecause> why;
    for (const UndoStep& step : undone->report.steps) {
      why[step.newPath.substr(folder.size() + 1)] = step.kept;
    }
    EXPECT_EQ(why, (std::map<std::string, KeptBecause>{{"taken.iad", KeptBecause::kOldNameTaken},
                                                       {"moved.iad", KeptBecause::kGone},
                                                       {"deleted.iad", KeptBecause::kGone},
                                                       {"redone.iad", KeptBecause::kGone},
                                                       {"swapped.iad", KeptBecause::kOtherEntry},
                                                       {"fine.iad", KeptBecause::kNone}}))
        << name;
    EXPECT_EQ(undone->report.restored, 1u);
    EXPECT_EQ(undone->report.kept, 5u);
    EXPECT_EQ(ListFolder(folder), (Listing{{"taken.mp3", "new"},
                                           {"redone.mp3", "redone"},
                                           {"taken.iad", "taken.mp3"},
                                           {"elsewhere.iad", "moved.mp3"},
                                           {"swapped.iad", "another file"},
                                           {"fine.mp3", "fine.mp3"}}))
        << name;
  }
}

TEST_F(HistoryTest, AnEntryThePassNeverReachedIsKeptAsItIs) {
  work.File("music/a.mp3", "A");
  work.File("music/b.mp3", "B");
  Convert("mp3", "iad");
  std::filesystem::rename(music + "/b.iad", music + "/b.mp3");  // as if the pass stopped before b
  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "A"}, {"b.mp3", "B"}}));
  EXPECT_EQ(undone->report.kept, 1u);
  for (const UndoStep& step : undone->report.steps) {
    EXPECT_EQ(step.kept,
              step.oldPath.ends_with("b.mp3") ? KeptBecause::kNotRenamed : KeptBecause::kNone);
  }
}

// A rename back that the file system refuses leaves the entry under its new name, and says so.
TEST_F(HistoryTest, ARefusedRenameBackIsReportedAsKept) {
  class Refusing final : public test::ForwardingFileSystem {
   public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::error_code RenameNoReplace(const std::string&, const std::string&) override {
      return std::make_error_code(std::errc::permission_denied);
    }
  };
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  Refusing refusing(fs);
  const auto undone = UndoNewestPass(refusing, history, music, false);
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->report.restored, 0u);
  EXPECT_EQ(undone->report.kept, 1u);
  ASSERT_EQ(undone->report.steps.size(), 1u);
  EXPECT_EQ(undone->report.steps.front().kept, KeptBecause::kRefused);
  EXPECT_EQ(undone->report.steps.front().error, std::errc::permission_denied);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.iad", "A"}}));
}

TEST_F(HistoryTest, ARenameCutOffBetweenLinkAndUnlinkIsFinished) {
  work.File("music/a.mp3", "A");
  work.File("music/b.mp3", "B");
  Convert("mp3", "iad");
  // a.mp3 got its new name by link, and the old name was never unlinked.
  ASSERT_EQ(link((music + "/a.iad").c_str(), (music + "/a.mp3").c_str()), 0);
  ASSERT_EQ(unlink((music + "/a.iad").c_str()), 0);
  ASSERT_EQ(link((music + "/a.mp3").c_str(), (music + "/a.iad").c_str()), 0);

  const auto dry = Undo("", true);
  ASSERT_TRUE(dry);
  EXPECT_EQ(dry->report.restored, 2u);
  EXPECT_EQ(ListFolder(music).size(), 3u);

  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->report.restored, 2u);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "A"}, {"b.mp3", "B"}}));
  struct stat status {};
  lstat((music + "/a.mp3").c_str(), &status);
  EXPECT_EQ(status.st_nlink, 1u);
}

// Names that were links to one file before the pass are no rename cut off halfway, even when the
// pass never got to them.
TEST_F(HistoryTest, LinksThatWereThereBeforeThePassBothStay) {
  work.File("music/a.mp3", "A");
  work.File("music/hl.mp3", "H");
  ASSERT_EQ(link((music + "/hl.mp3").c_str(), (music + "/hl.iad").c_str()), 0);
  const Listing before = ListFolder(music);
  // Killed right after its journal was written: not one rename happened.
  recorder.BeforeRenaming(music, "mp3", "iad", PlanConversion(fs, music, "mp3", "iad"));
  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(ListFolder(music), before);
  EXPECT_EQ(undone->report.restored, 0u);
  EXPECT_EQ(undone->report.kept, 1u);  // a.mp3 alone was planned

  // A journal written before new names were checked lists the link; undo keeps both names.
  struct stat folder {};
  struct stat entry {};
  ASSERT_EQ(stat(music.c_str(), &folder), 0);
  ASSERT_EQ(lstat((music + "/hl.mp3").c_str(), &entry), 0);
  const std::string old = "varnex-journal 1\nfolder " + std::to_string(music.size()) + ":" + music +
                          "\ndevice " + std::to_string(folder.st_dev) + "\ninode " +
                          std::to_string(folder.st_ino) +
                          "\nfrom 3:mp3\nto 3:iad\ntime 1796640391850055000\nrenames 1\n" +
                          std::to_string(entry.st_ino) + " 6:hl.mp3 6:hl.iad\nend\n";
  ASSERT_FALSE(storage.WriteDurably(state + "/" + std::to_string(folder.st_dev) + "-" +
                                        std::to_string(folder.st_ino) +
                                        "-1796640391850055000-0000abcd.journal",
                                    old));
  for (const bool dryRun : {true, false}) {
    const auto fromOld = Undo("", dryRun);
    ASSERT_TRUE(fromOld);
    EXPECT_EQ(fromOld->report.restored, 0u);
    EXPECT_EQ(fromOld->report.kept, 1u);
    EXPECT_EQ(ListFolder(music), before);
  }
}

// Old names that differ only in the letter case of their extension share their new name, which
// only the first rename can take: the other one is no rename cut off halfway, even when both old
// names are links to one file.
TEST_F(HistoryTest, OldNamesThatShareTheirNewNameAreNotTakenForARenameCutOff) {
  work.File("music/x.mp3", "X");
  ASSERT_EQ(link((music + "/x.mp3").c_str(), (music + "/x.MP3").c_str()), 0);
  const Listing before = ListFolder(music);
  const ConversionPlan plan = PlanConversion(fs, music, "mp3", "iad");
  ASSERT_EQ(plan.steps.size(), 2u);
  recorder.BeforeRenaming(music, "mp3", "iad", plan);
  // Killed right after the first rename.
  ASSERT_FALSE(fs.RenameNoReplace(plan.steps.front().from, plan.steps.front().to));

  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(ListFolder(music), before);
  EXPECT_EQ(undone->report.restored, 1u);
  EXPECT_EQ(undone->report.kept, 0u);
}

// A file system gives a freed inode number to the next entry it makes; the birth time tells them
// apart where the file system keeps one, also for a pass that was cut off.
TEST_F(HistoryTest, AnEntryThatReplacedTheRenamedOneUnderItsNumberIsKept) {
  if (!storage.EntryIdentity(music)->birth) {
    GTEST_SKIP() << "the temporary folder's file system keeps no birth times";
  }
  for (const bool cutOff : {false, true}) {
    const std::string name = cutOff ? "cut" : "whole";
    const std::string folder = work.Folder(name);
    work.File(name + "/a.mp3", "A");
    work.File(name + "/b.mp3", "B");
    if (cutOff) {  // killed after its last rename, before it could say so
      ConversionPlan plan = PlanConversion(fs, folder, "mp3", "iad");
      recorder.BeforeRenaming(folder, "mp3", "iad", plan);
      CarryOut(fs, plan);
    } else {
      Convert("mp3", "iad", folder);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // past the clock's coarse steps
    std::filesystem::remove(folder + "/a.iad");
    work.File(name + "/a.iad", "new");
    // As if the new a.iad had been given the number of the one that was removed.
    const std::string journal = history.Passes(*storage.FolderIdentity(folder)).front();
    PassRecord pass = *history.Load(journal);
    EXPECT_EQ(pass.changedAfter.has_value(), !cutOff);
    for (RecordedRename& rename : pass.renames) {
      if (rename.oldName == "a.mp3") {
        rename.inode = storage.EntryIdentity(folder + "/a.iad")->inode;
      }
    }
    ASSERT_FALSE(history.Rewrite(journal, pass));

    const auto undone = Undo(folder);
    ASSERT_TRUE(undone);
    EXPECT_EQ(ListFolder(folder), (Listing{{"a.iad", "new"}, {"b.mp3", "B"}})) << name;
    EXPECT_EQ(undone->report.restored, 1u);
    EXPECT_EQ(undone->report.kept, 1u);
  }
}

TEST_F(HistoryTest, ANewFolderGivenTheNumberOfAConvertedOneIsNotIt) {
  if (!storage.FolderIdentity(music)->birth) {
    GTEST_SKIP() << "the temporary folder's file system keeps no birth times";
  }
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  PassRecord pass = *history.Load(PassesOfMusic().front());
  std::filesystem::remove_all(music);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  work.Folder("music");
  work.File("music/x.iad", "X");
  // As if the new folder and its file had been given the numbers of the old ones; the file's
  // birth is not known, so only the folder's can tell.
  const FileIdentity folder = *storage.FolderIdentity(music);
  pass.folderIdentity.device = folder.device;
  pass.folderIdentity.inode = folder.inode;
  pass.time = history.Now();
  pass.renames = {{storage.EntryIdentity(music + "/x.iad")->inode, "x.mp3", "x.iad", {}}};
  std::error_code error;
  ASSERT_TRUE(history.Record(pass, error)) << error.message();

  EXPECT_FALSE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"x.iad", "X"}}));
  // The same journal with the new folder's birth time is undone: the check is the birth time.
  pass.folderIdentity.birth = folder.birth;
  ASSERT_FALSE(history.Rewrite(PassesOfMusic().front(), pass));
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"x.mp3", "X"}}));
}

TEST_F(HistoryTest, RoundTripThenTwoUndosGiveTheStartExactly) {
  const Listing start{
      {"Song.MP3", "s"}, {"a.mp3", "a"}, {"b.iad", "b"}, {"c.mp3", "c"}, {"c.iad", "ci"}};
  for (const auto& [name, content] : start) {
    work.File("music/" + name, content);
  }
  Convert("mp3", "iad");
  Convert("iad", "mp3");
  EXPECT_EQ(PassesOfMusic().size(), 2u);
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), start);
  EXPECT_FALSE(Undo());
}

TEST_F(HistoryTest, DryRunChangesNothingAndKeepsTheJournal) {
  work.File("music/a.mp3", "A");
  work.File("music/b.mp3", "B");
  Convert("mp3", "iad");
  work.File("music/b.mp3", "new");
  const Listing converted = ListFolder(music);
  const auto dry = Undo("", true);
  ASSERT_TRUE(dry);
  EXPECT_EQ(dry->report.restored, 1u);
  EXPECT_EQ(dry->report.kept, 1u);
  EXPECT_EQ(ListFolder(music), converted);
  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->report.restored, 1u);
  EXPECT_EQ(undone->report.kept, 1u);
}

TEST_F(HistoryTest, AFolderIsFoundByItsIdentityUnderAnyPath) {
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad", music + "/");
  const std::string moved = work / "renamed";
  std::filesystem::rename(music, moved);
  work.Symlink("link", moved);
  EXPECT_FALSE(Undo(work.Folder("music")));  // a new folder at the old path is another folder
  ASSERT_TRUE(Undo(work / "link"));
  EXPECT_EQ(ListFolder(moved), (Listing{{"a.mp3", "A"}}));
}

TEST_F(HistoryTest, PassesThatChangedNothingLeaveNothingToUndo) {
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  Convert("mp3", "iad");  // finds nothing
  work.File("music/a.mp3", "new");
  Convert("iad", "mp3");  // a.iad cannot take its name back
  EXPECT_EQ(PassesOfMusic().size(), 1u);
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "new"}, {"a.iad", "A"}}));
}

TEST_F(HistoryTest, OnlyTheLastTwentyPassesOfAFolderAndNothingOlderThanNinetyDaysStay) {
  const std::string other = work.Folder("other");
  work.File("music/a.mp3");
  work.File("other/x.mp3");
  std::int64_t start = now;
  now -= 91 * kDay;
  ConvertFolder(fs, other, "mp3", "iad", &recorder);  // an old pass of another folder
  now = start - 89 * kDay;
  ConvertFolder(fs, other, "iad", "mp3", &recorder);  // a younger one
  now = start;
  std::vector<std::int64_t> times;
  for (int i = 0; i < 25; ++i) {
    times.push_back(now + 1000);  // the clock's next reading is the pass's time
    Convert(i % 2 ? "iad" : "mp3", i % 2 ? "mp3" : "iad");
  }
  work.File("state/varnex/1-2-0000000000000000001-00000000.journal.part", "a writer that died");
  // Files that are not journals are nobody's business here, however old they look.
  const std::vector<std::string> foreign{
      "notes.txt", "1-2-0000000000000000001-00000000.journal.bak",
      "1-2-0000000000000000001-0000000g.journal", "1-2-0000000000000000001-000000000.journal"};
  for (const std::string& name : foreign) {
    work.File("state/varnex/" + name);
  }
  times.push_back(now + 1000);
  Convert("iad", "mp3");
  for (const std::string& name : foreign) {
    EXPECT_TRUE(std::filesystem::exists(state + "/" + name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(state + "/1-2-0000000000000000001-00000000.journal.part"));

  const auto passes = PassesOfMusic();
  ASSERT_EQ(passes.size(), History::kPassesKept);
  for (std::size_t i = 0; i < passes.size(); ++i) {
    EXPECT_EQ(history.Load(passes[i])->time, times[times.size() - 1 - i]);
  }
  const auto ofOther = history.Passes(*storage.FolderIdentity(other));
  ASSERT_EQ(ofOther.size(), 1u);
  EXPECT_EQ(history.Load(ofOther.front())->toExtension, "mp3");
  EXPECT_EQ(Journals().size(), History::kPassesKept + 1 + foreign.size());
}

TEST(StateFolder, FollowsXdgStateHomeThenHome) {
  const auto restore = [](const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
  };
  const char* savedState = std::getenv("XDG_STATE_HOME");
  const std::string state = savedState ? savedState : "";
  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome ? savedHome : "";
  PosixJournalStorage storage;
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_STATE_HOME", "/var/state", 1);
  EXPECT_EQ(storage.StateFolder(), "/var/state/varnex");
  setenv("XDG_STATE_HOME", "relative/state", 1);
  EXPECT_EQ(storage.StateFolder(), "/home/someone/.local/state/varnex");
  unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(storage.StateFolder(), "/home/someone/.local/state/varnex");
  restore("XDG_STATE_HOME", savedState ? state.c_str() : nullptr);
  restore("HOME", savedHome ? home.c_str() : nullptr);
}

}  // namespace
}  // namespace varnex
