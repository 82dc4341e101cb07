// Ctrl+Z in the main window, on real folders with real journals.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "history/History.h"
#include "platform/fs/PosixJournalStorage.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using test::ListFolder;
using test::Listing;
using Names = std::vector<std::string>;

class UndoInWindowTest : public test::WindowTest {
 protected:
  void SetUp() override {
    for (const auto& [name, content] : start) {
      folder.File("music/" + name, content);
    }
    form = MakeWindow({music}, folder.Path());
    form->AttachHistory(&history);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  // Ctrl+Z as the user types it, wherever the focus is.
  void PressCtrlZ(QWidget* focus) {
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
  }

  const Listing start{
      {"Song.MP3", "s"}, {"a.mp3", "a"}, {"b.iad", "b"}, {"c.mp3", "c"}, {"c.iad", "ci"}};
  std::string music = folder.Folder("music");
  PosixJournalStorage storage;
  History history{storage, folder / "state"};
  std::unique_ptr<TMp3Form> form;
};

TEST_F(UndoInWindowTest, CtrlZUndoesTheConversionAndShowsWhatItConvertedFrom) {
  QTest::keyClick(form->DirectoryEdit1, Qt::Key_Return);
  ExpectChoice(*form, 1);
  ASSERT_EQ(ListFolder(music).count("Song.iad"), 1u);

  PressCtrlZ(form->DirectoryEdit1);  // the field has the focus at start-up
  EXPECT_EQ(ListFolder(music), start);
  ExpectChoice(*form, 0);
  EXPECT_EQ(form->FileListBox1->Entries(), (Names{"a.mp3", "c.mp3", "Song.MP3"}));
  EXPECT_TRUE(boxes.Seen().isEmpty());

  PressCtrlZ(form->FileListBox1);  // nothing left to undo: nothing happens
  EXPECT_EQ(ListFolder(music), start);
  ExpectChoice(*form, 0);
  EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(UndoInWindowTest, TwoConversionsAndTwoCtrlZGiveTheStartExactly) {
  form->convertirBtn->click();
  form->convertirBtn->click();
  ExpectChoice(*form, 0);
  PressCtrlZ(form->FileListBox1);
  ExpectChoice(*form, 1);  // the second pass converted from iad
  EXPECT_EQ(form->FileListBox1->Entries(), (Names{"a.iad", "b.iad", "c.iad", "Song.iad"}));
  PressCtrlZ(form->TrackBar1);
  ExpectChoice(*form, 0);
  EXPECT_EQ(ListFolder(music), start);
}

TEST_F(UndoInWindowTest, TheListIsReadAgainWhenTheChoiceIsAlreadyTheOldOne) {
  form->convertirBtn->click();
  ClickChoice(*form, 0);
  ExpectChoice(*form, 0);
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"c.mp3"});
  PressCtrlZ(form->FileListBox1);
  ExpectChoice(*form, 0);
  EXPECT_EQ(form->FileListBox1->Entries(), (Names{"a.mp3", "c.mp3", "Song.MP3"}));
}

TEST_F(UndoInWindowTest, CtrlZTakesTheFolderShownNotTheOneConverted) {
  form->convertirBtn->click();
  const std::string other = folder.Folder("other");
  folder.File("other/x.mp3");
  form->DirectoryEdit1->SetText(other);
  PressCtrlZ(form->FileListBox1);  // nothing was converted in the folder shown
  EXPECT_EQ(ListFolder(music).count("Song.iad"), 1u);
  ExpectChoice(*form, 1);
  std::filesystem::rename(music, folder / "renamed");
  form->DirectoryEdit1->SetText(folder / "renamed");
  PressCtrlZ(form->FileListBox1);
  EXPECT_EQ(ListFolder(folder / "renamed"), start);
  ExpectChoice(*form, 0);
}

TEST_F(UndoInWindowTest, AnEmptyFieldHasNothingToUndo) {
  // A pass in the folder the program was started in, which an empty field would resolve to.
  folder.File("start.mp3", "s");
  PassRecorder recorder(history);
  ConvertFolder(fs, folder.Path(), kMp3ToIad, {&recorder});
  form->DirectoryEdit1->SetText("");
  PressCtrlZ(form->FileListBox1);
  EXPECT_TRUE(std::filesystem::exists(folder / "start.iad"));
  ExpectChoice(*form, 0);
}

}  // namespace
}  // namespace varnex
