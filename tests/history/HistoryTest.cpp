// Journals of real passes in real folders, and their undo.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <utility>

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
using test::NamesIn;
using test::ShellQuoted;
using test::TempFolder;

constexpr std::int64_t kDay = 86'400'000'000'000;

struct stat StatOf(const std::string& path) {
  struct stat status {};
  lstat(path.c_str(), &status);
  return status;
}

int ModeOf(const std::string& path) {
  return static_cast<int>(StatOf(path).st_mode & 07777);
}

// Restored and kept, as an undo counts them; nullopt when there was nothing to undo.
using Tally = std::pair<std::size_t, std::size_t>;
std::optional<Tally> Counted(const std::optional<UndonePass>& undone) {
  return undone ? std::optional(Tally{undone->report.restored, undone->report.kept}) : std::nullopt;
}

// Each name with itself for content.
Listing SelfNamed(const std::vector<std::string>& names) {
  Listing listing;
  for (const std::string& name : names) {
    listing[name] = name;
  }
  return listing;
}

// Tells the journal all but the end of the pass: as if the pass had been killed after its last
// rename, before it could say so.
class CutOff final : public PassObserver {
 public:
  explicit CutOff(PassRecorder& journal) : journal_(journal) {}
  void Planned(ListedFolder& folder, const ConversionPlan& plan) override {
    journal_.Planned(folder, plan);
  }
  void BeforeLinking(std::size_t step, std::uint64_t links) override {
    journal_.BeforeLinking(step, links);
  }

 private:
  PassRecorder& journal_;
};

// A folder that runs `atRename` before each rename the pass or the undo makes through it, with
// the names and the folder's path.
class Meddling final : public test::ForwardingListedFolder {
 public:
  using Hook = std::function<void(const std::string& from, const std::string& to,
                                  const std::string& folder)>;
  Meddling(std::unique_ptr<ListedFolder> real, Hook atRename)
      : ForwardingListedFolder(std::move(real)), atRename_(std::move(atRename)) {}
  std::error_code Rename(const std::string& from, const std::string& to,
                         const BeforeLinking& beforeLinking) override {
    atRename_(from, to, real_->Path());
    return real_->Rename(from, to, beforeLinking);
  }

 private:
  Hook atRename_;
};

class HistoryTest : public testing::Test {
 protected:
  ConversionPlan Convert(const std::string& from, const std::string& to,
                         const std::string& where = "") {
    return ConvertFolder(fs, where.empty() ? music : where, {from, to}, {&recorder});
  }
  std::optional<UndonePass> Undo(const std::string& where = "", bool dryRun = false) {
    return UndoNewestPass(fs, history, where.empty() ? music : where, dryRun).undone;
  }
  // Makes the entries of `listing` in `in`, a folder under the work folder; "<dir>" makes a folder.
  void Make(const Listing& listing, const std::string& in = "music") {
    for (const auto& [name, content] : listing) {
      if (content == "<dir>") {
        work.Folder(in + "/" + name);
      } else {
        work.File(in + "/" + name, content);
      }
    }
  }
  bool NoBirthTimes() {
    std::error_code error;
    return !fs.OpenFolder(music, error)->Identity().birth;
  }
  std::vector<PassRecord> PassesOf(const std::string& folder) {
    return PassesIn(fs, history, folder).passes;
  }
  std::string NewestJournal(const std::string& folder) {
    std::error_code error;
    const auto listed = fs.OpenFolder(folder, error);
    std::vector<std::string> damaged;
    std::string newest;
    history.VisitPasses(FolderKey::Of(*listed), damaged,
                        [&newest](const std::string& journal, PassRecord&) {
                          newest = journal;
                          return false;
                        });
    return newest;
  }
  // The journal a pass writes before its first rename, as if it had been killed right then.
  ConversionPlan JournalOnly(const std::string& folder) {
    std::error_code error;
    const auto listed = fs.OpenFolder(folder, error);
    ConversionPlan plan = PlanConversion(fs, folder, kMp3ToIad);
    recorder.Planned(*listed, plan);
    return plan;
  }

