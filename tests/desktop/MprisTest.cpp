// The player as the desktop's media controls see it, on a private session bus, with real
// GStreamer playing MP3s made here and its output captured and measured.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/TMp3Form.h"
#include "desktop/MprisService.h"
#include "desktop/TrackMetadata.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/media/GstFilterGraph.h"
#include "tests/support/Audio.h"
#include "tests/support/FakeFolderDialog.h"
#include "tests/support/MemoryRegistryStore.h"
#include "tests/support/ModalCloser.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/RecordingLinkOpener.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using test::TempFolder;

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
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
  if (value.canConvert<QDBusArgument>()) {
    return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
  }
  return value.toMap();
}

class MprisTest : public test::WindowTest {
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
    RegisterGStreamerGraph(runtime);
    setenv("VARNEX_AUDIO_SINK", "fakesink sync=true", 1);
    std::filesystem::copy_file(*tones_ / "long.mp3", folder / "long.mp3");
    std::filesystem::copy_file(*tones_ / "short.mp3", folder / "short.mp3");
  }

  void TearDown() override {
    recorder.reset();
    mpris.reset();
    dm.reset();
    form.reset();
    QDBusConnection::disconnectFromBus(serviceName_);
    QDBusConnection::disconnectFromBus(clientName_);
    unsetenv("VARNEX_AUDIO_SINK");
  }

  // The window on the test's folder, its media module, and the player published on the bus.
  void Start() {
    form = MakeWindow({folder.Path()}, folder.Path());
    form->show();
    dm = std::make_unique<Tdm>(runtime, nullptr);
    form->AttachMediaModule(dm.get());
    static int connections = 0;
    ++connections;
    serviceName_ = QStringLiteral("service%1").arg(connections);
    clientName_ = QStringLiteral("client%1").arg(connections);
    mpris = MprisService::Publish(bus_->Connect(serviceName_), *form, *dm, tags);
    ASSERT_NE(mpris, nullptr);
    client = std::make_unique<QDBusConnection>(bus_->Connect(clientName_));
    recorder = std::make_unique<test::PropertiesRecorder>(*client, kPath);
  }

  QDBusMessage Call(const QString& interfaceName, const QString& method,
                    const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interfaceName, method);
    call.setArguments(arguments);
    const QDBusMessage reply = client->call(call, QDBus::BlockWithGui, 15000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
  }

  QVariant Get(const QString& interfaceName, const QString& property) {
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interfaceName, property});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }

  void Set(const QString& interfaceName, const QString& property, const QVariant& value) {
    Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
         {interfaceName, property, QVariant::fromValue(QDBusVariant(value))});
  }

  void Player(const char* method, const QVariantList& arguments = {}) {
    Call(kPlayer, QString::fromLatin1(method), arguments);
  }

  QString Status() { return Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
  QVariantMap Metadata() { return AsMap(Get(kPlayer, QStringLiteral("Metadata"))); }

  // Plays `name` from the test's folder through the bus and waits until it is announced.
  void PlayOverTheBus(const std::string& name) {
    form->FileListBox1->SelectByName(name);
    const qsizetype from = recorder->announced.size();
    Player("PlayPause");
    ASSERT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Playing"), from)) << name;
  }

  static test::PrivateBus* bus_;
  static std::string busError_;
  static TempFolder* tones_;
  ComRuntime runtime;
  GstMediaTagReader tags;
  std::unique_ptr<TMp3Form> form;
  std::unique_ptr<Tdm> dm;
  std::unique_ptr<MprisService> mpris;
  std::unique_ptr<QDBusConnection> client;
  std::unique_ptr<test::PropertiesRecorder> recorder;
  QString serviceName_;
  QString clientName_;
};

test::PrivateBus* MprisTest::bus_ = nullptr;
std::string MprisTest::busError_;
TempFolder* MprisTest::tones_ = nullptr;

