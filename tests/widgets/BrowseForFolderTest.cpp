#include <gtest/gtest.h>

#include <QTest>

#include "platform/fs/PathRules.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/shell/ErrorMode.h"
#include "tests/support/FakeFolderDialog.h"
#include "tests/support/TempFolder.h"
#include "widgets/ScreenPlacement.h"
#include "widgets/TBrowseFolderDlg.h"
#include "widgets/TDirectoryEdit.h"

namespace varnex {
namespace {

// Also notes the error mode in force while the dialog runs.
class WatchingDialog final : public FolderDialog {
 public:
  bool Execute(const std::string& dialogText, std::string& folderName) override {
    const unsigned mode = SetErrorMode(0);
    SetErrorMode(mode);
    modes.push_back(mode);
    return fake.Execute(dialogText, folderName);
  }
  test::FakeFolderDialog fake;
  std::vector<unsigned> modes;
};

class BrowseForFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    field.SetDialogText("Pick one");
    field.OnChange = [this](QObject*) { changes.push_back(field.Text()); };
  }

  std::string StartFolderFor(const std::string& text) {
    field.SetText(text);
    dialog.fake.calls.clear();
    field.BrowseForFolder();
    return dialog.fake.calls.at(0).startFolder;
  }

  test::TempFolder folder;
  PosixFileSystem fs;
  WatchingDialog dialog;
  TDirectoryEdit field{fs, dialog};
  std::vector<std::string> changes;
};

TEST_F(BrowseForFolderTest, StartsWhereTheFieldPointsOrAtTheRoot) {
  EXPECT_EQ(StartFolderFor(""), "/");
  EXPECT_EQ(StartFolderFor(folder.Path()), folder.Path());
  EXPECT_EQ(StartFolderFor(folder.File("song.mp3")), "/");
  EXPECT_EQ(StartFolderFor(folder / "missing"), "/");
  EXPECT_EQ(dialog.fake.calls.at(0).dialogText, "Pick one");

  const std::string chosen = folder.Folder("chosen");
  dialog.fake.answer = chosen;
  field.BrowseForFolder();
  EXPECT_EQ(field.InitialDir(), chosen);
  dialog.fake.answer.reset();
  EXPECT_EQ(StartFolderFor(""), chosen);  // an empty field starts at the folder chosen last
}

TEST_F(BrowseForFolderTest, CancelChangesNothing) {
  field.SetText(folder.Path());
  changes.clear();
  field.BrowseForFolder();
  EXPECT_EQ(field.Text(), folder.Path());
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(field.InitialDir(), "");
}

TEST_F(BrowseForFolderTest, ConfirmedFolderIsWrittenOnceAndOnlyWhenNew) {
  field.SetText(folder.Path());
  changes.clear();
  dialog.fake.answer = folder.Path();
  field.BrowseForFolder();
  EXPECT_TRUE(changes.empty());  // the folder already shown: no change, so no re-read

  const std::string other = folder.Folder("other");
  dialog.fake.answer = other;
  field.BrowseForFolder();
  EXPECT_EQ(changes, std::vector<std::string>{other});

  field.selectAll();  // a selection is deleted first, as the user's deletion would be
  dialog.fake.answer = folder.Path();
  field.BrowseForFolder();
  EXPECT_EQ(changes, (std::vector<std::string>{other, "", folder.Path()}));
}

TEST_F(BrowseForFolderTest, ErrorModeIsQuietOnlyWhileTheDialogRuns) {
  field.BrowseForFolder();
  EXPECT_EQ(dialog.modes, std::vector<unsigned>{0x8001});
  EXPECT_EQ(SetErrorMode(0), 0u);
}

TEST_F(BrowseForFolderTest, ButtonAndAltDownBrowse) {
  field.show();
  QTest::mouseClick(field.Button(), Qt::LeftButton);
  EXPECT_EQ(dialog.fake.calls.size(), 1u);
  QTest::keyClick(&field, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(dialog.fake.calls.size(), 2u);
  QTest::keyClick(&field, Qt::Key_Down);
  EXPECT_EQ(dialog.fake.calls.size(), 2u);
  EXPECT_EQ(field.Button()->width(), TEditButton::kWidth);
}

// Screens of a desktop with several monitors start where they lie: the one right of a 1920-pixel
// monitor starts at x 1920, and one above the first has a negative y.
TEST(CentredOnScreen, CentresWithinTheScreenWhereverItStarts) {
  const QSize dialog(400, 300);
  EXPECT_EQ(CentredOnScreen({0, 0, 1280, 1024}, dialog), QPoint(440, 362));
  EXPECT_EQ(CentredOnScreen({1920, 0, 1280, 1024}, dialog), QPoint(2360, 362));
  EXPECT_EQ(CentredOnScreen({-1280, -1024, 1280, 1024}, dialog), QPoint(-840, -662));
  EXPECT_EQ(CentredOnScreen({1920, 200, 1281, 1025}, dialog), QPoint(2360, 562));
  // Larger than the screen: its top left corner stays on the screen.
  EXPECT_EQ(CentredOnScreen({1920, 100, 300, 200}, dialog), QPoint(1920, 100));
}

TEST(TrimTrailingBackslash, DropsOneSlashButNeverTheRoot) {
  EXPECT_EQ(TrimTrailingBackslash("/music/"), "/music");
  EXPECT_EQ(TrimTrailingBackslash("/music//"), "/music/");
  EXPECT_EQ(TrimTrailingBackslash("/music"), "/music");
  EXPECT_EQ(TrimTrailingBackslash("/"), "/");
  EXPECT_EQ(TrimTrailingBackslash(""), "");
}

}  // namespace
}  // namespace varnex