  TempFolder work;
  std::string music = work.Folder("music");
  std::string state = work / "state/varnex";
  std::int64_t now = 1796640391850054725;
  PosixFileSystem fs;
  PosixJournalStorage storage;
  History history{storage, state, [this] { return now += 1000; }};
  PassRecorder recorder{history};
};

TEST_F(HistoryTest, UndoPutsBackEveryNameByteForByte) {
  const Listing before{{"Song.MP3", "song"},
                       {"a.mp3", "a"},
                       {".h.mp3", "hidden"},
                       {"d.mp3", "<dir>"},
                       {"odd\nname\xff\xfe.mp3", "odd"},
                       {"b.iad", "b"},
                       {"c.mp3", "c"},
                       {"c.iad", "taken"},
                       {"notes.txt", "n"}};
  Make(before);
  Convert("mp3", "iad");
  EXPECT_EQ(ListFolder(music).count("Song.iad"), 1u);
  EXPECT_EQ(ListFolder(music).count("d.iad"), 1u);

  const auto undone = Undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(ListFolder(music), before);
  EXPECT_EQ(Counted(undone), Tally(5, 0));  // c.mp3 was never renamed, so it is not in the journal
  EXPECT_EQ(undone->pass.fromExtension, "mp3");
  EXPECT_TRUE(NamesIn(state).empty());
  EXPECT_FALSE(Undo());
}

// Before the first rename the journal holds every rename planned, a name taken now included (it
// may be free by the time the pass gets to it); once the pass is over, only those that happened.
TEST_F(HistoryTest, TheJournalIsWholeOnDiskBeforeTheFirstRename) {
  std::optional<PassRecord> seen;
  test::WrappingFileSystem watching(fs, [&](std::unique_ptr<ListedFolder> real) {
    return std::make_unique<Meddling>(std::move(real), [&](auto&, auto&, auto&) {
      if (!seen) {
        seen = history.Load(NewestJournal(music)).value_or(PassRecord{});
      }
    });
  });
  Make(SelfNamed({"a.mp3", "b.MP3", "b.iad", "c.mp3", "C.IAD"}));  // C.IAD: letter case counts
  ConvertFolder(watching, music, kMp3ToIad, {&recorder});

  ASSERT_TRUE(seen);
  std::map<std::string, std::string> planned;
  for (const RecordedRename& rename : seen->renames) {
    planned[rename.oldName] = rename.newName;
    if (rename.oldName == "a.mp3") {
      EXPECT_EQ(rename.inode, StatOf(music + "/a.iad").st_ino);
    }
  }
  EXPECT_EQ(planned, (std::map<std::string, std::string>{
                         {"a.mp3", "a.iad"}, {"b.MP3", "b.iad"}, {"c.mp3", "c.iad"}}));
  EXPECT_EQ(seen->folder, music);
  EXPECT_EQ(seen->toExtension, "iad");
  EXPECT_FALSE(seen->finished);
  const auto kept = PassesOf(music);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_TRUE(kept.front().finished);
  std::vector<RecordedRename> renamed = seen->renames;
  std::erase_if(renamed, [](const RecordedRename& rename) { return rename.oldName == "b.MP3"; });
  EXPECT_EQ(kept.front().renames, renamed);
}

TEST_F(HistoryTest, JournalsAreForTheUserAloneAndLeaveNoTemporaryFile) {
  work.File("music/a.mp3");
  Convert("mp3", "iad");
  EXPECT_EQ(ModeOf(work / "state"), 0700);
  EXPECT_EQ(ModeOf(state), 0700);
  const auto names = NamesIn(state);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names.begin()->ends_with(".journal")) << *names.begin();
  EXPECT_EQ(ModeOf(state + "/" + *names.begin()), 0600);
  // A state folder made too open by hand is closed again.
  chmod(state.c_str(), 0755);
  Convert("iad", "mp3");
  EXPECT_EQ(ModeOf(state), 0700);
}

