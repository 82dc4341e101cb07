// The desktop's media controls on a private session bus, in front of a player whose state the
// test sets, and a tag reader whose answers it gives.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "desktop/MprisService.h"
#include "desktop/TrackMetadata.h"
#include "tests/support/PrivateBus.h"

namespace varnex {
namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.varnex");

// Reaches the state asked for at once, as a player with nothing to load would.
class FakePlayer final : public Player {
 public:
  std::vector<std::string> requests;
  bool playing = false;
  bool canPlay = false;
  std::string file;
  std::int64_t position = 0;
  double volume = 1.0;
  int stateReads = 0;
  std::chrono::milliseconds loading{0};  // how long a play or a stop keeps the thread

  void Play() override {
    requests.push_back("Play");
    std::this_thread::sleep_for(loading);
    if (canPlay) {
      Set(playing, true);
    }
  }
  void Stop() override {
    requests.push_back("Stop");
    std::this_thread::sleep_for(loading);
    Set(playing, false);
  }
  bool IsPlaying() override {
    ++stateReads;
    return playing;
  }
  std::string CurrentFile() override { return file; }
  std::int64_t Position() override { return position; }
  bool CanPlay() override { return canPlay; }
  double Volume() override { return volume; }
  void SetVolume(double value) override {
    requests.push_back("SetVolume " + std::to_string(value));
  }
  void Raise() override { requests.push_back("Raise"); }
  void Quit() override { requests.push_back("Quit"); }

  // Changes a part of the state and tells so, as the window's player does.
  template <typename T>
  void Set(T& part, T value) {
    part = value;
    Q_EMIT Notifier().StateChanged();
  }
};

class FakeTagReader final : public MediaTagReader {
 public:
  std::vector<std::pair<std::string, Done>> reads;
  void Read(const std::string& path, Done done) override {
    reads.emplace_back(path, std::move(done));
  }
};

QVariantMap AsMap(const QVariant& value) {
  return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                                           : value.toMap();
}

class MprisServiceTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      bus_ = new test::PrivateBus;
    } catch (const std::exception& error) {
      busError_ = error.what();
    }
  }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }

  void SetUp() override {
    if (bus_ == nullptr) {
      GTEST_SKIP() << "no private session bus: " << busError_;
    }
    static int connections = 0;
    ++connections;
    serviceName_ = QStringLiteral("service%1").arg(connections);
    service = MprisService::Publish(bus_->Connect(serviceName_), player, tags, {"audio/mpeg"});
    ASSERT_NE(service, nullptr);
    client = std::make_unique<QDBusConnection>(bus_->Connect(QStringLiteral("client")));
    recorder = std::make_unique<test::PropertiesRecorder>(*client, kPath);
  }

  void TearDown() override {
    recorder.reset();
    service.reset();
    QDBusConnection::disconnectFromBus(serviceName_);
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
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

  // Calls a player method, then lets the service carry out what it was asked.
  void Player(const char* method, const QVariantList& arguments = {}) {
    Call(kPlayer, QString::fromLatin1(method), arguments);
    QCoreApplication::processEvents();
  }

  std::vector<std::string> TakeRequests() { return std::exchange(player.requests, {}); }

  static test::PrivateBus* bus_;
  static std::string busError_;
  FakePlayer player;
  FakeTagReader tags;
  std::unique_ptr<MprisService> service;
  std::unique_ptr<QDBusConnection> client;
  std::unique_ptr<test::PropertiesRecorder> recorder;
  QString serviceName_;
};

test::PrivateBus* MprisServiceTest::bus_ = nullptr;
std::string MprisServiceTest::busError_;

using Requests = std::vector<std::string>;

