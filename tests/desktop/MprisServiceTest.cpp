// The desktop's media controls on a private session bus, in front of a player whose state the
// test sets, and a tag reader whose answers it gives.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "desktop/MprisService.h"
#include "desktop/TrackMetadata.h"
#include "tests/desktop/MprisBusTest.h"

namespace varnex {
namespace {

using namespace Qt::StringLiterals;
using test::AsMap;
using test::TrackId;

const QString& kRoot = test::kMprisRoot;
const QString& kPlayer = test::kMprisPlayer;
const QString& kPath = test::kMprisPath;
const QString& kName = test::kMprisName;

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

class MprisServiceTest : public test::MprisBusTest<testing::Test> {
 protected:
  void SetUp() override {
    MprisBusTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    static int connections = 0;
    serviceName_ = u"service%1"_s.arg(++connections);
    service = MprisService::Publish(bus_->Connect(serviceName_), player, tags, {"audio/mpeg"});
    ASSERT_NE(service, nullptr);
    ConnectClient();
  }

  void TearDown() override {
    service.reset();
    QDBusConnection::disconnectFromBus(serviceName_);
    MprisBusTest::TearDown();
  }

  // Calls a player method, then lets the service carry out what it was asked.
  void Player(const char* method, const QVariantList& arguments = {}) {
    Call(kPlayer, QString::fromLatin1(method), arguments);
    QCoreApplication::processEvents();
  }

  std::vector<std::string> TakeRequests() { return std::exchange(player.requests, {}); }

  FakePlayer player;
  FakeTagReader tags;
  std::unique_ptr<MprisService> service;
  QString serviceName_;
};

using Requests = std::vector<std::string>;

TEST_F(MprisServiceTest, BothInterfacesAreIntrospectedAndDescribeThePlayer) {
  const QString xml = Call(u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s)
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

  const QString entry = Get(kRoot, u"DesktopEntry"_s).toString();
  EXPECT_TRUE(std::filesystem::exists(std::string(VARNEX_SOURCE_DIR) + "/data/" +
                                      entry.toStdString() + ".desktop"))
      << entry.toStdString();
  const std::tuple<QString, const char*, QVariant> properties[] = {
      {kRoot, "Identity", u"Varnex"_s},
      {kRoot, "SupportedUriSchemes", QStringList{u"file"_s}},
      {kRoot, "SupportedMimeTypes", QStringList{u"audio/mpeg"_s}},
      {kRoot, "CanQuit", true},
      {kRoot, "CanRaise", true},
      {kRoot, "CanSetFullscreen", false},
      {kRoot, "HasTrackList", false},
      {kRoot, "Fullscreen", false},
      {kPlayer, "CanControl", true},
      {kPlayer, "CanPause", false},
      {kPlayer, "CanSeek", false},
      {kPlayer, "CanGoNext", false},
      {kPlayer, "CanGoPrevious", false},
      {kPlayer, "CanPlay", false},
      {kPlayer, "Rate", 1.0},
      {kPlayer, "PlaybackStatus", u"Stopped"_s}};
  for (const auto& [interfaceName, property, expected] : properties) {
    EXPECT_EQ(Get(interfaceName, QString::fromLatin1(property)), expected) << property;
  }
  EXPECT_TRUE(Metadata().isEmpty());  // nothing played yet
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
  Player("SetPosition",
         {QVariant::fromValue(QDBusObjectPath(u"/a"_s)), QVariant::fromValue(qlonglong{0})});
  Player("OpenUri", {u"file:///nothing.mp3"_s});
  EXPECT_TRUE(TakeRequests().empty());

  EXPECT_EQ(Get("Position").toLongLong(), 1234567);
  SetVolume(0.5);
  Call(kRoot, u"Raise"_s);
  Call(kRoot, u"Quit"_s);
  EXPECT_EQ(TakeRequests(), (Requests{"SetVolume 0.500000", "Raise", "Quit"}));
}

TEST_F(MprisServiceTest, WhatThePlayerTellsIsAnnounced) {
  player.Set(player.canPlay, true);
  EXPECT_TRUE(Announced("CanPlay=true"));
  player.Set(player.volume, 0.25);
  EXPECT_TRUE(Announced("Volume=0.25"));
  EXPECT_EQ(Get("Volume").toDouble(), 0.25);
  player.file = "/m/tone.mp3";
  player.Set(player.playing, true);
  EXPECT_TRUE(Announced("PlaybackStatus=Playing"));
  player.Set(player.canPlay, false);
  player.Set(player.playing, false);
  EXPECT_TRUE(Announced("PlaybackStatus=Stopped"));
  EXPECT_TRUE(Announced("CanPlay=false"));
  EXPECT_FALSE(Get("CanPlay").toBool());
}

// Every start of playing is a track of its own, described at once by its name and again with
// its tags once they are read; an answer for a track that is over changes nothing.
TEST_F(MprisServiceTest, EveryStartIsATrackDescribedAtOnceAndAgainWithItsTags) {
  player.file = "/m/two.mp3";
  player.Set(player.playing, true);
  const QVariantMap first = Metadata();
  EXPECT_EQ(first.value(u"xesam:title"_s).toString(), u"two"_s);
  EXPECT_EQ(first.value(u"xesam:url"_s).toString(), u"file:///m/two.mp3"_s);
  const QString track = TrackId(first);
  EXPECT_TRUE(track.startsWith(u"/org/example/Varnex/"_s)) << track.toStdString();
  ASSERT_EQ(tags.reads.size(), 1u);
  EXPECT_EQ(tags.reads[0].first, "/m/two.mp3");

  tags.reads[0].second({"\xC3\x89lan vital", "The Testers", "Sine Waves", 2000000});
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return AnnouncedMetadata().value(u"xesam:album"_s) == u"Sine Waves"_s; }));
  const QVariantMap tagged = Metadata();
  EXPECT_EQ(AnnouncedMetadata(), tagged);
  EXPECT_EQ(tagged.value(u"xesam:title"_s).toString(), QString::fromUtf8("\xC3\x89lan vital"));
  EXPECT_EQ(tagged.value(u"xesam:artist"_s).toStringList(), QStringList{u"The Testers"_s});
  EXPECT_EQ(tagged.value(u"mpris:length"_s).toLongLong(), 2000000);
  EXPECT_EQ(tagged.value(u"mpris:trackid"_s), first.value(u"mpris:trackid"_s));

  player.Set(player.playing, false);
  player.Set(player.playing, true);
  const QVariantMap again = Metadata();
  EXPECT_NE(TrackId(again), track);
  tags.reads[0].second({"Stale", "", "", std::nullopt});
  EXPECT_EQ(Metadata(), again);
}

