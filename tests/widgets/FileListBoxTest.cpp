#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <functional>

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

// A name holding "*" or "?" is that name when an entry of that name is there, a pattern otherwise.
TEST_F(FileListBoxTest, RealNamesWithWildcardsAreNamesFirst) {
  folder.Folder("a*b");
  folder.Folder("aXb");
  folder.File("a*b/x.mp3");
  folder.File("aXb/y.mp3");
  folder.File("c?d.mp3");
  folder.File("cXd.mp3");
  Show();
  struct Case {
    std::string text;
    std::string folderPath;
    std::string mask;
    Names entries;
    std::string selected;
  };
  const Case cases[] = {
      {folder / "a*b", folder / "a*b", "*.mp3", {"x.mp3"}, ""},
      {folder / "c?d.mp3",
       folder.Path(),
       "*.mp3",
       {"A.MP3", "b.mp3", "c?d.mp3", "cXd.mp3"},
       "c?d.mp3"},
      {folder / "a?b", folder.Path(), "a?b", {}, ""},  // no such name: a pattern
      {folder / "c?d.iad", folder.Path(), "c?d.iad", {}, ""},
  };
  for (const Case& c : cases) {
    list.SetMask("*.mp3");
    list.ApplyPath(c.text);
    EXPECT_EQ(list.FolderPath(), c.folderPath) << c.text;
    EXPECT_EQ(list.Mask(), c.mask) << c.text;
    EXPECT_EQ(list.Entries(), c.entries) << c.text;
    EXPECT_EQ(list.SelectedFileName(), c.selected) << c.text;
  }
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

TEST_F(FileListBoxTest, FileAppliedBeforeTheListIsShownStaysSelected) {
  folder.File("other/y.mp3");
  list.ApplyPath(folder / "other/x.mp3");  // as at start-up, before the window is shown
  EXPECT_EQ(list.Entries(), (Names{"x.mp3", "y.mp3"}));
  EXPECT_EQ(list.Mask(), "*.mp3");
  EXPECT_EQ(list.SelectedFilePath(), folder / "other/x.mp3");
  list.show();
  EXPECT_EQ(list.SelectedFilePath(), folder / "other/x.mp3");
  EXPECT_EQ(list.Entries(), (Names{"x.mp3", "y.mp3"}));
}

TEST_F(FileListBoxTest, SelectedFileIsScrolledIntoView) {
  folder.Folder("many");
  for (int i = 0; i < 40; ++i) {
    folder.File("many/" + std::to_string(100 + i) + ".mp3");
  }
  list.resize(200, 60);
  Show();
  list.ApplyPath(folder / "many/139.mp3");
  const QRect row = list.visualRect(list.currentIndex());
  EXPECT_TRUE(row.top() >= 0 && row.bottom() <= list.viewport()->rect().bottom())
      << "the selected file is out of sight";
}

TEST_F(FileListBoxTest, SameFolderAgainIsNotReread) {
  Show();
  list.SelectByName("b.mp3");
  folder.File("new.mp3");
  list.ApplyPath(folder.Path());
  EXPECT_EQ(list.Entries(), (Names{"A.MP3", "b.mp3"}));
  EXPECT_EQ(list.SelectedFileName(), "b.mp3");
}

TEST_F(FileListBoxTest, RefillThatCannotEnterTheFolderKeepsTheEntries) {
  Show();
  list.ApplyPath(folder / "other");
  std::filesystem::remove_all(folder / "other");
  EXPECT_THROW(list.SetMask("*.MP3"), EInOutError);
  EXPECT_EQ(list.Entries(), Names{"x.mp3"});
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Where the keyboard is: the current row is framed while the list has the focus, and the first
// Down on a list without a selection selects the first row, as a platform list does.
TEST_F(FileListBoxTest, KeyboardFocusShowsAndDownSelectsTheFirstRow) {
  list.OnClick = [this](QObject*) { ++clicks; };
  list.resize(200, 100);
  Show();
  // The style that draws a focus frame only for a focus that came by keyboard, unless told.
  static QStyle* const fusion = QStyleFactory::create(QStringLiteral("Fusion"));
  list.setStyle(fusion);
  QApplication::setActiveWindow(&list);
  // The frame shows however the focus came, on whichever row is current.
  list.setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(list.hasFocus());
  list.selectionModel()->setCurrentIndex(list.model()->index(1, 0), QItemSelectionModel::NoUpdate);
  const QRect secondRow = list.visualRect(list.model()->index(1, 0));
  const QImage focused = list.viewport()->grab(secondRow).toImage();
  list.clearFocus();
  const QImage unfocused = list.viewport()->grab(secondRow).toImage();
  EXPECT_TRUE(focused != unfocused) << "no focus frame on the current row";

  list.setCurrentIndex({});
  list.setFocus(Qt::TabFocusReason);
  QTest::keyClick(&list, Qt::Key_Down, Qt::KeypadModifier);  // the keypad's, Num Lock off
  EXPECT_EQ(list.SelectedFileName(), "A.MP3");
  EXPECT_EQ(clicks, 1);
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.SelectedFileName(), "b.mp3");
  EXPECT_EQ(clicks, 2);

  list.ApplyPath(folder / "other");  // one row only
  list.clearFocus();
  list.setFocus(Qt::TabFocusReason);
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.SelectedFileName(), "x.mp3");
  EXPECT_EQ(clicks, 3);
}

