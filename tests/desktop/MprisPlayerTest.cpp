// The window's player as the desktop's media controls see it, on a private session bus, with real
// GStreamer playing MP3s made here and its output captured and measured.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/TMp3Form.h"
#include "app/WindowPlayer.h"
#include "desktop/MprisService.h"
#include "platform/media/GstFilterGraph.h"
#include "platform/media/GstMediaTags.h"
#include "tests/support/Audio.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using test::TempFolder;

const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.varnex");

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

QVariantMap AsMap(const QVariant& value) {
  return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                                           : value.toMap();
}

class MprisPlayerTest : public test::WindowTest {
 protected:
  static void SetUpTestSuite() {
    try {
      bus_ = new test::PrivateBus;
    } catch (const std::exception& error) {
      busError_ = error.what();
    }
    tones_ = new TempFolder;
    test::MakeMp3(*tones_ / "long.mp3", 8.0);
    test::MakeMp3(*tones_ / "short.mp3", 0.5);
    test::MakeMp3(*tones_ / "two.mp3", 2.0);
  }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
    delete tones_;
  }

  void SetUp() override {
    if (bus_ == nullptr) {
      GTEST_SKIP() << "no private session bus: " << busError_;
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
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    unsetenv("VARNEX_AUDIO_SINK");
  }

  // The window on the test's folder, its media module and player, published on the bus.
  void Start() {
    form = MakeWindow({folder.Path()}, folder.Path());
    form->show();
    dm = std::make_unique<Tdm>(runtime, nullptr);
    form->AttachMediaModule(dm.get());
    player = std::make_unique<WindowPlayer>(*form, *dm);
    mpris = MprisService::Publish(bus_->Connect(QStringLiteral("service")), *player, tags,
                                  DecodableAudioTypes());
    ASSERT_NE(mpris, nullptr);
    client = std::make_unique<QDBusConnection>(bus_->Connect(QStringLiteral("client")));
    recorder = std::make_unique<test::PropertiesRecorder>(*client, kPath);
  }

  QDBusMessage Call(const QString& method, const QVariantList& arguments = {},
                    const QString& interfaceName = kPlayer) {
    QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interfaceName, method);
    call.setArguments(arguments);
    const QDBusMessage reply = client->call(call, QDBus::BlockWithGui, 15000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
  }

  QVariant Get(const QString& property) {
    const QDBusMessage reply = Call(QStringLiteral("Get"), {kPlayer, property},
                                    QStringLiteral("org.freedesktop.DBus.Properties"));
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }

  void Player(const char* method) { Call(QString::fromLatin1(method)); }
  QString Status() { return Get(QStringLiteral("PlaybackStatus")).toString(); }
  QVariantMap Metadata() { return AsMap(Get(QStringLiteral("Metadata"))); }
  qlonglong Position() { return Get(QStringLiteral("Position")).toLongLong(); }

  bool Announced(const char* entry, qsizetype from = 0) {
    return recorder->WaitFor(QString::fromLatin1(entry), from);
  }

  // Plays `name` from the test's folder through the bus and waits until it is announced.
  void PlayOverTheBus(const std::string& name) {
    form->FileListBox1->SelectByName(name);
    const qsizetype from = recorder->announced.size();
    Player("PlayPause");
    ASSERT_TRUE(Announced("PlaybackStatus=Playing", from)) << name;
  }

  static test::PrivateBus* bus_;
  static std::string busError_;
  static TempFolder* tones_;
  ComRuntime gstreamer;
  ComRuntime runtime;
  int graphsMade = 0;
  GstMediaTagReader tags;
  std::unique_ptr<TMp3Form> form;
  std::unique_ptr<Tdm> dm;
  std::unique_ptr<WindowPlayer> player;
  std::unique_ptr<MprisService> mpris;
  std::unique_ptr<QDBusConnection> client;
  std::unique_ptr<test::PropertiesRecorder> recorder;
};

test::PrivateBus* MprisPlayerTest::bus_ = nullptr;
std::string MprisPlayerTest::busError_;
TempFolder* MprisPlayerTest::tones_ = nullptr;

TEST_F(MprisPlayerTest, PlayPauseSoundsTheSelectedFileAndStopsIt) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  // Only what the list holds and plays: MP3, whose decoder these tests play through.
  EXPECT_EQ(DecodableAudioTypes(), std::vector<std::string>{"audio/mpeg"});
  PlayOverTheBus("long.mp3");
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // the window's own graph plays it
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 12; }, 15000));

  const qsizetype from = recorder->announced.size();
  Player("PlayPause");
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));
  const std::size_t heard = Levels(wav).size();
  QTest::qWait(500);
  EXPECT_EQ(Levels(wav).size(), heard) << "sound went on after the stop";
  const std::vector<double> levels = Levels(wav);
  EXPECT_NEAR(levels.at(5), -9.0, 1.5);  // a sine at half scale, at full volume
}