TEST_F(MprisTest, BothInterfacesAreIntrospectedAndDescribeThePlayer) {
  Start();
  const QString xml =
      Call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
          .arguments()
          .value(0)
          .toString();
  for (const char* part :
       {"<interface name=\"org.mpris.MediaPlayer2\">",
        "<interface name=\"org.mpris.MediaPlayer2.Player\">", "<method name=\"Raise\"",
        "<method name=\"Quit\"", "<method name=\"PlayPause\"", "<method name=\"OpenUri\"",
        "<method name=\"SetPosition\"", "<signal name=\"Seeked\"",
        "<property name=\"Metadata\" type=\"a{sv}\" access=\"read\"",
        "<property name=\"Volume\" type=\"d\" access=\"readwrite\"",
        "<property name=\"Position\" type=\"x\" access=\"read\""}) {
    EXPECT_TRUE(xml.contains(QString::fromLatin1(part))) << part;
  }

  EXPECT_EQ(Get(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("Varnex"));
  const QString entry = Get(kRoot, QStringLiteral("DesktopEntry")).toString();
  EXPECT_TRUE(std::filesystem::exists(std::string(VARNEX_SOURCE_DIR) + "/data/" +
                                      entry.toStdString() + ".desktop"))
      << entry.toStdString();
  EXPECT_EQ(Get(kRoot, QStringLiteral("SupportedUriSchemes")).toStringList(),
            QStringList{QStringLiteral("file")});
  // Only what the list holds and plays: MP3, whose decoder these tests play through.
  EXPECT_EQ(Get(kRoot, QStringLiteral("SupportedMimeTypes")).toStringList(),
            QStringList{QStringLiteral("audio/mpeg")});
  for (const char* yes : {"CanQuit", "CanRaise"}) {
    EXPECT_TRUE(Get(kRoot, QString::fromLatin1(yes)).toBool()) << yes;
  }
  for (const char* no : {"CanSetFullscreen", "HasTrackList", "Fullscreen"}) {
    EXPECT_FALSE(Get(kRoot, QString::fromLatin1(no)).toBool()) << no;
  }
  EXPECT_TRUE(Get(kPlayer, QStringLiteral("CanControl")).toBool());
  for (const char* no : {"CanPause", "CanSeek", "CanGoNext", "CanGoPrevious"}) {
    EXPECT_FALSE(Get(kPlayer, QString::fromLatin1(no)).toBool()) << no;
  }
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Rate")).toDouble(), 1.0);
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));
  EXPECT_TRUE(Metadata().isEmpty());  // nothing has played yet
}

TEST_F(MprisTest, CanPlayFollowsTheSelectionOrAPlayingFileAndPlayWithoutOneDoesNothing) {
  Start();
  EXPECT_FALSE(Get(kPlayer, QStringLiteral("CanPlay")).toBool());
  Player("Play");
  Player("PlayPause");
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));
  EXPECT_NE(dm->fg.GetPlayState(), psRunning);

  form->FileListBox1->SelectByName("long.mp3");
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=true")));
  EXPECT_TRUE(Get(kPlayer, QStringLiteral("CanPlay")).toBool());
  form->FileListBox1->SelectByName("");
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=false")));

  // A list read anew has no selection.
  form->FileListBox1->SelectByName("short.mp3");
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=true"), 1));
  qsizetype from = recorder->announced.size();
  form->rg->SetItemIndex(1);
  form->rgClick();
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=false"), from));

  // A playing file keeps it true, so desktops still offer stop once the list read anew while it
  // plays has lost its selection; the end of playing is announced.
  form->rg->SetItemIndex(0);
  form->rgClick();
  PlayOverTheBus("long.mp3");
  from = recorder->announced.size();
  form->rg->SetItemIndex(1);
  form->rgClick();
  ASSERT_TRUE(form->FileListBox1->SelectedFilePath().empty());
  EXPECT_TRUE(Get(kPlayer, QStringLiteral("CanPlay")).toBool());
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  Player("Stop");
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from));
  EXPECT_EQ(dm->fg.GetPlayState(), psStopped);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=false"), from));
  EXPECT_FALSE(recorder->announced.mid(from).contains(QStringLiteral("CanPlay=true")));
  EXPECT_FALSE(Get(kPlayer, QStringLiteral("CanPlay")).toBool());
}

