#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "app/WindowPlayer.h"
#include "tests/support/ScriptedGraph.h"
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
  script.state = State_Running;
  EXPECT_EQ(press(Qt::Key_P), Log{"graph2 Stop"});  // plays, or stops what plays

  script.state = State_Running;
  form->FileListBox1->setFocus();
  EXPECT_EQ(press(Qt::Key_Down, Qt::NoModifier), Log{"graph2 Stop"});
  EXPECT_EQ(form->FileListBox1->SelectedFileName(), "b.mp3");

  form->AProposBtnClick();
  EXPECT_TRUE(press(Qt::Key_P).empty());
  EXPECT_TRUE(press(Qt::Key_Period).empty());
}

TEST_F(PlayerControlsTest, SliderSetsTheVolumeAtOnce) {
  QTest::keyClick(form->TrackBar1, Qt::Key_PageDown);  // the Page keys move it by 10 dB
  form->TrackBar1->setValue(5000);
  form->TrackBar1->setValue(0);
  EXPECT_EQ(TakeLog(), (Log{"graph1 put_Volume -1000", "graph1 put_Volume -5000",
                            "graph1 put_Volume -10000"}));
}

TEST_F(PlayerControlsTest, WithoutTheMediaModuleNothingHappens) {
  form->AttachMediaModule(nullptr);
  form->TrackBar1->setValue(100);
  form->SpeedButton1->click();
  form->SpeedButton2->click();
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_TRUE(boxes.Seen().isEmpty());
}

// The window's player, as the desktop's controls use it, on a scripted graph.
class WindowPlayerTest : public PlayerControlsTest {
 protected:
  void SetUp() override {
    PlayerControlsTest::SetUp();
    QApplication::setQuitOnLastWindowClosed(false);
    player = std::make_unique<WindowPlayer>(*form, *dm);
  }
  void TearDown() override {
    player.reset();
    PlayerControlsTest::TearDown();
  }

  std::string PathOf(const std::string& name) { return folder / name; }

  std::unique_ptr<WindowPlayer> player;
};

TEST_F(WindowPlayerTest, TheGraphsNotificationsHaveOneListenerWhoGivesThemBack) {
  EXPECT_THROW({ WindowPlayer second(*form, *dm); }, std::logic_error);
  const QSignalSpy changes(&player->Notifier(), &PlayerNotifier::StateChanged);
  dm->fg.DispatchGraphEvent(EC_COMPLETE, 0, 0);
  EXPECT_EQ(changes.count(), 1);  // the first listener still hears the graph

  player.reset();
  EXPECT_FALSE(dm->fg.OnActivate);
  EXPECT_FALSE(dm->fg.OnDSEvent);
  form->FileListBox1->SelectByName("a.mp3");
  form->SpeedButton1->click();  // the window plays on its own
  EXPECT_EQ(TakeLog().back(), "graph2 Run");
  script.state = State_Running;
  form->SpeedButton2->click();
  EXPECT_EQ(TakeLog(), Log{"graph2 Stop"});
}

TEST_F(WindowPlayerTest, PlayPressesPlayOnlyForASelectionWhileNothingPlays) {
  player->Play();
  EXPECT_TRUE(TakeLog().empty()) << "played without a selection";

  form->FileListBox1->SelectByName("a.mp3");
  player->Play();
  Log log = TakeLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "graph2 RenderFile " + PathOf("a.mp3")), log.end());
  EXPECT_EQ(log.back(), "graph2 Run");

  script.state = State_Running;
  player->Play();  // goes on, not from the start
  EXPECT_TRUE(TakeLog().empty());

  // A graph that has played to its end still runs; play starts the file again.
  dm->fg.DispatchGraphEvent(EC_COMPLETE, 0, 0);
  EXPECT_FALSE(player->IsPlaying());
  player->Play();
  log = TakeLog();
  EXPECT_EQ(log.front(), "graph2 Stop");
  EXPECT_EQ(log.back(), "graph3 Run");

  script.state = State_Running;
  player->Stop();
  EXPECT_EQ(TakeLog(), Log{"graph3 Stop"});
}

