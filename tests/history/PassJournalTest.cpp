#include <gtest/gtest.h>

#include "history/PassJournal.h"

namespace varnex {
namespace {

PassRecord OddPass() {
  PassRecord pass;
  pass.folder = "/music/a \\b\n\xff";
  pass.folderIdentity = {2049, 18446744073709551615ull, 1796640391850054725};
  pass.changedAfter = 1796640392850054725;
  pass.fromExtension = "mp3";
  pass.toExtension = "iad";
  pass.time = 1796640391850054725;
  pass.renames = {
      {7, "Song.MP3", "Song.iad", -1},  // born before 1970, as a restored backup may be
      {8, "line\nbreak.mp3", "line\nbreak.iad", {}},
      {9, "\xff\xfe 3:x.mp3", "\xff\xfe 3:x.iad", {}},  // bytes that look like a length prefix
      {10, "end\n.mp3", "end\n.iad", {}},               // a name that looks like the end marker
      {11, ".h.mp3", ".h.iad", 1796640391000000000},
  };
  return pass;
}

TEST(PassJournal, EveryByteOfEveryNameComesBack) {
  const PassRecord pass = OddPass();
  const std::string text = EncodeJournal(pass);
  EXPECT_EQ(DecodeJournal(text), pass);
  // A birth time not known stays not known; 0 would be a time.
  EXPECT_NE(text.find("\n8 ? 14:line"), std::string::npos) << text;
  // The names are there as they are, behind their lengths, never split at their newlines.
  EXPECT_NE(text.find("14:line\nbreak.mp3 14:line\nbreak.iad\n"), std::string::npos) << text;

  const PassRecord empty;
  EXPECT_NE(EncodeJournal(empty).find("\nborn ?\nchanged ?\n"), std::string::npos);
  EXPECT_EQ(DecodeJournal(EncodeJournal(empty)), empty);
}

TEST(PassJournal, AnythingButOneWholeJournalIsRefused) {
  const std::string text = EncodeJournal(OddPass());
  for (std::size_t length = 0; length < text.size(); ++length) {
    EXPECT_FALSE(DecodeJournal(text.substr(0, length))) << "cut at " << length;
  }
  EXPECT_FALSE(DecodeJournal(text + "x"));
  EXPECT_FALSE(DecodeJournal(text + text));

  std::string other = text;
  other.replace(other.find("renames 5"), 9, "renames 4");
  EXPECT_FALSE(DecodeJournal(other));
  other = text;
  other.replace(other.find("renames 5"), 9, "renames 6");
  EXPECT_FALSE(DecodeJournal(other));
  other = text;
  other.replace(other.find("varnex-journal 3"), 16, "varnex-journal 4");
  EXPECT_FALSE(DecodeJournal(other));
  other = text;
  other.replace(other.find("renames 5"), 9, "renames 99999999999999999999");
  EXPECT_FALSE(DecodeJournal(other));
}

// Journals written before new names were checked may list renames that were bound to be refused.
TEST(PassJournal, AJournalOfTheFirstVersionIsStillRead) {
  const std::string text =
      "varnex-journal 1\nfolder 6:/music\ndevice 2049\ninode 12\nfrom 3:mp3\nto 3:iad\n"
      "time 1796640391850054725\nrenames 1\n7 5:a.mp3 5:a.iad\nend\n";
  const auto pass = DecodeJournal(text);
  ASSERT_TRUE(pass);
  EXPECT_FALSE(pass->newNamesWereFree);
  EXPECT_EQ(pass->folder, "/music");
  EXPECT_EQ(pass->folderIdentity, (FileIdentity{2049, 12, {}}));
  EXPECT_EQ(pass->renames, (std::vector<RecordedRename>{{7, "a.mp3", "a.iad", {}}}));
  EXPECT_TRUE(DecodeJournal(EncodeJournal(OddPass()))->newNamesWereFree);
}

// The second version had no change time of the folder after the pass.
TEST(PassJournal, AJournalOfTheSecondVersionIsStillRead) {
  PassRecord pass = OddPass();
  pass.changedAfter.reset();
  std::string text = EncodeJournal(pass);
  text.replace(0, 16, "varnex-journal 2");
  const std::size_t changed = text.find("\nchanged ?");
  ASSERT_NE(changed, std::string::npos);
  text.erase(changed, 10);
  EXPECT_EQ(DecodeJournal(text), pass);
}

TEST(PassJournal, NamesThatCouldLeaveTheFolderAreRefused) {
  for (const std::string& bad :
       std::vector<std::string>{"../x.mp3", "a/b.mp3", "..", ".", "", std::string("a\0b", 3)}) {
    PassRecord pass;
    pass.renames = {{1, bad, "a.iad", {}}};
    EXPECT_FALSE(DecodeJournal(EncodeJournal(pass))) << bad;
    pass.renames = {{1, "a.mp3", bad, {}}};
    EXPECT_FALSE(DecodeJournal(EncodeJournal(pass))) << bad;
  }
}

}  // namespace
}  // namespace varnex
