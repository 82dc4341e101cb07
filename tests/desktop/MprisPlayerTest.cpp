// The window's player as the desktop's media controls see it, on a private session bus, with real
// GStreamer playing MP3s made here and its output captured and measured.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/WindowPlayer.h"
#include "desktop/MprisService.h"
#include "platform/media/GstFilterGraph.h"
#include "platform/media/GstMediaTags.h"
#include "tests/desktop/MprisBusTest.h"
#include "tests/support/Audio.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using test::TempFolder;

using namespace Qt::StringLiterals;
using test::AsMap;
using test::TrackId;

const QString& kPlayer = test::kMprisPlayer;

// An ID3v2.4 tag with UTF-8 title, artist and album frames.
std::string Id3Tag(const std::string& title, const std::string& artist, const std::string& album) {
  const auto syncSafe = [](std::size_t n) {
    return std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                       static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
  };
  const auto frame = [&](const char* id, const std::string& text) {
    return std::string(id) + syncSafe(text.size() + 1) + std::string(2, '\0') + '\x03' + text;
  };
  const std::string frames = frame("TIT2", title) + frame("TPE1", artist) + frame("TALB", album);
  return std::string("ID3\x04\x00\x00", 6) + syncSafe(frames.size()) + frames;
}

// RMS levels in dB of each tenth of a second of a captured 44.1 kHz mono WAV; -200 for silence.
std::vector<double> Levels(const std::string& wav) {
  const std::string bytes = test::ReadFile(wav);
  const std::size_t data = bytes.find("data");
  std::vector<double> levels;
  if (data == std::string::npos) {
    return levels;
  }
  const std::size_t window = 4410;
  for (std::size_t at = data + 8; at + 2 * window <= bytes.size(); at += 2 * window) {
    double sum = 0;
    for (std::size_t i = 0; i < window; ++i) {
      std::int16_t sample;
      std::memcpy(&sample, bytes.data() + at + 2 * i, 2);
      sum += static_cast<double>(sample) * sample;
    }
    levels.push_back(sum > 0 ? 10 * std::log10(sum / window / (32768.0 * 32768.0)) : -200);
  }
  return levels;
}

std::string SyncedCapture(const std::string& wav) {
  return "audioconvert ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! wavenc ! "
         "filesink sync=true location=" +
         wav;
}

class MprisPlayerTest : public test::MprisBusTest<test::WindowTest> {
 protected:
  static void SetUpTestSuite() {
    MprisBusTest::SetUpTestSuite();
    tones_ = new TempFolder;
    test::MakeMp3(*tones_ / "long.mp3", 8.0);
    test::MakeMp3(*tones_ / "short.mp3", 0.5);
    test::MakeMp3(*tones_ / "two.mp3", 2.0);
  }
  static void TearDownTestSuite() {
    MprisBusTest::TearDownTestSuite();
    delete tones_;
  }

  void SetUp() override {
    MprisBusTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    // Every graph the window makes is counted on its way from GStreamer.
    RegisterGStreamerGraph(gstreamer);
    runtime.RegisterClass(CLSID_FilterGraph, [this](const IID& iid, void** object) {
      ++graphsMade;
      return gstreamer.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, iid,
                                        object);
    });
    setenv("VARNEX_AUDIO_SINK", "fakesink sync=true", 1);
    std::filesystem::copy_file(*tones_ / "long.mp3", folder / "long.mp3");
    std::filesystem::copy_file(*tones_ / "short.mp3", folder / "short.mp3");
  }

  void TearDown() override {
    recorder.reset();
    mpris.reset();
    player.reset();
    dm.reset();
    form.reset();
    QDBusConnection::disconnectFromBus(u"service"_s);
    MprisBusTest::TearDown();
    unsetenv("VARNEX_AUDIO_SINK");
  }

  // The window on the test's folder, its media module and player, published on the bus.
  void Start() {
    form = MakeWindow({folder.Path()}, folder.Path());
    form->show();
    dm = std::make_unique<Tdm>(runtime, nullptr);
    form->AttachMediaModule(dm.get());
    player = std::make_unique<WindowPlayer>(*form, *dm);
    mpris =
        MprisService::Publish(bus_->Connect(u"service"_s), *player, tags, DecodableAudioTypes());
    ASSERT_NE(mpris, nullptr);
    ConnectClient();
  }

  void Player(const char* method) { Call(kPlayer, QString::fromLatin1(method)); }
  QString Status() { return Get("PlaybackStatus").toString(); }
  qlonglong Position() { return Get("Position").toLongLong(); }
  qsizetype Now() const { return recorder->announced.size(); }

  // Plays `name` from the test's folder through the bus and waits until it is announced.
  void PlayOverTheBus(const std::string& name) {
    form->FileListBox1->SelectByName(name);
    const qsizetype from = Now();
    Player("PlayPause");
    ASSERT_TRUE(Announced("PlaybackStatus=Playing", from)) << name;
  }

  static TempFolder* tones_;
  ComRuntime gstreamer;
  ComRuntime runtime;
  int graphsMade = 0;
  GstMediaTagReader tags;
  std::unique_ptr<TMp3Form> form;
  std::unique_ptr<Tdm> dm;
  std::unique_ptr<WindowPlayer> player;
  std::unique_ptr<MprisService> mpris;
};