TEST_F(WindowPlayerTest, CurrentFileIsTheOneThatPlaysOrPlayedLastUntilAPlayFails) {
  const QSignalSpy changes(&player->Notifier(), &PlayerNotifier::StateChanged);
  EXPECT_EQ(player->CurrentFile(), "");
  form->FileListBox1->SelectByName("a.mp3");
  form->SpeedButton1->click();
  EXPECT_EQ(changes.count(), 1);  // told of the new graph at once
  script.state = State_Running;
  EXPECT_TRUE(player->IsPlaying());
  EXPECT_EQ(player->CurrentFile(), PathOf("a.mp3"));

  dm->fg.DispatchGraphEvent(EC_COMPLETE, 0, 0);
  EXPECT_FALSE(player->IsPlaying());
  EXPECT_EQ(player->CurrentFile(), PathOf("a.mp3"));
  dm->fg.DispatchGraphEvent(EC_STATE_CHANGE, State_Stopped, 0);
  script.state = State_Stopped;

  // Until the play is over (its wait for the file serves events in a loop of its own) the new
  // graph may yet play; once it is over without running, it failed.
  form->FileListBox1->SelectByName("b.mp3");
  script.results["RenderFile"] = VFW_E_CANNOT_RENDER;
  bool keptDuringTheWait = false;
  script.whileRendering = [&] {
    QEventLoop wait;
    QTimer::singleShot(100, &wait, &QEventLoop::quit);
    wait.exec();
    keptDuringTheWait = player->CurrentFile() == PathOf("a.mp3");
  };
  form->SpeedButton1->click();
  EXPECT_TRUE(keptDuringTheWait);
  EXPECT_TRUE(QTest::qWaitFor([&] { return player->CurrentFile().empty(); }, 5000));
}

TEST_F(WindowPlayerTest, CanPlayFollowsTheSelectionOrAPlayingFile) {
  const QSignalSpy selections(&player->Notifier(), &PlayerNotifier::SelectionChanged);
  EXPECT_FALSE(player->CanPlay());
  form->FileListBox1->SelectByName("b.mp3");
  EXPECT_TRUE(player->CanPlay());
  EXPECT_GE(selections.count(), 1);
  form->FileListBox1->SelectByName("");
  EXPECT_FALSE(player->CanPlay());

  // A list read anew has no selection, and says so.
  form->FileListBox1->SelectByName("a.mp3");
  const qsizetype before = selections.count();
  form->rg->SetItemIndex(1);
  form->rgClick();
  EXPECT_GT(selections.count(), before);
  EXPECT_FALSE(player->CanPlay());
  script.state = State_Running;
  EXPECT_TRUE(player->CanPlay());  // desktops still offer stop for the file that plays
}

TEST_F(WindowPlayerTest, VolumeIsTheSlidersShareAndMovesIt) {
  const QSignalSpy changes(&player->Notifier(), &PlayerNotifier::VolumeChanged);
  EXPECT_EQ(player->Volume(), 1.0);
  const std::pair<double, int> cases[] = {
      {0.5, 5000}, {1.7, 10000}, {-0.2, 0}, {0.123456, 1235}, {std::nan(""), 1235}};
  for (const auto& [volume, position] : cases) {
    player->SetVolume(volume);
    EXPECT_EQ(form->TrackBar1->value(), position) << volume;
  }
  EXPECT_EQ(changes.count(), 4);
  EXPECT_EQ(TakeLog().front(), "graph1 put_Volume -5000");  // through the slider's own handler
  form->TrackBar1->setValue(2500);
  EXPECT_EQ(player->Volume(), 0.25);
}

TEST_F(WindowPlayerTest, PositionIsThePlayingFilesInMicroseconds) {
  script.position = 123456780;
  EXPECT_EQ(player->Position(), 0);  // nothing plays
  script.state = State_Running;
  EXPECT_EQ(player->Position(), 12345678);
  script.results["GetCurrentPosition"] = E_FAIL;
  EXPECT_EQ(player->Position(), 0);
}

TEST_F(WindowPlayerTest, RaiseBringsBackAMinimisedWindow) {
  form->showMinimized();
  player->Raise();
  EXPECT_FALSE(form->isMinimized());
  EXPECT_TRUE(form->isVisible());
}

TEST_F(WindowPlayerTest, QuitClosesTheWindowAndADialogOpenOnItStoringTheSettings) {
  settings.keys.clear();
  QDialog open(form.get());
  bool leftOpen = false;
  QTimer::singleShot(5000, &open, [&] {
    leftOpen = true;
    open.reject();
  });
  QTimer::singleShot(0, &open, [&] { player->Quit(); });
  open.exec();
  EXPECT_FALSE(leftOpen) << "the dialog outlived Quit, and the program with it";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
  const auto& stored = settings.keys["Software\\Varnex"];
  for (const char* value : {"Dossier", "Top", "Left"}) {
    EXPECT_EQ(stored.count(value), 1u) << value;
  }
}

TEST_F(WindowPlayerTest, AStopWhileAFileIsMadeReadyKeepsItFromStarting) {
  form->SpeedButton2->click();
  player->Stop();
  EXPECT_TRUE(TakeLog().empty());  // nothing plays or is made ready
  script.state = State_Paused;
  script.stateResult = VFW_S_STATE_INTERMEDIATE;
  form->SpeedButton2->click();
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
  script.state = State_Paused;
  player->Stop();
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
  script.state = State_Paused;
  form->FileListBox1Click();  // a click in the list stops it as well
  EXPECT_EQ(TakeLog(), Log{"graph1 Stop"});
}

}  // namespace
}  // namespace varnex
