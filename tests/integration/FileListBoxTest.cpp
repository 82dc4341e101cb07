#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include "platform/Exception.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/TempFolder.h"
#include "widgets/TFileListBox.h"

namespace varnex {
namespace {

using test::TempFolder;
using Names = std::vector<std::string>;

class FileListBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    folder.File("b.mp3");
    folder.File("A.MP3");
    folder.File("c.iad");
    folder.File(".hidden.mp3");
    folder.Folder("sub.mp3");
    folder.Folder("other");
    folder.File("other/x.mp3");
    list.SetMask("*.mp3");
  }

  void Show() {
    list.show();
    ASSERT_EQ(list.FolderPath(), folder.Path());
  }

  TempFolder folder;
  PosixFileSystem fs;
  // The list starts at the current directory, so the folder is entered before it is made.
  bool entered = (fs.SetCurrentDirectory(folder.Path()), true);
  TFileListBox list{fs};
  int clicks = 0;
};

TEST_F(FileListBoxTest, ReadsTheFolderOnceItsWindowExists) {
  EXPECT_TRUE(list.Entries().empty());
  Show();
  EXPECT_EQ(list.Entries(),
            (Names{"A.MP3", "b.mp3"}));  // case ignored; hidden and folders left out
}

TEST_F(FileListBoxTest, MaskRereadsOnlyForADifferentText) {
  Show();
  folder.File("new.mp3");
  list.SetMask("*.mp3");
  EXPECT_EQ(list.Entries().size(), 2u);
  list.SetMask("*.MP3");
  EXPECT_EQ(list.Entries().size(), 3u);
  list.SetMask("*.mp3;*.MP3");  // a name matching both patterns is listed twice
  EXPECT_EQ(list.Entries(), (Names{"A.MP3", "A.MP3", "b.mp3", "b.mp3", "new.mp3", "new.mp3"}));
}

TEST_F(FileListBoxTest, FolderWithOrWithoutTrailingSlashShowsTheSame) {
  Show();
  for (const std::string& text : {folder / "other", folder / "other/"}) {
    list.ApplyPath(folder.Path());
    list.ApplyPath(text);
    EXPECT_EQ(list.FolderPath(), folder / "other") << text;
    EXPECT_EQ(list.Entries(), Names{"x.mp3"}) << text;
  }
}

TEST_F(FileListBoxTest, PathsItCannotUseChangeNothing) {
  Show();
  const std::string fifo = folder.Fifo("pipe.iad");
  for (const std::string& text : {folder / "missing", "\"" + folder.Path() + "/other\"",
                                  folder / "other/missing.mp3", folder / "sub.mp3/x/y"}) {
    EXPECT_THROW(list.ApplyPath(text), EInOutError) << text;
    EXPECT_EQ(list.FolderPath(), folder.Path());
    EXPECT_EQ(list.Entries(), (Names{"A.MP3", "b.mp3"}));
    EXPECT_EQ(fs.CurrentDirectory(), folder.Path());
  }
  EXPECT_NO_THROW(list.ApplyPath(""));
  EXPECT_EQ(list.Entries(), (Names{"A.MP3", "b.mp3"}));
  // A FIFO is a name but not a file one may open: the list never shows or opens it.
  EXPECT_NO_THROW(list.ApplyPath(fifo));
  EXPECT_TRUE(list.Entries().empty());
}

TEST_F(FileListBoxTest, FilePathSelectsTheFileInItsFolder) {
  list.OnClick = [this](QObject*) { ++clicks; };
  Show();
  list.ApplyPath(folder / "other/x.mp3");
  EXPECT_EQ(list.FolderPath(), folder / "other");
  EXPECT_EQ(list.SelectedFileName(), "x.mp3");
  EXPECT_EQ(list.SelectedFilePath(), folder / "other/x.mp3");
  list.ApplyPath(list.SelectedFilePath());  // the selected file again changes nothing

  list.ApplyPath(folder / "c.iad");  // not matching the mask: the mask becomes its name
  EXPECT_EQ(list.Mask(), "c.iad");
  EXPECT_EQ(list.Entries(), Names{"c.iad"});
  EXPECT_EQ(list.SelectedFileName(), "c.iad");
  EXPECT_EQ(clicks, 0);  // the list's own selections raise no click
}