TEST_F(MprisPlayerTest, StatusFollowsTheWindowsButtonsStopPauseAndTheEndOfAFile) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  qsizetype from = recorder->announced.size();
  form->SpeedButton1->click();
  EXPECT_EQ(mpris->PlaybackStatus(), QStringLiteral("Playing"));  // asked before any graph event
  EXPECT_TRUE(Announced("PlaybackStatus=Playing", from));
  const QVariant playing = Metadata().value(QStringLiteral("mpris:trackid"));
  Player("Play");  // already playing: goes on, not from the start
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  EXPECT_EQ(Metadata().value(QStringLiteral("mpris:trackid")), playing);

  from = recorder->announced.size();
  form->SpeedButton2->click();
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  for (const char* stop : {"Stop", "Pause"}) {
    PlayOverTheBus("long.mp3");
    from = recorder->announced.size();
    Player(stop);
    EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from)) << stop;
    EXPECT_EQ(dm->fg.GetPlayState(), psStopped) << stop;
  }

  PlayOverTheBus("short.mp3");
  const QVariant first = Metadata().value(QStringLiteral("mpris:trackid"));
  from = recorder->announced.size();
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // played to its end, the graph still runs
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));

  // Play starts the file again, not only stopping the finished graph as the button would.
  from = recorder->announced.size();
  Player("Play");
  ASSERT_TRUE(Announced("PlaybackStatus=Playing", from));
  const QVariant second = Metadata().value(QStringLiteral("mpris:trackid"));
  EXPECT_NE(first.value<QDBusObjectPath>().path(), second.value<QDBusObjectPath>().path());
}

TEST_F(MprisPlayerTest, CanPlayStaysWhileAFileThatTheListNoLongerShowsPlays) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  EXPECT_TRUE(Announced("CanPlay=true"));
  PlayOverTheBus("long.mp3");
  const qsizetype from = recorder->announced.size();
  form->rg->SetItemIndex(1);
  form->rgClick();  // the list read anew has no selection
  ASSERT_TRUE(form->FileListBox1->SelectedFilePath().empty());
  EXPECT_TRUE(Get(QStringLiteral("CanPlay")).toBool());
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  Player("Stop");
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_EQ(dm->fg.GetPlayState(), psStopped);
  EXPECT_TRUE(Announced("CanPlay=false", from));
  EXPECT_FALSE(recorder->announced.mid(from).contains(QStringLiteral("CanPlay=true")));
  EXPECT_FALSE(Get(QStringLiteral("CanPlay")).toBool());
}

TEST_F(MprisPlayerTest, AFailedPlayLeavesNoTrackBehind) {
  std::ofstream(folder / "noise.mp3", std::ios::binary) << std::string(50000, '\x5A');
  Start();
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(Metadata().contains(QStringLiteral("mpris:trackid")));
  const qsizetype from = recorder->announced.size();
  form->FileListBox1->SelectByName("noise.mp3");
  form->SpeedButton1->click();  // stops the good file
  form->SpeedButton1->click();  // and cannot play this one
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped", from));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return AsMap(recorder->last.value(QStringLiteral("Metadata"))).isEmpty(); }, 5000))
      << "the failed play was not announced";
  EXPECT_TRUE(Metadata().isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));

  PlayOverTheBus("short.mp3");  // a good file after it is described again
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("short"));
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
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Metadata().contains(QStringLiteral("mpris:length")); }, 10000));
  const QVariantMap metadata = Metadata();
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
            QString::fromUtf8("\xC3\x89lan vital"));
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:artist")).toStringList(),
            QStringList{QStringLiteral("The Testers")});
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Sine Waves"));
  EXPECT_NEAR(metadata.value(QStringLiteral("mpris:length")).toDouble(), 2e6, 1.5e5);
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(),
            QString::fromStdString("file://" + folder / "tagged.mp3"));
  // The tags were announced, not only there to be read.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return AsMap(recorder->last.value(QStringLiteral("Metadata"))) == metadata; }));

  Player("Stop");
  PlayOverTheBus(odd);
  const QString url = Metadata().value(QStringLiteral("xesam:url")).toString();
  EXPECT_TRUE(url.endsWith(QStringLiteral("/caf%E9%20%231%25.mp3"))) << url.toStdString();
  EXPECT_EQ(QByteArray::fromPercentEncoding(url.toLatin1()).toStdString(),
            "file://" + folder / odd);
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(),
            QString::fromUtf8("caf\xEF\xBF\xBD #1%"));
}

TEST_F(MprisPlayerTest, VolumeOverTheBusMovesTheSliderAndTheLevel) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  EXPECT_EQ(Get(QStringLiteral("Volume")).toDouble(), 1.0);
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 10; }, 15000));
  Call(QStringLiteral("Set"),
       {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5))},
       QStringLiteral("org.freedesktop.DBus.Properties"));
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
  EXPECT_FALSE(Get(QStringLiteral("CanSeek")).toBool());
  Player("Stop");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Stopped"); }));
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
    const QString method = call % 4 == 3 ? QStringLiteral("Stop") : QStringLiteral("PlayPause");
    client->send(QDBusMessage::createMethodCall(kName, kPath, kPlayer, method));
  }
  Call(QStringLiteral("Play"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->IsPlaying(); }, 15000));
  QTest::qWait(200);
  EXPECT_TRUE(player->IsPlaying()) << "not in the last state asked for";
  EXPECT_LT(graphsMade, 30) << "one graph per call, or nearly";

  // A close that arrives among the calls is taken in between them, not after all of them.
  settings.keys.clear();
  const int graphsBefore = graphsMade;
  int graphsAtClose = -1;
  for (int call = 0; call < kCalls; ++call) {
    client->send(
        QDBusMessage::createMethodCall(kName, kPath, kPlayer, QStringLiteral("PlayPause")));
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
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));
}

}  // namespace
}  // namespace varnex
