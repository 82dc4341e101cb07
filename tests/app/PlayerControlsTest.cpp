#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/TMp3Form.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/FakeFolderDialog.h"
#include "tests/support/MemoryRegistryStore.h"
#include "tests/support/ModalCloser.h"
#include "tests/support/RecordingLinkOpener.h"
#include "tests/support/ScriptedGraph.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using Log = std::vector<std::string>;

class PlayerControlsTest : public test::WindowTest {
 protected:
  void SetUp() override {
    folder.File("a.mp3");
    folder.File("b.mp3");
    script.Register(runtime);
    form = MakeWindow({folder.Path()});
    form->show();
    dm = std::make_unique<Tdm>(runtime, nullptr);
    form->AttachMediaModule(dm.get());
    script.log.clear();
  }
  void TearDown() override {
    dm.reset();
    form.reset();
  }

  Log TakeLog() { return std::exchange(script.log, {}); }

  ComRuntime runtime;
  test::GraphScript script;
  std::unique_ptr<TMp3Form> form;
  std::unique_ptr<Tdm> dm;
};

TEST_F(PlayerControlsTest, PlayReplacesTheGraphAndStartsAtTheSliderVolume) {
  form->FileListBox1->SelectByName("b.mp3");
  form->TrackBar1->setValue(9000);
  TakeLog();
  form->SpeedButton1->click();
  EXPECT_EQ(TakeLog(), (Log{"graph1 SetNotifyFlags 1", "graph1 SetLogFile 0", "graph1 released",
                            "CoCreateInstance FilterGraph", "graph2 SetNotifyFlags 0",
                            "graph2 SetNotifyWindow window 32769", "graph2 SetLogFile 0",
                            "graph2 RenderFile " + folder / "b.mp3", "graph2 put_Volume -1000",
                            "graph2 Run"}));
}

TEST_F(PlayerControlsTest, PlayWhilePlayingStops) {
  script.state = State_Running;
  form->FileListBox1DblClick();
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
}

TEST_F(PlayerControlsTest, RenderFailureEndsQuietlyBeforeVolumeAndRun) {
  script.results["RenderFile"] = VFW_E_CANNOT_RENDER;
  form->FileListBox1DblClick();  // nothing selected: the empty name is handed on and refused
  const Log log = TakeLog();
  EXPECT_EQ(log.back(), "graph2 RenderFile ");
  EXPECT_TRUE(boxes.Seen().isEmpty());
  EXPECT_TRUE(dm->fg.Active());  // with a new, empty graph
}

TEST_F(PlayerControlsTest, StopOnlyWhenRunningAndItsFailureIsReported) {
  form->SpeedButton2->click();
  EXPECT_TRUE(TakeLog().empty());

  script.state = State_Running;
  script.results["Stop"] = E_FAIL;
  form->SpeedButton2->click();
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
  ASSERT_EQ(boxes.Seen().size(), 1);
  EXPECT_TRUE(boxes.Seen().front().endsWith(QStringLiteral(": Unspecified error ($80004005).")));
}

TEST_F(PlayerControlsTest, ClickInTheListStopsAPlayingFile) {
  script.state = State_Running;
  const QPoint firstRow =
      form->FileListBox1->visualRect(form->FileListBox1->model()->index(0, 0)).center();
  QTest::mouseClick(form->FileListBox1->viewport(), Qt::LeftButton, {}, firstRow);
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
}

// Ctrl+P is the play button and Ctrl+. the stop button; a selection moved with the keyboard stops
// as a click does. While the about panel covers the player, its keys do nothing.
TEST_F(PlayerControlsTest, KeysPlayAndStop) {
  QApplication::setActiveWindow(form.get());
  const auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QTest::qWait(250);  // a button's key presses it the way a click does, as it is let go
    return TakeLog();
  };
  form->FileListBox1->SelectByName("a.mp3");
  EXPECT_EQ(press(Qt::Key_P).back(), "graph2 Run");
  script.state = State_Running;
  EXPECT_EQ(press(Qt::Key_Period), Log{"graph2 Stop"});
  EXPECT_EQ(press(Qt::Key_P), Log{"graph2 Stop"});  // plays, or stops what plays

  form->FileListBox1->setFocus();
  EXPECT_EQ(press(Qt::Key_Down, Qt::NoModifier), Log{"graph2 Stop"});
  EXPECT_EQ(form->FileListBox1->SelectedFileName(), "b.mp3");

  form->AProposBtnClick();
  EXPECT_TRUE(press(Qt::Key_P).empty());
  EXPECT_TRUE(press(Qt::Key_Period).empty());
}

TEST_F(PlayerControlsTest, SliderSetsTheVolumeAtOnce) {
  form->TrackBar1->setValue(5000);
  form->TrackBar1->setValue(0);
  EXPECT_EQ(TakeLog(), (Log{"graph1 put_Volume -5000", "graph1 put_Volume -10000"}));
}

TEST_F(PlayerControlsTest, WithoutTheMediaModuleNothingHappens) {
  form->AttachMediaModule(nullptr);
  form->TrackBar1->setValue(100);
  form->SpeedButton1->click();
  form->SpeedButton2->click();
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_TRUE(boxes.Seen().isEmpty());
}

}  // namespace
}  // namespace varnex