TEST_F(HistoryTest, APassWithoutAJournalStillRuns) {
  work.File("music/a.mp3", "A");
  work.File("blocker", "a file where the state folder would go");
  History nowhere(storage, work / "blocker/varnex");
  PassRecorder blocked(nowhere);
  ConvertFolder(fs, music, kMp3ToIad, {&blocked});
  EXPECT_EQ(ListFolder(music), (Listing{{"a.iad", "A"}}));
  EXPECT_TRUE(blocked.Error());
  EXPECT_FALSE(UndoNewestPass(fs, nowhere, music, false).undone);

  History homeless(storage, "");
  PassRecorder lost(homeless);
  ConvertFolder(fs, music, kIadToMp3, {&lost});
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "A"}}));
  EXPECT_TRUE(lost.Error());
}

// Also after a pass that was cut off, whose journal still lists every rename it planned.
TEST_F(HistoryTest, UndoNeverReplacesAndKeepsWhatChangedSince) {
  for (const bool cutOff : {false, true}) {
    const std::string name = cutOff ? "cut" : "whole";
    SCOPED_TRACE(name);
    const std::string folder = work.Folder(name);
    Make(SelfNamed(
             {"taken.mp3", "moved.mp3", "deleted.mp3", "redone.mp3", "swapped.mp3", "fine.mp3"}),
         name);
    CutOff killed(recorder);
    ConvertFolder(fs, folder, kMp3ToIad,
                  {cutOff ? static_cast<PassObserver*>(&killed) : &recorder});
    work.File(name + "/taken.mp3", "new");  // made at the old name after the pass
    std::filesystem::rename(folder + "/moved.iad", folder + "/elsewhere.iad");
    std::filesystem::remove(folder + "/deleted.iad");
    work.File(name + "/redone.mp3",
              "redone");  // another file at the old name, then the new one gone
    std::filesystem::remove(folder + "/redone.iad");
    work.File(name + "/another", "another file");
    std::filesystem::rename(folder + "/another", folder + "/swapped.iad");

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
                                                       {"fine.iad", KeptBecause::kNone}}));
    EXPECT_EQ(Counted(undone), Tally(1, 5));
    EXPECT_EQ(ListFolder(folder), (Listing{{"taken.mp3", "new"},
                                           {"redone.mp3", "redone"},
                                           {"taken.iad", "taken.mp3"},
                                           {"elsewhere.iad", "moved.mp3"},
                                           {"swapped.iad", "another file"},
                                           {"fine.mp3", "fine.mp3"}}));
  }
}

TEST_F(HistoryTest, AnEntryThePassNeverReachedIsKeptAsItIs) {
  Make({{"a.mp3", "A"}, {"b.mp3", "B"}});
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
  class Refusing final : public test::ForwardingListedFolder {
   public:
    using ForwardingListedFolder::ForwardingListedFolder;
    std::error_code Rename(const std::string&, const std::string&, const BeforeLinking&) override {
      return std::make_error_code(std::errc::permission_denied);
    }
  };
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  test::WrappingFileSystem refusing(fs, [](std::unique_ptr<ListedFolder> real) {
    return std::make_unique<Refusing>(std::move(real));
  });
  const auto undone = UndoNewestPass(refusing, history, music, false).undone;
  EXPECT_EQ(Counted(undone), Tally(0, 1));
  ASSERT_TRUE(undone);
  ASSERT_EQ(undone->report.steps.size(), 1u);
  EXPECT_EQ(undone->report.steps.front().kept, KeptBecause::kRefused);
  EXPECT_EQ(undone->report.steps.front().error, std::errc::permission_denied);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.iad", "A"}}));
}

