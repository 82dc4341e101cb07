#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "conversion/ConvertFolder.h"
#include "platform/fs/PathRules.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/ForwardingFileSystem.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::ListFolder;
using test::Listing;
using test::ReadFile;
using test::TempFolder;

class ConvertFolderTest : public testing::Test {
 protected:
  std::vector<ConversionStep> ToIad(const std::string& text) {
    return ConvertFolder(fs, text, kMp3ToIad).steps;
  }
  std::vector<ConversionStep> ToMp3(const std::string& text) {
    return ConvertFolder(fs, text, kIadToMp3).steps;
  }

  TempFolder folder;
  PosixFileSystem fs;
};

TEST_F(ConvertFolderTest, RoundTripKeepsEveryContent) {
  folder.File("a.mp3", "A");
  folder.File("b.mp3", "B");
  folder.File("notes.txt", "N");
  ToIad(folder.Path());
  EXPECT_EQ(ListFolder(folder.Path()),
            (Listing{{"a.iad", "A"}, {"b.iad", "B"}, {"notes.txt", "N"}}));
  ToMp3(folder.Path() + "/");
  EXPECT_EQ(ListFolder(folder.Path()),
            (Listing{{"a.mp3", "A"}, {"b.mp3", "B"}, {"notes.txt", "N"}}));
}

TEST_F(ConvertFolderTest, EveryKindOfEntryIsRenamedWithTheLastExtensionOnly) {
  folder.File("Song.MP3", "S");
  folder.File("a.b.mp3", "AB");
  folder.File(".hidden.mp3", "H");
  chmod(folder.File("locked.mp3", "L").c_str(), 0444);
  folder.Folder("x.mp3");
  folder.File("x.mp3/inside.mp3", "I");
  folder.Fifo("pipe.mp3");
  folder.Symlink("link.mp3", "nowhere");
  folder.File("caf\xE9.mp3", "C");
  folder.File("a.mp3x", "X");
  ToIad(folder.Path());
  EXPECT_EQ(ListFolder(folder.Path()), (Listing{{"Song.iad", "S"},
                                                {"a.b.iad", "AB"},
                                                {".hidden.iad", "H"},
                                                {"locked.iad", "L"},
                                                {"x.iad", "<dir>"},
                                                {"pipe.iad", "<other>"},
                                                {"link.iad", "<link>"},
                                                {"caf\xE9.iad", "C"},
                                                {"a.mp3x", "X"}}));
  EXPECT_EQ(ReadFile(folder / "x.iad/inside.mp3"), "I");  // only the folder's own entries
}

TEST_F(ConvertFolderTest, TakenNamesAreNeverReplaced) {
  folder.File("a.mp3", "new");
  folder.File("a.iad", "old");
  folder.File("b.mp3", "b");
  folder.File("c.mp3", "c");
  folder.File("c.MP3", "C");  // both want c.iad: the first found wins, the other keeps its name
  const std::vector<ConversionStep> steps = ToIad(folder.Path());
  const Listing after = ListFolder(folder.Path());
  EXPECT_EQ(after.at("a.mp3"), "new");
  EXPECT_EQ(after.at("a.iad"), "old");
  EXPECT_EQ(after.at("b.iad"), "b");
  EXPECT_EQ(after.size(), 5u);
  EXPECT_TRUE(after.count("c.mp3") + after.count("c.MP3") == 1 && after.count("c.iad"));
  int refused = 0;
  for (const ConversionStep& step : steps) {
    refused += step.error == std::errc::file_exists;
  }
  EXPECT_EQ(refused, 2);
}

TEST_F(ConvertFolderTest, NothingToDoChangesNothing) {
  folder.File("a.iad", "A");
  folder.File("b.wav", "B");
  const Listing before = ListFolder(folder.Path());
  EXPECT_TRUE(ToIad(folder.Path()).empty());
  EXPECT_TRUE(ToIad(folder / "missing").empty());
  EXPECT_EQ(ListFolder(folder.Path()), before);
}

TEST_F(ConvertFolderTest, EmptyFolderTextConvertsNothingAnywhere) {
  folder.File("a.mp3", "A");
  fs.SetCurrentDirectory(folder.Path());
  const ConversionPlan plan = ConvertFolder(fs, "", kMp3ToIad);
  EXPECT_TRUE(plan.steps.empty());
  EXPECT_EQ(plan.folderError, std::errc::no_such_file_or_directory);  // said, not silent
  EXPECT_EQ(ListFolder(folder.Path()), (Listing{{"a.mp3", "A"}}));
}