TempFolder* MprisPlayerTest::tones_ = nullptr;

TEST_F(MprisPlayerTest, PlayPauseSoundsTheSelectedFileAndStopsIt) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  // Only what the list holds and plays: MP3, whose decoder these tests play through.
  EXPECT_EQ(DecodableAudioTypes(), std::vector<std::string>{"audio/mpeg"});
  PlayOverTheBus("long.mp3");
  EXPECT_EQ(Status(), u"Playing"_s);
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // the window's own graph plays it
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 12; }, 15000));

  const qsizetype from = Now();
  Player("PlayPause");
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(Status(), u"Stopped"_s);
  const std::size_t heard = Levels(wav).size();
  QTest::qWait(500);
  EXPECT_EQ(Levels(wav).size(), heard) << "sound went on after the stop";
  const std::vector<double> levels = Levels(wav);
  EXPECT_NEAR(levels.at(5), -9.0, 1.5);  // a sine at half scale, at full volume
}

TEST_F(MprisPlayerTest, StatusFollowsTheWindowsButtonsStopPauseAndTheEndOfAFile) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  qsizetype from = Now();
  form->SpeedButton1->click();
  EXPECT_EQ(mpris->PlaybackStatus(), u"Playing"_s);  // asked before any graph event
  EXPECT_TRUE(Announced("PlaybackStatus=Playing", from));
  const QString playing = TrackId(Metadata());
  Player("Play");  // already playing: goes on, not from the start
  EXPECT_EQ(Status(), u"Playing"_s);
  EXPECT_EQ(TrackId(Metadata()), playing);

  from = Now();
  form->SpeedButton2->click();
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  for (const char* stop : {"Stop", "Pause"}) {
    PlayOverTheBus("long.mp3");
    from = Now();
    Player(stop);
    EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from)) << stop;
    EXPECT_EQ(dm->fg.GetPlayState(), psStopped) << stop;
  }

  PlayOverTheBus("short.mp3");
  const QString first = TrackId(Metadata());
  from = Now();
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // played to its end, the graph still runs
  EXPECT_EQ(Status(), u"Stopped"_s);

  // Play starts the file again, not only stopping the finished graph as the button would.
  from = Now();
  Player("Play");
  ASSERT_TRUE(Announced("PlaybackStatus=Playing", from));
  EXPECT_NE(TrackId(Metadata()), first);
}

TEST_F(MprisPlayerTest, CanPlayStaysWhileAFileThatTheListNoLongerShowsPlays) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  EXPECT_TRUE(Announced("CanPlay=true"));
  PlayOverTheBus("long.mp3");
  const qsizetype from = Now();
  form->rg->SetItemIndex(1);
  form->rgClick();  // the list read anew has no selection
  ASSERT_TRUE(form->FileListBox1->SelectedFilePath().empty());
  EXPECT_TRUE(Get("CanPlay").toBool());
  EXPECT_EQ(Status(), u"Playing"_s);
  Player("Stop");
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(dm->fg.GetPlayState(), psStopped);
  EXPECT_TRUE(Announced("CanPlay=false", from));
  EXPECT_FALSE(recorder->announced.mid(from).contains(u"CanPlay=true"_s));
  EXPECT_FALSE(Get("CanPlay").toBool());
}