TEST_F(MprisServiceTest, BothInterfacesAreIntrospectedAndDescribeThePlayer) {
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
  EXPECT_EQ(Get(kRoot, QStringLiteral("SupportedMimeTypes")).toStringList(),
            QStringList{QStringLiteral("audio/mpeg")});
  for (const char* yes : {"CanQuit", "CanRaise"}) {
    EXPECT_TRUE(Get(kRoot, QString::fromLatin1(yes)).toBool()) << yes;
  }
  for (const char* no : {"CanSetFullscreen", "HasTrackList", "Fullscreen"}) {
    EXPECT_FALSE(Get(kRoot, QString::fromLatin1(no)).toBool()) << no;
  }
  EXPECT_TRUE(Get(kPlayer, QStringLiteral("CanControl")).toBool());
  for (const char* no : {"CanPause", "CanSeek", "CanGoNext", "CanGoPrevious", "CanPlay"}) {
    EXPECT_FALSE(Get(kPlayer, QString::fromLatin1(no)).toBool()) << no;
  }
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Rate")).toDouble(), 1.0);
  EXPECT_EQ(Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
  EXPECT_TRUE(AsMap(Get(kPlayer, QStringLiteral("Metadata"))).isEmpty());  // nothing played yet
}

TEST_F(MprisServiceTest, RequestsGoToThePlayerAndThoseItHasNoUseForChangeNothing) {
  player.canPlay = true;
  player.position = 1234567;
  // A pause stops, as the window's stop button does.
  const std::pair<const char*, Requests> cases[] = {
      {"Play", {"Play"}}, {"Pause", {"Stop"}}, {"PlayPause", {"Play"}}, {"PlayPause", {"Stop"}},
      {"Stop", {"Stop"}}, {"Next", {}},        {"Previous", {}},
  };
  for (const auto& [method, expected] : cases) {
    Player(method);
    EXPECT_EQ(TakeRequests(), expected) << method;
  }
  Player("Seek", {QVariant::fromValue(qlonglong{1000000})});
  Player("SetPosition", {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a"))),
                         QVariant::fromValue(qlonglong{0})});
  Player("OpenUri", {QStringLiteral("file:///nothing.mp3")});
  EXPECT_TRUE(TakeRequests().empty());

  EXPECT_EQ(Get(kPlayer, QStringLiteral("Position")).toLongLong(), 1234567);
  Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
       {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5))});
  Call(kRoot, QStringLiteral("Raise"));
  Call(kRoot, QStringLiteral("Quit"));
  EXPECT_EQ(TakeRequests(), (Requests{"SetVolume 0.500000", "Raise", "Quit"}));
}

TEST_F(MprisServiceTest, WhatThePlayerTellsIsAnnounced) {
  player.Set(player.canPlay, true);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=true")));
  player.Set(player.volume, 0.25);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("Volume=0.25")));
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Volume")).toDouble(), 0.25);
  player.file = "/m/tone.mp3";
  player.Set(player.playing, true);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Playing")));
  player.Set(player.canPlay, false);
  player.Set(player.playing, false);
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("PlaybackStatus=Stopped")));
  EXPECT_TRUE(recorder->WaitFor(QStringLiteral("CanPlay=false")));
  EXPECT_FALSE(Get(kPlayer, QStringLiteral("CanPlay")).toBool());
}

// Every start of playing is a track of its own, described at once by its name and again with
// its tags once they are read; an answer for a track that is over changes nothing.
TEST_F(MprisServiceTest, EveryStartIsATrackDescribedAtOnceAndAgainWithItsTags) {
  player.file = "/m/two.mp3";
  player.Set(player.playing, true);
  const QVariantMap first = AsMap(Get(kPlayer, QStringLiteral("Metadata")));
  EXPECT_EQ(first.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("two"));
  EXPECT_EQ(first.value(QStringLiteral("xesam:url")).toString(),
            QStringLiteral("file:///m/two.mp3"));
  const QString track =
      first.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
  EXPECT_TRUE(track.startsWith(QStringLiteral("/org/example/Varnex/"))) << track.toStdString();
  ASSERT_EQ(tags.reads.size(), 1u);
  EXPECT_EQ(tags.reads[0].first, "/m/two.mp3");

  tags.reads[0].second({"\xC3\x89lan vital", "The Testers", "Sine Waves", 2000000});
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return AsMap(recorder->last.value(QStringLiteral("Metadata")))
               .value(QStringLiteral("xesam:album")) == QStringLiteral("Sine Waves");
  }));
  const QVariantMap tagged = AsMap(Get(kPlayer, QStringLiteral("Metadata")));
  EXPECT_EQ(AsMap(recorder->last.value(QStringLiteral("Metadata"))), tagged);
  EXPECT_EQ(tagged.value(QStringLiteral("xesam:title")).toString(),
            QString::fromUtf8("\xC3\x89lan vital"));
  EXPECT_EQ(tagged.value(QStringLiteral("xesam:artist")).toStringList(),
            QStringList{QStringLiteral("The Testers")});
  EXPECT_EQ(tagged.value(QStringLiteral("mpris:length")).toLongLong(), 2000000);
  EXPECT_EQ(tagged.value(QStringLiteral("mpris:trackid")),
            first.value(QStringLiteral("mpris:trackid")));

  player.Set(player.playing, false);
  player.Set(player.playing, true);
  const QVariantMap again = AsMap(Get(kPlayer, QStringLiteral("Metadata")));
  EXPECT_NE(again.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(), track);
  tags.reads[0].second({"Stale", "", "", std::nullopt});
  EXPECT_EQ(AsMap(Get(kPlayer, QStringLiteral("Metadata"))), again);
}