// Another program takes the new name between the search and the rename.
class RacingFolder final : public test::ForwardingListedFolder {
 public:
  using ForwardingListedFolder::ForwardingListedFolder;
  std::error_code Rename(const std::string& from, const std::string& to,
                         const BeforeLinking& beforeLinking) override {
    std::ofstream(Path() + "/" + to) << "theirs";
    return real_->Rename(from, to, beforeLinking);
  }
};

TEST_F(ConvertFolderTest, NameTakenAfterTheSearchIsStillNotReplaced) {
  folder.File("a.mp3", "mine");
  test::WrappingFileSystem racing(fs, [](std::unique_ptr<ListedFolder> real) {
    return std::make_unique<RacingFolder>(std::move(real));
  });
  const auto steps = ConvertFolder(racing, folder.Path(), kMp3ToIad).steps;
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].error, std::errc::file_exists);
  EXPECT_EQ(ListFolder(folder.Path()), (Listing{{"a.mp3", "mine"}, {"a.iad", "theirs"}}));
}

// Random folders of awkward names: after a pass nothing is lost or replaced, every entry whose
// new name was free has it, and a pass back restores the names that met no collision.
TEST_F(ConvertFolderTest, RandomFoldersLoseNothing) {
  const char* stems[] = {"a",           "A", "song",     "Song", "x.y",
                         "two  spaces", "é", "\xFF\xFE", ".h",   "z"};
  const char* extensions[] = {".mp3", ".MP3", ".Mp3", ".iad", ".IAD", ".wav", "", ".mp3.mp3"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    TempFolder random;
    std::mt19937 generate(seed);
    std::set<std::string> names;
    for (int i = 0; i < 25; ++i) {
      names.insert(std::string(stems[generate() % std::size(stems)]) +
                   std::to_string(generate() % 4) + extensions[generate() % std::size(extensions)]);
    }
    int index = 0;
    for (const std::string& name : names) {
      switch (generate() % 6) {
        case 0:
          random.Folder(name);
          break;
        case 1:
          chmod(random.File(name, std::to_string(index)).c_str(), 0444);
          break;
        default:
          random.File(name, std::to_string(index));
      }
      ++index;
    }
    const Listing before = ListFolder(random.Path());

    const std::vector<ConversionStep> steps = ConvertFolder(fs, random.Path(), kMp3ToIad).steps;
    const Listing after = ListFolder(random.Path());
    std::multiset<std::string> contentsBefore, contentsAfter;
    for (const auto& [name, content] : before)
      contentsBefore.insert(content);
    for (const auto& [name, content] : after)
      contentsAfter.insert(content);
    ASSERT_EQ(contentsAfter, contentsBefore) << "seed " << seed;

    for (const ConversionStep& step : steps) {
      const std::string& oldName = step.oldName;
      const std::string& newName = step.newName;
      if (step.error) {
        ASSERT_EQ(step.error, std::errc::file_exists) << "seed " << seed << " " << oldName;
        ASSERT_EQ(after.at(oldName), before.at(oldName));
      } else {
        ASSERT_FALSE(before.count(newName)) << "replaced " << newName;
        ASSERT_EQ(after.at(newName), before.at(oldName));
        ASSERT_FALSE(after.count(oldName));
      }
    }

    const std::vector<ConversionStep> back = ConvertFolder(fs, random.Path(), kIadToMp3).steps;
    std::multiset<std::string> contentsRestored;
    for (const auto& [name, content] : ListFolder(random.Path()))
      contentsRestored.insert(content);
    ASSERT_EQ(contentsRestored, contentsBefore) << "seed " << seed;
    std::map<std::string, ConversionStep> backByFrom;
    for (const ConversionStep& step : back)
      backByFrom[step.oldName] = step;
    for (const ConversionStep& step : steps) {
      if (step.error) {
        continue;
      }
      const ConversionStep& returned = backByFrom.at(step.newName);
      if (returned.error) {
        EXPECT_EQ(returned.error, std::errc::file_exists) << "seed " << seed << " " << step.newName;
      } else {
        EXPECT_EQ(returned.newName, ReplaceExtension(step.oldName, ".mp3")) << "seed " << seed;
      }
    }
  }
}

}  // namespace
}  // namespace varnex
