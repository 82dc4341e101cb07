#include <gtest/gtest.h>

#include <cstring>

#include "history/PassJournal.h"

namespace varnex {
namespace {

PassRecord OddPass() {
  PassRecord pass;
  pass.folder = "/music/a \\b\n\xff";
  pass.folderIdentity = {2049, 18446744073709551615ull, 1796640391850054725};
  pass.place = VolumePlace{"exfat:7F17-425D", "/a \\b\n\xff"};
  pass.finished = true;
  pass.fromExtension = "mp3";
  pass.toExtension = "iad";
  pass.time = 1796640391850054725;
  pass.renames = {
      {7, "Song.MP3", "Song.iad", -1, 5, 1796640391000000000},  // born before 1970
      {8, "line\nbreak.mp3", "line\nbreak.iad", {}, {}, {}},
      {9, "\xff\xfe 3:x.mp3", "\xff\xfe 3:x.iad", {}, {}, {}},  // bytes like a length prefix
      {10, "end\n.mp3", "end\n.iad", {}, {}, {}},  // a name that looks like the end marker
      {11, ".h.mp3", ".h.iad", 1796640391000000000, 0, -7},
  };
  return pass;
}

TEST(PassJournal, EveryByteOfEveryNameComesBack) {
  const PassRecord pass = OddPass();
  const std::string text = EncodeJournal(pass);
  EXPECT_EQ(DecodeJournal(text), pass);
  // A time or size not known stays not known; 0 would be one.
  EXPECT_NE(text.find("\n8 ? ? ? 14:line"), std::string::npos) << text;
  // The names are there as they are, behind their lengths, never split at their newlines.
  EXPECT_NE(text.find("14:line\nbreak.mp3 14:line\nbreak.iad\n"), std::string::npos) << text;

  const PassRecord empty;
  EXPECT_NE(EncodeJournal(empty).find("\nborn ?\nvolume 0:\nplace 0:\nfinished 0\n"),
            std::string::npos);
  EXPECT_EQ(DecodeJournal(EncodeJournal(empty)), empty);
}

TEST(PassJournal, AnythingButOneWholeJournalIsRefused) {
  const std::string text = EncodeJournal(OddPass());
  for (std::size_t length = 0; length < text.size(); ++length) {
    EXPECT_FALSE(DecodeJournal(text.substr(0, length))) << "cut at " << length;
  }
  EXPECT_FALSE(DecodeJournal(text + "x"));
  EXPECT_FALSE(DecodeJournal(text + text));

  for (const auto& [from, to] : {std::pair{"renames 5", "renames 4"},
                                 {"renames 5", "renames 6"},
                                 {"varnex-journal 4", "varnex-journal 5"},
                                 {"renames 5", "renames 99999999999999999999"}}) {
    std::string other = text;
    other.replace(other.find(from), std::strlen(from), to);
    EXPECT_FALSE(DecodeJournal(other)) << to;
  }
}

// A running pass adds a line after the end for each rename it makes by link and unlink; one that
// names no rename of the pass, or stands in a journal of an older version, is damage.
TEST(PassJournal, HalfDoneRenamesFollowTheEnd) {
  PassRecord pass = OddPass();
  const std::string text = EncodeJournal(pass) + EncodeHalfDone({4, 1}) + EncodeHalfDone({0, 2});
  pass.halfDone = {{4, 1}, {0, 2}};
  EXPECT_EQ(DecodeJournal(text), pass);
  EXPECT_EQ(DecodeJournal(EncodeJournal(pass)), pass);
  EXPECT_FALSE(DecodeJournal(text + EncodeHalfDone({5, 1})));
  EXPECT_FALSE(DecodeJournal(text + "half 1\n"));
}

// Older journals are still read, so the passes they record can still be undone: the first had no
// times, the second no change time of the folder, the third no volume, sizes, modification times
// or half-done renames. A change time was known only once the pass had ended.
TEST(PassJournal, JournalsOfOlderVersionsAreStillRead) {
  const std::string head = "folder 6:/music\ndevice 2049\ninode 12\n";
  const std::string tail = "from 3:mp3\nto 3:iad\ntime 1796640391850054725\nrenames 1\n";
  PassRecord pass;
  pass.folder = "/music";
  pass.folderIdentity = {2049, 12, {}};
  pass.fromExtension = "mp3";
  pass.toExtension = "iad";
  pass.time = 1796640391850054725;
  pass.renames = {{7, "a.mp3", "a.iad", {}, {}, {}}};
  EXPECT_EQ(DecodeJournal("varnex-journal 1\n" + head + tail + "7 5:a.mp3 5:a.iad\nend\n"), pass);

  pass.folderIdentity.birth = 17;
  pass.renames.front().birth = 18;
  const std::string rename = "7 18 5:a.mp3 5:a.iad\nend\n";
  EXPECT_EQ(DecodeJournal("varnex-journal 2\n" + head + "born 17\n" + tail + rename), pass);
  EXPECT_EQ(DecodeJournal("varnex-journal 3\n" + head + "born 17\nchanged ?\n" + tail + rename),
            pass);
  pass.finished = true;
  EXPECT_EQ(DecodeJournal("varnex-journal 3\n" + head + "born 17\nchanged 20\n" + tail + rename),
            pass);
  EXPECT_FALSE(DecodeJournal("varnex-journal 3\n" + head + "born 17\nchanged 20\n" + tail + rename +
                             EncodeHalfDone({0, 1})));
}

TEST(PassJournal, NamesThatCouldLeaveTheFolderAreRefused) {
  for (const std::string& bad :
       std::vector<std::string>{"../x.mp3", "a/b.mp3", "..", ".", "", std::string("a\0b", 3)}) {
    PassRecord pass;
    pass.renames = {{1, bad, "a.iad", {}, {}, {}}};
    EXPECT_FALSE(DecodeJournal(EncodeJournal(pass))) << bad;
    pass.renames = {{1, "a.mp3", bad, {}, {}, {}}};
    EXPECT_FALSE(DecodeJournal(EncodeJournal(pass))) << bad;
  }
}

// What may be read of a file under a journal's name is told by its head: a few hundred bytes for
// each rename it announces, and nothing for what is no journal's head.
TEST(PassJournal, TheHeadBoundsTheSize) {
  const std::string text = EncodeJournal(OddPass()) + EncodeHalfDone({4, 1});
  const std::size_t head = text.find("\n", text.find("\nrenames ") + 1) + 1;
  for (const std::size_t length : {head, text.size()}) {
    const auto limit = JournalSizeLimit(text.substr(0, length));
    ASSERT_TRUE(limit) << length;
    EXPECT_GE(*limit, text.size());
    EXPECT_LE(*limit, head + 5 * 1000);
  }
  EXPECT_FALSE(JournalSizeLimit(text.substr(0, head - 1)));
  EXPECT_FALSE(JournalSizeLimit(std::string(4096, '\0')));
  std::string huge = text.substr(0, head);
  huge.replace(huge.find("renames 5"), 9, "renames 18446744073709551615");
  EXPECT_FALSE(JournalSizeLimit(huge));
}

}  // namespace
}  // namespace varnex