// Both names on the renamed entry: undo removes the new one only where the journal says the pass
// was linking that entry, and the entry has exactly the one name more; every other pair of links
// stays, nothing removed.
TEST_F(HistoryTest, BothNamesAreUndoneOnlyWhereThePassWasLinking) {
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> make;  // from a.mp3 and b.mp3
    Listing after;
    KeptBecause keptA;
  };
  const auto cutBetweenLinkAndUnlink = [this](const std::string& folder, int moreLinks) {
    const ConversionPlan plan = JournalOnly(folder);
    recorder.BeforeLinking(plan.steps.front().oldName == "a.mp3" ? 0 : 1,
                           StatOf(folder + "/a.mp3").st_nlink);
    ASSERT_EQ(link((folder + "/a.mp3").c_str(), (folder + "/a.iad").c_str()), 0);
    for (int i = 0; i < moreLinks; ++i) {
      ASSERT_EQ(link((folder + "/a.mp3").c_str(), (folder + "/more").c_str()), 0);
    }
  };
  const Case cases[] = {
      {"killed between link and unlink",
       [&](const std::string& folder) { cutBetweenLinkAndUnlink(folder, 0); },
       {{"a.mp3", "A"}, {"b.mp3", "B"}},
       KeptBecause::kNone},
      {"killed between link and unlink, another link made since",
       [&](const std::string& folder) { cutBetweenLinkAndUnlink(folder, 1); },
       {{"a.mp3", "A"}, {"a.iad", "A"}, {"more", "A"}, {"b.mp3", "B"}},
       KeptBecause::kNotRenamed},
      {"a link made under the old name after the pass",
       [&](const std::string& folder) {
         ConvertFolder(fs, folder, kMp3ToIad, {&recorder});
         ASSERT_EQ(link((folder + "/a.iad").c_str(), (folder + "/a.mp3").c_str()), 0);
       },
       {{"a.mp3", "A"}, {"a.iad", "A"}, {"b.mp3", "B"}},
       KeptBecause::kOldNameTaken},
      {"links there before a pass that never got to them",
       [&](const std::string& folder) {
         ASSERT_EQ(link((folder + "/a.mp3").c_str(), (folder + "/a.iad").c_str()), 0);
         JournalOnly(folder);
       },
       {{"a.mp3", "A"}, {"a.iad", "A"}, {"b.mp3", "B"}},
       KeptBecause::kNotRenamed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = work.Folder(std::string("case ") + c.what);
    Make({{"a.mp3", "A"}, {"b.mp3", "B"}}, std::string("case ") + c.what);
    c.make(folder);
    ASSERT_FALSE(HasFatalFailure());
    const Listing before = ListFolder(folder);
    const auto dry = Undo(folder, true);
    ASSERT_TRUE(dry);
    EXPECT_EQ(ListFolder(folder), before);
    const auto undone = Undo(folder);
    ASSERT_TRUE(undone);
    EXPECT_EQ(ListFolder(folder), c.after);
    for (const UndonePass* pass : {&*dry, &*undone}) {
      const auto& steps = pass->report.steps;
      const auto a = std::find_if(steps.begin(), steps.end(), [](const UndoStep& step) {
        return step.oldPath.ends_with("/a.mp3");
      });
      ASSERT_NE(a, steps.end());
      EXPECT_EQ(a->kept, c.keptA);
      EXPECT_FALSE(a->error);
    }
    EXPECT_EQ(StatOf(folder + "/a.mp3").st_nlink, c.after.size() - 1u);
  }
}