TEST_F(MprisServiceTest, AFailedPlayLeavesNoTrackBehind) {
  player.file = "/m/tone.mp3";
  player.Set(player.playing, true);
  ASSERT_FALSE(AsMap(Get(kPlayer, QStringLiteral("Metadata"))).isEmpty());
  player.Set(player.playing, false);
  EXPECT_FALSE(AsMap(Get(kPlayer, QStringLiteral("Metadata"))).isEmpty());  // stopped, not gone
  player.Set(player.file, std::string());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return AsMap(recorder->last.value(QStringLiteral("Metadata"))).isEmpty(); }));
  EXPECT_TRUE(AsMap(Get(kPlayer, QStringLiteral("Metadata"))).isEmpty());
}

// A flood of calls sent without waiting for their answers is taken in as it comes; the player
// only ever does the last thing asked, and PlayPause turns over what the calls before it asked.
TEST_F(MprisServiceTest, AFloodOfRequestsEndsInTheLastStateAskedForAtAFractionOfTheCost) {
  player.canPlay = true;
  player.loading = std::chrono::milliseconds(5);  // as building a graph takes its time
  constexpr int kCalls = 2000;
  for (int call = 0; call < kCalls; ++call) {
    const char* method = call % 3 == 0 ? "Stop" : "PlayPause";
    client->send(
        QDBusMessage::createMethodCall(kName, kPath, kPlayer, QString::fromLatin1(method)));
  }
  Call(kPlayer, QStringLiteral("Play"));
  Call(kPlayer, QStringLiteral("PlayPause"));
  Call(kPlayer, QStringLiteral("PlayPause"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return player.playing && !player.requests.empty(); }));
  QTest::qWait(50);
  EXPECT_TRUE(player.playing);
  EXPECT_LT(player.requests.size(), kCalls / 20u) << "the calls were not taken together";
  EXPECT_EQ(player.requests.back(), "Play");
}

TEST_F(MprisServiceTest, ASecondPlayerTakesANameOfItsOwnAndWithBothTakenNothingStays) {
  const QString instance =
      kName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
  FakePlayer otherPlayer;
  QDBusConnection other = bus_->Connect(QStringLiteral("other"));
  {
    const auto second = MprisService::Publish(other, otherPlayer, tags, {});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(service->ServiceName(), kName);
    EXPECT_EQ(second->ServiceName(), instance);
  }
  const QDBusConnection holder = bus_->Connect(QStringLiteral("holder"));
  ASSERT_TRUE(holder.interface()->registerService(instance).isValid());
  EXPECT_EQ(MprisService::Publish(other, otherPlayer, tags, {}), nullptr);
  QObject standIn;
  EXPECT_TRUE(other.registerObject(kPath, &standIn));  // the path was given back
  other.unregisterObject(kPath);
  const int reads = otherPlayer.stateReads;
  Q_EMIT otherPlayer.Notifier().StateChanged();
  EXPECT_EQ(otherPlayer.stateReads, reads) << "a player not published is still listened to";

  const QDBusConnection none = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
  EXPECT_EQ(MprisService::Publish(none, otherPlayer, tags, {}), nullptr);
  for (const char* name : {"other", "holder", "none"}) {
    QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
  }
}

TEST(TrackMetadata, TitleIsTheNameWithoutFolderAndLastExtensionAndTheUriKeepsEveryByte) {
  EXPECT_EQ(TitleFromFileName("/m/a.b.mp3"), QStringLiteral("a.b"));
  EXPECT_EQ(TitleFromFileName("/m/song"), QStringLiteral("song"));
  EXPECT_EQ(TitleFromFileName("/m/.mp3"), QStringLiteral(".mp3"));
  EXPECT_EQ(TitleFromFileName("/m/caf\xE9 #1%.mp3"), QString::fromUtf8("caf\xEF\xBF\xBD #1%"));
  EXPECT_EQ(FileUri("/a b/~x_y-z.1/\x7F\xFF"), "file:///a%20b/~x_y-z.1/%7F%FF");
  const QVariantMap untagged = TrackMetadata("/m/caf\xE9.mp3", {}, 7);
  EXPECT_FALSE(untagged.contains(QStringLiteral("xesam:artist")));
  EXPECT_FALSE(untagged.contains(QStringLiteral("xesam:album")));
  EXPECT_FALSE(untagged.contains(QStringLiteral("mpris:length")));
  EXPECT_EQ(untagged.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
            QStringLiteral("/org/example/Varnex/Track/7"));
}

}  // namespace
}  // namespace varnex