TEST_F(MprisPlayerTest, AFailedPlayLeavesNoTrackBehind) {
  std::ofstream(folder / "noise.mp3", std::ios::binary) << std::string(50000, '\x5A');
  Start();
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(Metadata().contains(u"mpris:trackid"_s));
  const qsizetype from = Now();
  form->FileListBox1->SelectByName("noise.mp3");
  form->SpeedButton1->click();  // stops the good file
  form->SpeedButton1->click();  // and cannot play this one
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_TRUE(QTest::qWaitFor([&] { return AnnouncedMetadata().isEmpty(); }, 5000))
      << "the failed play was not announced";
  EXPECT_TRUE(Metadata().isEmpty());
  EXPECT_EQ(Status(), u"Stopped"_s);

  PlayOverTheBus("short.mp3");  // a good file after it is described again
  EXPECT_EQ(Metadata().value(u"xesam:title"_s).toString(), u"short"_s);
}

// The tags come from GStreamer's discoverer, after the file has started.
TEST_F(MprisPlayerTest, MetadataOfATaggedFileAndOfANameThatIsNotUtf8) {
  std::ofstream(folder / "tagged.mp3", std::ios::binary)
      << Id3Tag("\xC3\x89lan vital", "The Testers", "Sine Waves")
      << test::ReadFile(*tones_ / "two.mp3");
  const std::string odd = "caf\xE9 #1%.mp3";
  std::filesystem::copy_file(*tones_ / "short.mp3", folder / odd);
  Start();
  PlayOverTheBus("tagged.mp3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Metadata().contains(u"mpris:length"_s); }, 10000));
  const QVariantMap metadata = Metadata();
  EXPECT_EQ(metadata.value(u"xesam:title"_s).toString(), QString::fromUtf8("\xC3\x89lan vital"));
  EXPECT_EQ(metadata.value(u"xesam:artist"_s).toStringList(), QStringList{u"The Testers"_s});
  EXPECT_EQ(metadata.value(u"xesam:album"_s).toString(), u"Sine Waves"_s);
  EXPECT_NEAR(metadata.value(u"mpris:length"_s).toDouble(), 2e6, 1.5e5);
  EXPECT_EQ(metadata.value(u"xesam:url"_s).toString(),
            QString::fromStdString("file://" + folder / "tagged.mp3"));
  // The tags were announced, not only there to be read.
  EXPECT_TRUE(QTest::qWaitFor([&] { return AnnouncedMetadata() == metadata; }));

  Player("Stop");
  PlayOverTheBus(odd);
  const QString url = Metadata().value(u"xesam:url"_s).toString();
  EXPECT_TRUE(url.endsWith(u"/caf%E9%20%231%25.mp3"_s)) << url.toStdString();
  EXPECT_EQ(QByteArray::fromPercentEncoding(url.toLatin1()).toStdString(),
            "file://" + folder / odd);
  EXPECT_EQ(Metadata().value(u"xesam:title"_s).toString(),
            QString::fromUtf8("caf\xEF\xBF\xBD #1%"));
}

TEST_F(MprisPlayerTest, VolumeOverTheBusMovesTheSliderAndTheLevel) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  EXPECT_EQ(Get("Volume").toDouble(), 1.0);
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 10; }, 15000));
  SetVolume(0.5);
  EXPECT_EQ(form->TrackBar1->value(), 5000);
  EXPECT_TRUE(Announced("Volume=0.5"));
  const std::size_t changedAt = Levels(wav).size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= changedAt + 10; }, 15000));
  Player("Stop");
  const std::vector<double> levels = Levels(wav);
  EXPECT_NEAR(levels.at(5), -9.0, 1.5);
  EXPECT_NEAR(levels.at(changedAt + 8) - levels.at(5), -50.0, 1.5);  // 5000 is 50 dB down
  form->TrackBar1->setValue(2500);  // the slider moved in the window is announced too
  EXPECT_TRUE(Announced("Volume=0.25"));
}