// A journal of the first version, written before new names were checked, lists a link that was
// there all along; it has no half-done renames, so undo keeps both names.
TEST_F(HistoryTest, AJournalOfTheFirstVersionKeepsLinksAsTheyAre) {
  work.File("music/hl.mp3", "H");
  ASSERT_EQ(link((music + "/hl.mp3").c_str(), (music + "/hl.iad").c_str()), 0);
  const Listing before = ListFolder(music);
  const struct stat folder = StatOf(music);
  const std::string old =
      "varnex-journal 1\nfolder " + std::to_string(music.size()) + ":" + music + "\ndevice " +
      std::to_string(folder.st_dev) + "\ninode " + std::to_string(folder.st_ino) +
      "\nfrom 3:mp3\nto 3:iad\ntime 1796640391850055000\nrenames 1\n" +
      std::to_string(StatOf(music + "/hl.mp3").st_ino) + " 6:hl.mp3 6:hl.iad\nend\n";
  ASSERT_FALSE(storage.MakePrivateFolder(state));
  ASSERT_FALSE(storage.WriteDurably(state + "/" + std::to_string(folder.st_dev) + "-" +
                                        std::to_string(folder.st_ino) +
                                        "-1796640391850055000-0000abcd.journal",
                                    old));
  for (const bool dryRun : {true, false}) {
    EXPECT_EQ(Counted(Undo("", dryRun)), Tally(0, 1));
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
  const ConversionPlan plan = PlanConversion(fs, music, kMp3ToIad);
  ASSERT_EQ(plan.steps.size(), 2u);
  JournalOnly(music);
  // Killed right after the first rename.
  ASSERT_FALSE(fs.RenameNoReplace(plan.PathOf(plan.steps.front().oldName),
                                  plan.PathOf(plan.steps.front().newName)));

  EXPECT_EQ(Counted(Undo()), Tally(1, 1));  // the twin, never renamed
  EXPECT_EQ(ListFolder(music), before);
}

// A file system gives a freed inode number to the next entry it makes; the birth time tells them
// apart where the file system keeps one, after a pass that ended, one that was cut off, and for
// an entry replaced while the pass ran.
TEST_F(HistoryTest, AnEntryThatReplacedTheRenamedOneUnderItsNumberIsKept) {
  if (NoBirthTimes()) {
    GTEST_SKIP() << "the temporary folder's file system keeps no birth times";
  }
  // Says the number of the entry made anew is that of the one it replaced, as the file system may.
  class Renumbering final : public test::ForwardingListedFolder {
   public:
    Renumbering(std::unique_ptr<ListedFolder> real, std::function<void(const std::string&)> during,
                std::uint64_t& from, std::uint64_t& to)
        : ForwardingListedFolder(std::move(real)), during_(during), from_(from), to_(to) {}
    std::optional<EntryState> State(const std::string& entry) override {
      auto state = real_->State(entry);
      if (state && state->identity.inode == from_) {
        state->identity.inode = to_;
      }
      return state;
    }
    std::error_code Rename(const std::string& from, const std::string& to,
                           const BeforeLinking& beforeLinking) override {
      if (first_.empty()) {
        first_ = to;
      } else if (during_) {
        during_(first_);
      }
      return real_->Rename(from, to, beforeLinking);
    }

   private:
    std::function<void(const std::string&)> during_;
    std::uint64_t& from_;
    std::uint64_t& to_;
    std::string first_;
  };
  for (const std::string when : {"after the pass", "after a pass cut off", "during the pass"}) {
    SCOPED_TRACE(when);
    const std::string folder = work.Folder(when);
    Make(SelfNamed({"a.mp3", "b.mp3"}), when);
    std::uint64_t replaced = 0;
    std::uint64_t madeAnew = 0;
    const auto replace = [&](const std::string& renamed) {
      replaced = StatOf(folder + "/" + renamed).st_ino;
      std::filesystem::remove(folder + "/" + renamed);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // past the clock's steps
      work.File(when + "/" + renamed, "new");
      madeAnew = StatOf(folder + "/" + renamed).st_ino;
    };
    const bool during = when == "during the pass";
    test::WrappingFileSystem renumbering(fs, [&](std::unique_ptr<ListedFolder> real) {
      return std::make_unique<Renumbering>(
          std::move(real), during ? std::function(replace) : nullptr, madeAnew, replaced);
    });
    CutOff killed(recorder);
    PassObserver* journal =
        when == "after a pass cut off" ? static_cast<PassObserver*>(&killed) : &recorder;
    const ConversionPlan plan = ConvertFolder(renumbering, folder, kMp3ToIad, {journal});
    ASSERT_EQ(plan.steps.size(), 2u);
    const ConversionStep& first = plan.steps.front();
    if (!during) {
      replace(first.newName);
    }
    EXPECT_EQ(Counted(UndoNewestPass(renumbering, history, folder, false).undone), Tally(1, 1));
    const std::string& other = plan.steps.back().oldName;
    EXPECT_EQ(ListFolder(folder), (Listing{{first.newName, "new"}, {other, other}}));
  }
}

TEST_F(HistoryTest, ANewFolderGivenTheNumberOfAConvertedOneIsNotIt) {
  if (NoBirthTimes()) {
    GTEST_SKIP() << "the temporary folder's file system keeps no birth times";
  }
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  PassRecord pass = PassesOf(music).front();
  std::filesystem::remove_all(music);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  work.Folder("music");
  work.File("music/x.iad", "X");
  // As if the new folder and its file had been given the numbers of the old ones; the file's
  // birth is not known, so only the folder's can tell.
  std::error_code error;
  const auto listed = fs.OpenFolder(music, error);
  const FileIdentity folder = listed->Identity();
  pass.folderIdentity.device = folder.device;
  pass.folderIdentity.inode = folder.inode;
  pass.time = history.Now();
  pass.renames = {{listed->State("x.iad")->identity.inode, "x.mp3", "x.iad", {}, {}, {}}};
  const auto journal = history.Record(pass, error);
  ASSERT_TRUE(journal) << error.message();

  EXPECT_FALSE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"x.iad", "X"}}));
  // The same journal with the new folder's birth time is undone: the check is the birth time.
  pass.folderIdentity.birth = folder.birth;
  ASSERT_FALSE(history.Rewrite(*journal, pass));
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"x.mp3", "X"}}));
}