TEST_F(FileListBoxTest, SelectedFileThatIsGoneIsNotAppliedAgain) {
  Show();
  list.ApplyPath(folder / "b.mp3");
  std::filesystem::remove(folder / "b.mp3");
  EXPECT_NO_THROW(list.ApplyPath(folder / "b.mp3"));
  EXPECT_EQ(list.SelectedFileName(), "b.mp3");
}

TEST_F(FileListBoxTest, FileTypeWithFoldersListsThemInBrackets) {
  Show();
  list.SetFileType(ftNormal | ftDirectory);
  EXPECT_EQ(list.Entries(), (Names{"[sub.mp3]", "A.MP3", "b.mp3"}));
}

// Sets the program's locale for one test; the collation follows it.
class LocaleForTest {
 public:
  explicit LocaleForTest(const char* name) {
    QLocale::setDefault(QLocale(QString::fromLatin1(name)));
  }
  LocaleForTest(const LocaleForTest&) = delete;
  LocaleForTest& operator=(const LocaleForTest&) = delete;
  ~LocaleForTest() { QLocale::setDefault(QLocale::system()); }
};

Names ListedUnder(const char* locale, const TempFolder& folder, const Names& files) {
  const LocaleForTest forTest(locale);
  for (const std::string& name : files) {
    folder.File(name);
  }
  PosixFileSystem fs;
  fs.SetCurrentDirectory(folder.Path());
  TFileListBox list(fs);
  list.show();
  return list.Entries();
}

TEST(FileListBoxOrder, FollowsTheLocalesCollationWithCaseIgnored) {
  TempFolder french;
  // Accented letters sort with their base letter; names not in UTF-8 come last, by their bytes.
  EXPECT_EQ(ListedUnder("fr_FR", french,
                        {"Zoo.mp3", "\xC9t\xE9.mp3", "\xC3\x89t\xC3\xA9.mp3", "eau.mp3", "Fa.mp3",
                         "a.mp3", "A.mp3", "\xFF.mp3"}),
            (Names{"A.mp3", "a.mp3", "eau.mp3", "\xC3\x89t\xC3\xA9.mp3", "Fa.mp3", "Zoo.mp3",
                   "\xC9t\xE9.mp3", "\xFF.mp3"}));
}