TEST_F(MprisServiceTest, AFailedPlayLeavesNoTrackBehind) {
  player.file = "/m/tone.mp3";
  player.Set(player.playing, true);
  ASSERT_FALSE(Metadata().isEmpty());
  player.Set(player.playing, false);
  EXPECT_FALSE(Metadata().isEmpty());  // stopped, not gone
  player.Set(player.file, std::string());
  EXPECT_TRUE(QTest::qWaitFor([&] { return AnnouncedMetadata().isEmpty(); }));
  EXPECT_TRUE(Metadata().isEmpty());
}

// A flood of calls sent without waiting for their answers is taken in as it comes; the player
// only ever does the last thing asked, and PlayPause turns over what the calls before it asked.
TEST_F(MprisServiceTest, AFloodOfRequestsEndsInTheLastStateAskedForAtAFractionOfTheCost) {
  player.canPlay = true;
  player.loading = std::chrono::milliseconds(5);  // as building a graph takes its time
  constexpr int kCalls = 2000;
  for (int call = 0; call < kCalls; ++call) {
    const char* method = call % 3 == 0 ? "Stop" : "PlayPause";
    Send(QString::fromLatin1(method));
  }
  for (const char* method : {"Play", "PlayPause", "PlayPause"}) {
    Call(kPlayer, QString::fromLatin1(method));
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return player.playing && !player.requests.empty(); }));
  QTest::qWait(50);
  EXPECT_TRUE(player.playing);
  EXPECT_LT(player.requests.size(), kCalls / 20u) << "the calls were not taken together";
  EXPECT_EQ(player.requests.back(), "Play");
}

TEST_F(MprisServiceTest, ASecondPlayerTakesANameOfItsOwnAndWithBothTakenNothingStays) {
  const QString instance = kName + u".instance%1"_s.arg(QCoreApplication::applicationPid());
  FakePlayer otherPlayer;
  QDBusConnection other = bus_->Connect(u"other"_s);
  {
    const auto second = MprisService::Publish(other, otherPlayer, tags, {});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(service->ServiceName(), kName);
    EXPECT_EQ(second->ServiceName(), instance);
  }
  const QDBusConnection holder = bus_->Connect(u"holder"_s);
  ASSERT_TRUE(holder.interface()->registerService(instance).isValid());
  EXPECT_EQ(MprisService::Publish(other, otherPlayer, tags, {}), nullptr);
  QObject standIn;
  EXPECT_TRUE(other.registerObject(kPath, &standIn));  // the path was given back
  other.unregisterObject(kPath);
  const int reads = otherPlayer.stateReads;
  Q_EMIT otherPlayer.Notifier().StateChanged();
  EXPECT_EQ(otherPlayer.stateReads, reads) << "a player not published is still listened to";

  const QDBusConnection none =
      QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"none"_s);
  EXPECT_EQ(MprisService::Publish(none, otherPlayer, tags, {}), nullptr);
  for (const char* name : {"other", "holder", "none"}) {
    QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
  }
}

TEST(TrackMetadata, TitleIsTheNameWithoutFolderAndLastExtensionAndTheUriKeepsEveryByte) {
  const std::pair<const char*, QString> titles[] = {
      {"/m/a.b.mp3", u"a.b"_s},
      {"/m/song", u"song"_s},
      {"/m/.mp3", u".mp3"_s},
      {"/m/caf\xE9 #1%.mp3", QString::fromUtf8("caf\xEF\xBF\xBD #1%")}};
  for (const auto& [path, title] : titles) {
    EXPECT_EQ(TitleFromFileName(path), title) << path;
  }
  EXPECT_EQ(FileUri("/a b/~x_y-z.1/\x7F\xFF"), "file:///a%20b/~x_y-z.1/%7F%FF");
  const QVariantMap untagged = TrackMetadata("/m/caf\xE9.mp3", {}, 7);
  for (const char* absent : {"xesam:artist", "xesam:album", "mpris:length"}) {
    EXPECT_FALSE(untagged.contains(QString::fromLatin1(absent))) << absent;
  }
  EXPECT_EQ(TrackId(untagged), u"/org/example/Varnex/Track/7"_s);
}

}  // namespace
}  // namespace varnex