TEST_F(HistoryTest, RoundTripThenTwoUndosGiveTheStartExactly) {
  const Listing start{
      {"Song.MP3", "s"}, {"a.mp3", "a"}, {"b.iad", "b"}, {"c.mp3", "c"}, {"c.iad", "ci"}};
  Make(start);
  Convert("mp3", "iad");
  Convert("iad", "mp3");
  EXPECT_EQ(PassesOf(music).size(), 2u);
  ASSERT_TRUE(Undo());
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), start);
  EXPECT_FALSE(Undo());
}

TEST_F(HistoryTest, DryRunChangesNothingAndKeepsTheJournal) {
  Make({{"a.mp3", "A"}, {"b.mp3", "B"}});
  Convert("mp3", "iad");
  work.File("music/b.mp3", "new");
  const Listing converted = ListFolder(music);
  EXPECT_EQ(Counted(Undo("", true)), Tally(1, 1));
  EXPECT_EQ(ListFolder(music), converted);
  EXPECT_EQ(Counted(Undo()), Tally(1, 1));
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

// The folder is renamed away and a link to another folder put at its path while the pass runs:
// every rename still happens in the folder that was listed, and its journal is that folder's.
TEST_F(HistoryTest, RenamesStayInTheFolderThatWasListedWhenItsPathIsSwapped) {
  const std::string decoy = work.Folder("decoy");
  const Listing mine = SelfNamed({"a.mp3", "b.mp3", "c.mp3"});
  const Listing theirs{{"a.mp3", "decoy"}, {"b.mp3", "decoy"}, {"c.mp3", "decoy"}};
  Make(mine);
  Make(theirs, "decoy");
  const std::string moved = work / "moved";
  test::WrappingFileSystem swapping(fs, [&](std::unique_ptr<ListedFolder> real) {
    return std::make_unique<Meddling>(std::move(real), [&](auto&, auto&, auto&) {
      if (!std::filesystem::exists(moved)) {
        std::filesystem::rename(music, moved);
        std::filesystem::create_directory_symlink(decoy, music);
      }
    });
  });
  const ConversionPlan plan = ConvertFolder(swapping, music, kMp3ToIad, {&recorder});
  EXPECT_TRUE(std::all_of(plan.steps.begin(), plan.steps.end(),
                          [](const ConversionStep& step) { return !step.error; }));
  EXPECT_EQ(ListFolder(moved),
            (Listing{{"a.iad", "a.mp3"}, {"b.iad", "b.mp3"}, {"c.iad", "c.mp3"}}));
  EXPECT_EQ(ListFolder(decoy), theirs);
  EXPECT_FALSE(Undo());  // the folder at that path now is another one
  const auto undone = Undo(moved);
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->pass.folder, music);
  EXPECT_EQ(ListFolder(moved), mine);
}