TEST_F(FileListBoxTest, PatternPathBecomesTheMask) {
  Show();
  list.ApplyPath(folder / "*.iad");
  EXPECT_EQ(list.Mask(), "*.iad");
  EXPECT_EQ(list.Entries(), Names{"c.iad"});
}

TEST_F(FileListBoxTest, NamesKeepTheirBytes) {
  const std::string odd = "caf\xE9 \"quoted\"\nline.mp3";
  folder.File(odd, "odd");
  Show();
  list.ApplyPath(folder / odd);
  EXPECT_EQ(list.SelectedFileName(), odd);
  EXPECT_EQ(test::ReadFile(list.SelectedFilePath()), "odd");
}

TEST_F(FileListBoxTest, RootFolderJoinsWithOneSlash) {
  Show();
  list.ApplyPath("/");
  EXPECT_EQ(list.FolderPath(), "/");
}

TEST_F(FileListBoxTest, UserSelectionRaisesClick) {
  list.OnClick = [this](QObject*) { ++clicks; };
  int doubleClicks = 0;
  list.OnDblClick = [&doubleClicks](QObject*) { ++doubleClicks; };
  list.resize(200, 100);
  Show();
  const QPoint secondRow = list.visualRect(list.model()->index(1, 0)).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, secondRow);
  EXPECT_EQ(list.SelectedFileName(), "b.mp3");
  EXPECT_EQ(clicks, 1);
  QTest::keyClick(&list, Qt::Key_Up);
  EXPECT_EQ(list.SelectedFileName(), "A.MP3");
  EXPECT_EQ(clicks, 2);
  list.SelectByName("b.mp3");
  EXPECT_EQ(clicks, 2);  // selecting from code is no click
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, secondRow);
  EXPECT_EQ(doubleClicks, 1);
}

// A file system that yields the given names from every search, in the given order.
class ScriptedFileSystem final : public FileSystem {
 public:
  explicit ScriptedFileSystem(Names names) : names_(std::move(names)) {}

  std::unique_ptr<FileSearch> Find(const std::string&, std::uint32_t) override {
    class Search final : public FileSearch {
     public:
      explicit Search(const Names& names) : names_(names) {}
      std::optional<FoundEntry> Next() override {
        if (next_ == names_.size()) {
          return std::nullopt;
        }
        return FoundEntry{names_[next_++], faArchive};
      }

     private:
      const Names& names_;
      std::size_t next_ = 0;
    };
    return std::make_unique<Search>(names_);
  }
  std::optional<std::uint32_t> Attributes(const std::string&) override { return faDirectory; }
  void SetCurrentDirectory(const std::string&) override {}
  std::string CurrentDirectory() override { return "/scripted"; }
  std::error_code RenameNoReplace(const std::string&, const std::string&) override {
    return std::make_error_code(std::errc::operation_not_permitted);
  }

 private:
  Names names_;
};

Names Numbered(int count, bool descending) {
  Names names;
  for (int i = 0; i < count; ++i) {
    names.push_back("song" + std::to_string(1000 + (descending ? count - i : i)) + ".mp3");
  }
  return names;
}

// Whether the hourglass was showing while the list took its new entries.
bool HourglassWhileFilling(Names names) {
  ScriptedFileSystem fs(std::move(names));
  TFileListBox list(fs);
  list.show();
  bool busy = false;
  QObject::connect(list.model(), &QAbstractItemModel::modelReset, [&busy] {
    busy = busy || (QGuiApplication::overrideCursor() != nullptr &&
                    QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
  });
  list.RefillList();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the cursor always comes back
  return busy;
}

TEST(FileListBoxHourglass, ShowsOnceAnEntryGoesToPosition100) {
  EXPECT_FALSE(HourglassWhileFilling(Numbered(100, false)));
  EXPECT_TRUE(HourglassWhileFilling(Numbered(101, false)));
  // Names arriving in reverse order all go to position 0, however many there are.
  EXPECT_FALSE(HourglassWhileFilling(Numbered(1000, true)));
  Names mixed = Numbered(150, true);  // 150 go to the top, then one lands behind 100 of them
  mixed.push_back("song1100x.mp3");
  EXPECT_TRUE(HourglassWhileFilling(mixed));
}

}  // namespace
}  // namespace varnex