TEST_F(MprisTest, PlayPauseSoundsTheSelectedFileAndStopsIt) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  PlayOverTheBus("long.mp3");
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // the window's own graph plays it
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 12; }, 15000));

  const qsizetype from = recorder->announced.size();
  Player("PlayPause");
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from));
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));
  const std::size_t heard = Levels(wav).size();
  QTest::qWait(500);
  EXPECT_EQ(Levels(wav).size(), heard) << "sound went on after the stop";
  const std::vector<double> levels = Levels(wav);
  EXPECT_NEAR(levels.at(5), -9.0, 1.5);  // a sine at half scale, at full volume
}

TEST_F(MprisTest, StatusFollowsTheWindowsButtonsStopPauseAndTheEndOfAFile) {
  Start();
  form->FileListBox1->SelectByName("long.mp3");
  qsizetype from = recorder->announced.size();
  form->SpeedButton1->click();
  EXPECT_EQ(mpris->PlaybackStatus(), QStringLiteral("Playing"));  // asked before any graph event
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Playing"), from));
  const QVariant playing = Metadata().value(QStringLiteral("mpris:trackid"));

  // Requests this player has no use for change nothing.
  Player("Next");
  Player("Previous");
  Player("Seek", {QVariant::fromValue(qlonglong{1000000})});
  Player("SetPosition", {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a"))),
                         QVariant::fromValue(qlonglong{0})});
  Player("OpenUri", {QStringLiteral("file:///nothing.mp3")});
  Player("Play");  // already playing: goes on, not from the start
  EXPECT_EQ(Status(), QStringLiteral("Playing"));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);
  EXPECT_EQ(Metadata().value(QStringLiteral("mpris:trackid")), playing);

  from = recorder->announced.size();
  form->SpeedButton2->click();
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from));

  for (const char* stop : {"Stop", "Pause"}) {
    PlayOverTheBus("long.mp3");
    from = recorder->announced.size();
    Player(stop);
    EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from)) << stop;
    EXPECT_EQ(dm->fg.GetPlayState(), psStopped) << stop;
  }

  PlayOverTheBus("short.mp3");
  const QVariant first = AsMap(recorder->last.value(QStringLiteral("Metadata")))
                             .value(QStringLiteral("mpris:trackid"));
  from = recorder->announced.size();
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from));
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);  // played to its end, the graph still runs
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));

  // Play starts the file again, not only stopping the finished graph as the button would, and
  // says so at once.
  mpris->Play();
  EXPECT_EQ(mpris->PlaybackStatus(), QStringLiteral("Playing"));
  ASSERT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Playing"), from));
  const QVariant second = AsMap(recorder->last.value(QStringLiteral("Metadata")))
                              .value(QStringLiteral("mpris:trackid"));
  EXPECT_NE(first.value<QDBusObjectPath>().path(), second.value<QDBusObjectPath>().path());
}

TEST_F(MprisTest, AFailedPlayLeavesNoTrackBehind) {
  std::ofstream(folder / "noise.mp3", std::ios::binary) << std::string(50000, '\x5A');
  Start();
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(Metadata().contains(QStringLiteral("mpris:trackid")));
  const qsizetype from = recorder->announced.size();
  form->FileListBox1->SelectByName("noise.mp3");
  form->SpeedButton1->click();  // stops the good file
  form->SpeedButton1->click();  // and cannot play this one
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped"), from));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return AsMap(recorder->last.value(QStringLiteral("Metadata"))).isEmpty(); }, 5000))
      << "the failed play was not announced";
  EXPECT_TRUE(Metadata().isEmpty());
  EXPECT_EQ(Status(), QStringLiteral("Stopped"));

  PlayOverTheBus("short.mp3");  // a good file after it is described again
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("short"));
}

TEST_F(MprisTest, MetadataOfATaggedFile) {
  std::ofstream(folder / "tagged.mp3", std::ios::binary)
      << Id3Tag("\xC3\x89lan vital", "The Testers", "Sine Waves")
      << test::ReadFile(*tones_ / "two.mp3");
  Start();
  PlayOverTheBus("tagged.mp3");
  const QVariantMap metadata = Metadata();
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
            QString::fromUtf8("\xC3\x89lan vital"));
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:artist")).toStringList(),
            QStringList{QStringLiteral("The Testers")});
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Sine Waves"));
  EXPECT_NEAR(metadata.value(QStringLiteral("mpris:length")).toDouble(), 2e6, 1.5e5);
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(),
            QString::fromStdString("file://" + folder / "tagged.mp3"));
  const QString track =
      metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
  EXPECT_TRUE(track.startsWith(QStringLiteral("/org/example/Varnex/"))) << track.toStdString();
  // The announcement carried the same description.
  EXPECT_EQ(AsMap(recorder->last.value(QStringLiteral("Metadata"))), metadata);
}