TEST(FileListBoxOrder, PlainAsciiNamesSortAsTheCollationSays) {
  TempFolder english;
  // Punctuation before digits before letters, whatever their codes; ties by bytes.
  EXPECT_EQ(
      ListedUnder("en_US", english, {"b.mp3", "B.mp3", "10.mp3", "{x}.mp3", "_a.mp3", "a b.mp3"}),
      (Names{"_a.mp3", "{x}.mp3", "10.mp3", "a b.mp3", "B.mp3", "b.mp3"}));
  TempFolder czech;
  // Czech sorts "ch" as one letter after "h": a collation that is more than its characters.
  EXPECT_EQ(ListedUnder("cs_CZ", czech, {"ch.mp3", "cz.mp3", "hz.mp3", "iz.mp3"}),
            (Names{"cz.mp3", "hz.mp3", "ch.mp3", "iz.mp3"}));
}

TEST(FileListBoxOrder, CaseIsIgnoredInTheCLocaleToo) {
  TempFolder plain;
  EXPECT_EQ(ListedUnder("C", plain, {"Zoo.mp3", "abc.mp3", "ABC.mp3", "eau.mp3", "\xFF.mp3"}),
            (Names{"ABC.mp3", "abc.mp3", "eau.mp3", "Zoo.mp3", "\xFF.mp3"}));
}

// A file system that yields the given names from every search, in the given order.
class ScriptedFileSystem final : public FileSystem {
 public:
  explicit ScriptedFileSystem(Names names) : names_(std::move(names)) {}

  std::function<void()> onNext;  // called as each name is asked for

  std::unique_ptr<FileSearch> Find(const std::string&, std::uint32_t) override {
    class Search final : public FileSearch {
     public:
      Search(const Names& names, const std::function<void()>& onNext)
          : names_(names), onNext_(onNext) {}
      bool ReadNext(FoundEntry& found) override {
        if (onNext_) {
          onNext_();
        }
        if (next_ == names_.size()) {
          return false;
        }
        found = {names_[next_++], faArchive};
        return true;
      }

     private:
      const Names& names_;
      const std::function<void()>& onNext_;
      std::size_t next_ = 0;
    };
    return std::make_unique<Search>(names_, onNext);
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
bool WaitCursorShows() {
  return QGuiApplication::overrideCursor() != nullptr &&
         QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

bool HourglassWhileFilling(Names names) {
  ScriptedFileSystem fs(std::move(names));
  TFileListBox list(fs);
  list.show();
  bool busy = false;
  QObject::connect(list.model(), &QAbstractItemModel::modelReset,
                   [&busy] { busy = busy || WaitCursorShows(); });
  list.RefillList();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the cursor always comes back
  return busy;
}

TEST(FileListBoxHourglass, ShowsOnceAnEntryGoesToPosition100) {
  EXPECT_FALSE(HourglassWhileFilling(Numbered(100, false)));
  EXPECT_TRUE(HourglassWhileFilling(Numbered(101, false)));
  // Names arriving in reverse order all go to position 0, however many there are.
  EXPECT_FALSE(HourglassWhileFilling(Numbered(1000, true)));
  Names past = Numbered(101, true);  // then one after all 101 of them: position 101
  past.push_back("song9999.mp3");
  EXPECT_FALSE(HourglassWhileFilling(past));
  Names mixed = Numbered(150, true);  // 150 go to the top, then one lands behind 100 of them
  mixed.push_back("song1100x.mp3");
  EXPECT_TRUE(HourglassWhileFilling(mixed));
}

// A slow folder keeps one waiting while it is read, so the hourglass comes as soon as a name has
// gone to position 100, not once the read is over.
TEST(FileListBoxHourglass, ShowsWhileTheFolderIsStillRead) {
  ScriptedFileSystem fs(Numbered(150, false));
  TFileListBox list(fs);
  list.show();
  std::vector<bool> busyAtAsk;
  fs.onNext = [&busyAtAsk] { busyAtAsk.push_back(WaitCursorShows()); };
  list.RefillList();
  ASSERT_EQ(busyAtAsk.size(), 151u);  // each name, then the end
  // The 101st name goes to position 100: the cursor is busy from the next ask on.
  EXPECT_EQ(std::count(busyAtAsk.begin(), busyAtAsk.begin() + 101, true), 0);
  EXPECT_EQ(std::count(busyAtAsk.begin() + 101, busyAtAsk.end(), false), 0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace varnex
