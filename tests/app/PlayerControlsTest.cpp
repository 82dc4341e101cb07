#include <gtest/gtest.h>

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

TEST_F(PlayerControlsTest, SliderSetsTheVolumeAtOnce) {
  QTest::keyClick(form->TrackBar1, Qt::Key_PageDown);  // a page is a hundredth of the range
  form->TrackBar1->setValue(5000);
  form->TrackBar1->setValue(0);
  EXPECT_EQ(TakeLog(),
            (Log{"graph1 put_Volume -100", "graph1 put_Volume -5000", "graph1 put_Volume -10000"}));
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