TEST_F(MprisTest, MetadataOfANameThatIsNotUtf8KeepsItsBytesInTheUri) {
  const std::string name = "caf\xE9 #1%.mp3";
  std::filesystem::copy_file(*tones_ / "short.mp3", folder / name);
  Start();
  PlayOverTheBus(name);
  const QVariantMap metadata = Metadata();
  const QString url = metadata.value(QStringLiteral("xesam:url")).toString();
  EXPECT_TRUE(url.endsWith(QStringLiteral("/caf%E9%20%231%25.mp3"))) << url.toStdString();
  EXPECT_EQ(QByteArray::fromPercentEncoding(url.toLatin1()).toStdString(),
            "file://" + folder / name);
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
            QString::fromUtf8("caf\xEF\xBF\xBD #1%"));
  EXPECT_FALSE(metadata.contains(QStringLiteral("xesam:artist")));
  EXPECT_FALSE(metadata.contains(QStringLiteral("xesam:album")));
}

TEST_F(MprisTest, VolumeOverTheBusMovesTheSliderAndTheLevel) {
  const std::string wav = folder / "captured.wav";
  setenv("VARNEX_AUDIO_SINK", SyncedCapture(wav).c_str(), 1);
  Start();
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Volume")).toDouble(), 1.0);
  PlayOverTheBus("long.mp3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= 10; }, 15000));
  Set(kPlayer, QStringLiteral("Volume"), 0.5);
  EXPECT_EQ(form->TrackBar1->value(), 5000);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("Volume=0.5")));
  const std::size_t changedAt = Levels(wav).size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Levels(wav).size() >= changedAt + 10; }, 15000));
  Player("Stop");
  const std::vector<double> levels = Levels(wav);
  EXPECT_NEAR(levels.at(5), -9.0, 1.5);
  EXPECT_NEAR(levels.at(changedAt + 8) - levels.at(5), -50.0, 1.5);  // 5000 is 50 dB down

  // The slider moved in the window is announced too, and values beyond the range are held to it.
  form->TrackBar1->setValue(2500);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("Volume=0.25")));
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Volume")).toDouble(), 0.25);
  Set(kPlayer, QStringLiteral("Volume"), 1.7);
  EXPECT_EQ(form->TrackBar1->value(), 10000);
  Set(kPlayer, QStringLiteral("Volume"), -0.2);
  EXPECT_EQ(form->TrackBar1->value(), 0);
  Set(kPlayer, QStringLiteral("Volume"), 0.123456);
  EXPECT_EQ(form->TrackBar1->value(), 1235);
}