// Exactly the renames that happened, whatever was refused before them: a twin renamed after the
// first twin was refused (immutable), a name another program freed after the plan; and not one
// that did not happen, a name another program took after the plan.
TEST_F(HistoryTest, TheJournalHoldsExactlyWhatThePassRenamed) {
  Make(SelfNamed({"x.mp3", "x.MP3", "freed.mp3", "freed.iad", "taken.mp3", "n.mp3"}));
  const ConversionPlan planned = PlanConversion(fs, music, kMp3ToIad);
  std::string twins[2];
  for (const ConversionStep& step : planned.steps) {
    if (step.newName == "x.iad") {
      twins[twins[0].empty() ? 0 : 1] = step.oldName;
    }
  }
  const std::string frozen = ShellQuoted(music + "/" + twins[0]);
  if (std::system(("chattr +i " + frozen + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "the file system here has no immutable files, or chattr is not allowed";
  }
  struct Thaw {
    std::string path;
    ~Thaw() { std::system(("chattr -i " + path).c_str()); }
  } thaw{frozen};
  bool done = false;  // what the other program does, before the first rename
  test::WrappingFileSystem another(fs, [&](std::unique_ptr<ListedFolder> real) {
    return std::make_unique<Meddling>(std::move(real), [&](auto&, auto&, auto&) {
      if (!std::exchange(done, true)) {
        std::filesystem::remove(music + "/freed.iad");
        work.File("music/taken.iad", "theirs");
      }
    });
  });
  ConvertFolder(another, music, kMp3ToIad, {&recorder});

  const auto passes = PassesOf(music);
  ASSERT_EQ(passes.size(), 1u);
  std::set<std::string> journaled;
  for (const RecordedRename& rename : passes.front().renames) {
    journaled.insert(rename.oldName);
  }
  EXPECT_EQ(journaled, (std::set<std::string>{twins[1], "freed.mp3", "n.mp3"}));
  EXPECT_EQ(Counted(Undo()), Tally(3, 0));
  Listing after = SelfNamed({"x.mp3", "x.MP3", "freed.mp3", "taken.mp3", "n.mp3"});
  after["taken.iad"] = "theirs";
  EXPECT_EQ(ListFolder(music), after);
}

// Whatever else is found under a journal's name counts as a damaged journal, read without waiting
// and never beyond the size of a real one: the passes before it can still be undone.
TEST_F(HistoryTest, AnythingButAJournalUnderAJournalsNameIsSkippedAsDamaged) {
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  const struct stat folder = StatOf(music);
  int newer = 0;
  const auto plant = [&] {
    ++newer;
    return state + "/" + std::to_string(folder.st_dev) + "-" + std::to_string(folder.st_ino) + "-" +
           std::to_string(now + newer * 1000) + "-0000abc" + std::to_string(newer) + ".journal";
  };
  std::vector<std::string> planted;
  planted.push_back(work.Fifo(plant().substr(work.Path().size() + 1)));
  const std::string sparse = plant();
  std::filesystem::resize_file(work.File(sparse.substr(work.Path().size() + 1), ""), 1ull << 40);
  planted.push_back(sparse);
  // A real journal's head, then far more than its one rename can take.
  PassRecord one = PassesOf(music).front();
  const std::string huge = plant();
  work.File(huge.substr(work.Path().size() + 1), EncodeJournal(one));
  std::filesystem::resize_file(huge, 1ull << 40);
  planted.push_back(huge);
  if (const std::string device = plant();
      mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
    planted.push_back(device);  // /dev/null's numbers
  }
  std::reverse(planted.begin(), planted.end());  // newest first

  const FolderPasses found = PassesIn(fs, history, music);
  EXPECT_EQ(found.damaged, planted);
  ASSERT_EQ(found.passes.size(), 1u);
  const UndoOutcome outcome = UndoNewestPass(fs, history, music, false);
  EXPECT_EQ(outcome.damaged, planted);
  ASSERT_TRUE(outcome.undone);
  EXPECT_EQ(outcome.undone->report.restored, 1u);
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "A"}}));
}