// Desktop panels draw their progress bar from Position, in microseconds of the playing file.
TEST_F(MprisPlayerTest, PositionAdvancesWhileAFilePlaysAndIsZeroWhenStopped) {
  Start();
  EXPECT_EQ(Position(), 0);
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Position() > 300000; }, 10000));
  const qlonglong earlier = Position();
  QTest::qWait(400);
  const qlonglong later = Position();
  EXPECT_GT(later, earlier + 200000);
  EXPECT_LT(later, 8000000);  // within the file's eight seconds
  EXPECT_FALSE(Get("CanSeek").toBool());
  Player("Stop");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == u"Stopped"_s; }));
  EXPECT_EQ(Position(), 0);
}

// 3,000 calls sent without waiting for their answers: the window builds a handful of graphs
// instead of one per call, takes in a close asked for in the middle of them, and the player ends
// in the last state asked for.
TEST_F(MprisPlayerTest, AFloodOfCallsCostsAFewGraphsAndACloseAmongThemIsHonoured) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  constexpr int kCalls = 3000;
  for (int call = 0; call < kCalls; ++call) {
    Send(call % 4 == 3 ? u"Stop"_s : u"PlayPause"_s);
  }
  Player("Play");
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->IsPlaying(); }, 15000));
  QTest::qWait(200);
  EXPECT_TRUE(player->IsPlaying()) << "not in the last state asked for";
  EXPECT_LT(graphsMade, 30) << "one graph per call, or nearly";

  // A close that arrives among the calls is taken in between them, not after all of them.
  settings.keys.clear();
  const int graphsBefore = graphsMade;
  int graphsAtClose = -1;
  for (int call = 0; call < kCalls; ++call) {
    Send(u"PlayPause"_s);
    if (call == kCalls / 10) {
      QTimer::singleShot(0, form.get(), [&] {
        graphsAtClose = graphsMade;
        form->close();
      });
    }
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 15000));
  EXPECT_LE(graphsAtClose - graphsBefore, 3);
  EXPECT_EQ(settings.keys["Software\\Varnex"].count("Dossier"), 1u);
}

// The wait for a file to be ready serves the window's events: it repaints, and its stop button
// ends the wait, so a file that never gets ready does not keep the window for the whole bound.
TEST_F(MprisPlayerTest, ForAFileThatNeverGetsReadyTheWindowPaintsAndItsStopEndsTheWait) {
  setenv("VARNEX_AUDIO_SINK", "valve drop=true ! fakesink", 1);  // the sink never gets a sample
  Start();
  dm->fg.SetLogFile(folder / "graph.log");
  struct PaintCounter : QObject {
    int painted = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      painted += event->type() == QEvent::Paint ? 1 : 0;
      return false;
    }
  } paints;
  form->installEventFilter(&paints);
  form->FileListBox1->SelectByName("long.mp3");
  bool waiting = true;
  int paintedWhileWaiting = 0;
  bool stoppedWhileWaiting = false;
  QTimer::singleShot(50, form.get(), [&] {
    paints.painted = 0;
    form->repaint();
    paintedWhileWaiting = waiting ? paints.painted : 0;
  });
  QTimer::singleShot(100, form.get(), [&] {
    form->SpeedButton2->click();
    stoppedWhileWaiting = waiting;
  });
  form->SpeedButton1->click();
  waiting = false;
  EXPECT_GE(paintedWhileWaiting, 1);
  EXPECT_TRUE(stoppedWhileWaiting);
  EXPECT_NE(dm->fg.GetPlayState(), psRunning);
  dm->fg.SetLogFile("");
  const std::string log = test::ReadFile(folder / "graph.log");
  EXPECT_NE(log.find("failed: 80004004"), std::string::npos) << log;  // ended, not timed out
  EXPECT_EQ(log.find("Run"), std::string::npos) << log;
  EXPECT_EQ(Status(), u"Stopped"_s);
}

}  // namespace
}  // namespace varnex