TEST_F(MprisTest, QuitClosesTheWindowAndStoresTheSettings) {
  Start();
  settings.keys.clear();
  Call(kRoot, QStringLiteral("Quit"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
  const auto& stored = settings.keys["Software\\Varnex"];
  EXPECT_EQ(stored.count("Dossier"), 1u);
  EXPECT_EQ(stored.count("Top"), 1u);
  EXPECT_EQ(stored.count("Left"), 1u);
}

TEST_F(MprisTest, QuitWhileADialogIsOpenClosesItAndTheWindow) {
  Start();
  settings.keys.clear();
  QDialog open(form.get());
  bool leftOpen = false;
  QTimer::singleShot(5000, &open, [&] {
    leftOpen = true;
    open.reject();
  });
  QTimer::singleShot(0, &open, [&] {
    client->asyncCall(QDBusMessage::createMethodCall(kName, kPath, kRoot, QStringLiteral("Quit")));
  });
  open.exec();
  EXPECT_FALSE(leftOpen) << "the dialog outlived Quit, and the program with it";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
  EXPECT_EQ(settings.keys["Software\\Varnex"].count("Dossier"), 1u);
}

TEST_F(MprisTest, RaiseBringsBackAMinimisedWindow) {
  Start();
  form->showMinimized();
  Call(kRoot, QStringLiteral("Raise"));
  EXPECT_FALSE(form->isMinimized());
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MprisTest, WithoutABusNothingIsPublishedAndThePlayerIsUntouched) {
  form = std::make_unique<TMp3Form>(fs, settings, folderDialog, links, folder.Path(),
                                    std::vector<std::string>{folder.Path()});
  dm = std::make_unique<Tdm>(runtime, nullptr);
  form->AttachMediaModule(dm.get());
  // The window's own handlers, which a published player would replace.
  int activated = 0;
  int events = 0;
  dm->fg.OnActivate = [&](TFilterGraph*) { ++activated; };
  dm->fg.OnDSEvent = [&](TFilterGraph*, std::int32_t, LONG_PTR, LONG_PTR) { ++events; };
  const QDBusConnection none = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
  EXPECT_EQ(MprisService::Publish(none, *form, *dm, tags), nullptr);
  QDBusConnection::disconnectFromBus(QStringLiteral("none"));
  ASSERT_TRUE(dm->fg.OnActivate);
  ASSERT_TRUE(dm->fg.OnDSEvent);
  dm->fg.OnActivate(&dm->fg);
  dm->fg.OnDSEvent(&dm->fg, EC_COMPLETE, 0, 0);
  EXPECT_EQ(activated, 1);
  EXPECT_EQ(events, 1);
}

TEST_F(MprisTest, WhenBothNamesAreTakenNothingStaysPublished) {
  Start();
  const QDBusConnection holder = bus_->Connect(QStringLiteral("holder"));
  const QString instance =
      kName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
  ASSERT_TRUE(holder.interface()->registerService(instance).isValid());
  TMp3Form otherForm(fs, settings, folderDialog, links, folder.Path(), {});
  Tdm otherDm(runtime, nullptr);
  QDBusConnection other = bus_->Connect(QStringLiteral("other"));
  EXPECT_EQ(MprisService::Publish(other, otherForm, otherDm, tags), nullptr);
  QObject stand_in;
  EXPECT_TRUE(other.registerObject(kPath, &stand_in));  // the path was given back
  EXPECT_FALSE(otherDm.fg.OnActivate);
  other.unregisterObject(kPath);
  QDBusConnection::disconnectFromBus(QStringLiteral("other"));
  QDBusConnection::disconnectFromBus(QStringLiteral("holder"));
}

TEST_F(MprisTest, GoneFromTheBusTheWindowPlaysOnItsOwn) {
  Start();
  mpris.reset();
  EXPECT_FALSE(dm->fg.OnActivate);
  EXPECT_FALSE(dm->fg.OnDSEvent);
  form->FileListBox1->SelectByName("long.mp3");
  form->SpeedButton1->click();
  EXPECT_EQ(dm->fg.GetPlayState(), psRunning);
  form->SpeedButton2->click();
  EXPECT_EQ(dm->fg.GetPlayState(), psStopped);
}

TEST_F(MprisTest, ASecondPlayerTakesANameOfItsOwn) {
  Start();
  const QDBusConnection other = bus_->Connect(QStringLiteral("other"));
  TMp3Form otherForm(fs, settings, folderDialog, links, folder.Path(), {});
  Tdm otherDm(runtime, nullptr);
  {
    const auto second = MprisService::Publish(other, otherForm, otherDm, tags);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(mpris->ServiceName(), kName);
    EXPECT_EQ(second->ServiceName(),
              kName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

TEST(TrackMetadata, TitleIsTheNameWithoutFolderAndLastExtension) {
  EXPECT_EQ(TitleFromFileName("/m/a.b.mp3"), QStringLiteral("a.b"));
  EXPECT_EQ(TitleFromFileName("/m/song"), QStringLiteral("song"));
  EXPECT_EQ(TitleFromFileName("/m/.mp3"), QStringLiteral(".mp3"));
  EXPECT_EQ(FileUri("/a b/~x_y-z.1/\x7F\xFF"), "file:///a%20b/~x_y-z.1/%7F%FF");
}

}  // namespace
}  // namespace varnex