TEST_F(HistoryTest, PassesThatChangedNothingLeaveNothingToUndo) {
  work.File("music/a.mp3", "A");
  Convert("mp3", "iad");
  Convert("mp3", "iad");  // finds nothing
  work.File("music/a.mp3", "new");
  Convert("iad", "mp3");  // a.iad cannot take its name back
  EXPECT_EQ(PassesOf(music).size(), 1u);
  ASSERT_TRUE(Undo());
  EXPECT_EQ(ListFolder(music), (Listing{{"a.mp3", "new"}, {"a.iad", "A"}}));
}

TEST_F(HistoryTest, OnlyTheLastTwentyPassesOfAFolderAndNothingOlderThanNinetyDaysStay) {
  const std::string other = work.Folder("other");
  work.File("music/a.mp3");
  work.File("other/x.mp3");
  std::int64_t start = now;
  now -= 91 * kDay;
  ConvertFolder(fs, other, kMp3ToIad, {&recorder});  // an old pass of another folder
  now = start - 89 * kDay;
  ConvertFolder(fs, other, kIadToMp3, {&recorder});  // a younger one
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

  const auto passes = PassesOf(music);
  ASSERT_EQ(passes.size(), History::kPassesKept);
  for (std::size_t i = 0; i < passes.size(); ++i) {
    EXPECT_EQ(passes[i].time, times[times.size() - 1 - i]);
  }
  const auto ofOther = PassesOf(other);
  ASSERT_EQ(ofOther.size(), 1u);
  EXPECT_EQ(ofOther.front().toExtension, "mp3");
  EXPECT_EQ(NamesIn(state).size(), History::kPassesKept + 1 + foreign.size());
}

// Nothing is asked of the system for the journals until the first pass needs them, so that a
// program that never converts pays nothing for them at start.
TEST(StateFolder, IsAskedForOnlyWhenThePassNeedsIt) {
  class Counting final : public JournalStorage {
   public:
    explicit Counting(std::string folder) : folder_(std::move(folder)) {}
    std::string StateFolder() override { return Count("StateFolder"), folder_; }
    std::error_code MakePrivateFolder(const std::string& path) override {
      return Count("MakePrivateFolder"), real_.MakePrivateFolder(path);
    }
    std::error_code WriteDurably(const std::string& path, std::string_view content) override {
      return Count("WriteDurably"), real_.WriteDurably(path, content);
    }
    std::error_code Append(const std::string& path, std::string_view content) override {
      return Count("Append"), real_.Append(path, content);
    }
    std::optional<std::string> Read(const std::string& path, std::size_t most,
                                    std::uint64_t& size) override {
      return Count("Read"), real_.Read(path, most, size);
    }
    std::vector<std::string> Names(const std::string& folder) override {
      return Count("Names"), real_.Names(folder);
    }
    std::error_code Remove(const std::string& path) override {
      return Count("Remove"), real_.Remove(path);
    }
    std::vector<std::string> calls;

   private:
    void Count(const char* call) { calls.emplace_back(call); }
    std::string folder_;
    PosixJournalStorage real_;
  };
  TempFolder work;
  Counting storage(work / "state");
  History history(storage);
  PassRecorder recorder(history);
  EXPECT_TRUE(storage.calls.empty());
  PosixFileSystem fs;
  work.File("a.mp3");
  ConvertFolder(fs, work.Path(), kMp3ToIad, {&recorder});
  ASSERT_FALSE(storage.calls.empty());
  EXPECT_EQ(storage.calls.front(), "StateFolder");
  EXPECT_EQ(std::count(storage.calls.begin(), storage.calls.end(), "StateFolder"), 1);
  EXPECT_TRUE(std::filesystem::exists(work / "a.iad"));
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
