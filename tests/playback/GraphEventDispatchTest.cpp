#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <sstream>

#include "platform/media/LocaleNames.h"
#include "playback/TFilterGraph.h"
#include "tests/support/ScriptedGraph.h"

namespace varnex {
namespace {

using Log = std::vector<std::string>;

template <typename... Values>
std::string Line(const std::string& name, Values... values) {
  std::ostringstream line;
  line << name;
  ((line << ' ' << values), ...);
  return line.str();
}

// An event's argument as the log shows it: numbers as they are, a filter by its address, texts as
// ASCII, time codes by their fields.
template <typename T>
T Shown(T value) {
  return value;
}
LONG_PTR Shown(IBaseFilter* filter) {
  return reinterpret_cast<LONG_PTR>(filter);
}
std::string Shown(const std::u16string& text) {
  return std::string(text.begin(), text.end());
}
std::string Shown(tagDVD_HMSF_TIMECODE t) {
  return Line(std::to_string(t.bHours), int(t.bMinutes), int(t.bSeconds), int(t.bFrames));
}
std::string Shown(const tagDVD_TIMECODE& c) {
  return Line(std::to_string(c.Hours1), int(c.FrameRateCode));
}

class GraphEventDispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    script.Register(runtime);
    graph.SetActive(true);
    script.log.clear();
    // Every event writes its name and arguments to the script's log.
    const auto record = [&log = script.log](const char* name) {
      return [&log, name](TFilterGraph*, auto... arguments) {
        log.push_back(Line(name, Shown(arguments)...));
      };
    };
    graph.OnDSEvent = record("OnDSEvent");
    graph.OnGraphUserAbort = record("OnGraphUserAbort");
    graph.OnGraphClockChanged = record("OnGraphClockChanged");
    graph.OnDVDDiscInserted = record("OnDVDDiscInserted");
    graph.OnDVDDomainVideoTitleSetMenu = record("OnDVDDomainVideoTitleSetMenu");
    graph.OnDVDDomainFirstPlay = record("OnDVDDomainFirstPlay");
    graph.OnDVDDomainStop = record("OnDVDDomainStop");
    graph.OnDVDErrorIncompatibleDiscAndDecoderRegions =
        record("OnDVDErrorIncompatibleDiscAndDecoderRegions");
    graph.OnDVDWarningRead = record("OnDVDWarningRead");
    graph.OnGraphErrorAbort = record("OnGraphErrorAbort");
    graph.OnDVDChapterStart = record("OnDVDChapterStart");
    graph.OnGraphFullscreenLost = record("OnGraphFullscreenLost");
    graph.OnGraphComplete = record("OnGraphComplete");
    graph.OnDVDButtonChange = record("OnDVDButtonChange");
    graph.OnGraphVideoSizeChanged = record("OnGraphVideoSizeChanged");
    graph.OnGraphOpeningFile = record("OnGraphOpeningFile");
    graph.OnDVDKaraokeMode = record("OnDVDKaraokeMode");
    graph.OnDVDPlaybackRateChange = record("OnDVDPlaybackRateChange");
    graph.OnDVDCurrentTime = record("OnDVDCurrentTime");
    graph.OnDVDStillOn = record("OnDVDStillOn");
    graph.OnGraphEndOfSegment = record("OnGraphEndOfSegment");
    graph.OnGraphOleEvent = record("OnGraphOleEvent");
    graph.OnDVDCurrentHMSFTime = record("OnDVDCurrentHMSFTime");
    graph.OnDVDAudioStreamChange = record("OnDVDAudioStreamChange");
  }

  Log Dispatched(std::int32_t code, LONG_PTR param1, LONG_PTR param2) {
    script.log.clear();
    graph.DispatchGraphEvent(code, param1, param2);
    return script.log;
  }

  ComRuntime runtime;
  test::GraphScript script;
  TFilterGraph graph{runtime};
};

TEST_F(GraphEventDispatchTest, EveryFamilyReachesItsEventWithConvertedArguments) {
  const std::int64_t streamTime = 123456789012;
  const char16_t first[] = u"one";
  const char16_t second[] = u"two";
  const std::uint32_t hmsf = 0x04030201;  // hours, minutes, seconds, frames in memory order
  struct Case {
    std::int32_t code;
    LONG_PTR param1;
    LONG_PTR param2;
    std::string named;  // the second line, after OnDSEvent; empty when there is none
  } cases[] = {
      {EC_USERABORT, 0, 0, "OnGraphUserAbort"},
      {EC_CLOCK_CHANGED, 0, 0, "OnGraphClockChanged"},
      {EC_DVD_DISC_INSERTED, 0, 0, "OnDVDDiscInserted"},
      {EC_DVD_DOMAIN_CHANGE, 1, 0, "OnDVDDomainFirstPlay"},
      {EC_DVD_DOMAIN_CHANGE, 3, 0, "OnDVDDomainVideoTitleSetMenu"},
      {EC_DVD_DOMAIN_CHANGE, 5, 0, "OnDVDDomainStop"},
      {EC_DVD_DOMAIN_CHANGE, 0, 0, ""},
      {EC_DVD_DOMAIN_CHANGE, 6, 0, ""},
      {EC_DVD_ERROR, 8, 0, "OnDVDErrorIncompatibleDiscAndDecoderRegions"},
      {EC_DVD_WARNING, 6, 0, "OnDVDWarningRead"},
      {EC_DVD_WARNING, 7, 0, ""},
      {EC_ERRORABORT, -2147467259, 9, "OnGraphErrorAbort -2147467259"},
      {EC_DVD_CHAPTER_START, 7, 9, "OnDVDChapterStart 7"},
      {EC_FULLSCREEN_LOST, 5, 77, "OnGraphFullscreenLost 77"},
      {EC_COMPLETE, 0, 42, "OnGraphComplete 0 42"},
      {EC_DVD_BUTTON_CHANGE, 4, 2, "OnDVDButtonChange 4 2"},
      {EC_VIDEO_SIZE_CHANGED, 0x01E00280, 0, "OnGraphVideoSizeChanged 640 480"},
      {EC_OPENING_FILE, 1, 0, "OnGraphOpeningFile 1"},
      {EC_OPENING_FILE, 2, 0, "OnGraphOpeningFile 0"},
      {EC_DVD_KARAOKE_MODE, 2, 0, "OnDVDKaraokeMode 1"},
      {EC_DVD_KARAOKE_MODE, 0, 0, "OnDVDKaraokeMode 0"},
      {EC_DVD_PLAYBACK_RATE_CHANGE, 10000, 0, "OnDVDPlaybackRateChange 1"},
      {EC_DVD_PLAYBACK_RATE_CHANGE, -20000, 0, "OnDVDPlaybackRateChange -2"},
      {EC_DVD_CURRENT_TIME, 0x12345678, 0, "OnDVDCurrentTime 21 43 65 27 0"},
      {EC_DVD_CURRENT_TIME, 0x00000001, 0, "OnDVDCurrentTime 0 0 0 0 25"},
      {EC_DVD_CURRENT_TIME, 0x00000003, 0, "OnDVDCurrentTime 0 0 0 0 30"},
      {EC_DVD_STILL_ON, 1, 30, "OnDVDStillOn 1 30"},
      {EC_END_OF_SEGMENT, reinterpret_cast<LONG_PTR>(&streamTime), 3,
       "OnGraphEndOfSegment 123456789012 3"},
      {EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(first), reinterpret_cast<LONG_PTR>(second),
       "OnGraphOleEvent one two"},
      {EC_DVD_CURRENT_HMSF_TIME, hmsf, 0x10000001, "OnDVDCurrentHMSFTime 1 2 3 4 1 1"},
      {EC_TIME, 1, 2, ""},
      {EC_REPAINT, 1, 2, ""},
      {EC_SHUTTING_DOWN, 1, 2, ""},
      {EC_STATE_CHANGE, 1, 2, ""},
      {EC_DVD_AUDIO_STREAM_CHANGE, 1, 0, ""},  // no DVD navigator: the event is not called
  };
  for (const Case& c : cases) {
    Log expected{Line("OnDSEvent", c.code, c.param1, c.param2)};
    if (!c.named.empty()) {
      expected.push_back(c.named);
    }
    EXPECT_EQ(Dispatched(c.code, c.param1, c.param2), expected) << c.code << " " << c.param1;
  }
}

TEST(SplitDvdTimeCode, NineFieldsFromTheTopBitsDown) {
  EXPECT_EQ(SplitDvdTimeCode(0x12345678), (tagDVD_TIMECODE{1, 2, 3, 4, 5, 6, 7, 2, 0}));
  EXPECT_EQ(SplitDvdTimeCode(0xFFFFFFFF), (tagDVD_TIMECODE{15, 15, 15, 15, 15, 15, 15, 3, 3}));
}

TEST_F(GraphEventDispatchTest, NotificationDrainsAndFreesEveryEvent) {
  graph.OnDSEvent = nullptr;
  graph.OnGraphComplete = nullptr;
  script.events = {{EC_COMPLETE, 0, 0}, {EC_TIME, 0, 0}, {EC_CLOCK_CHANGED, 0, 0}};
  QEvent notification(static_cast<QEvent::Type>(GraphNotifyMessage));
  EXPECT_TRUE(graph.NotifyWndProc(&notification));
  EXPECT_EQ(script.log, (Log{"FreeEventParams 1", "FreeEventParams 4", "OnGraphClockChanged",
                             "FreeEventParams 13"}));
  EXPECT_TRUE(script.events.empty());

  QEvent other(QEvent::User);
  EXPECT_FALSE(graph.NotifyWndProc(&other));  // default processing
}

TEST_F(GraphEventDispatchTest, RaisingHandlerStopsTheDrainAndIsReported) {
  std::vector<std::string> reported;
  graph.ErrorReport = [&reported](const std::exception& error) {
    reported.push_back(error.what());
  };
  graph.OnGraphClockChanged = [](TFilterGraph*) { throw std::runtime_error("handler failed"); };
  script.events = {{EC_USERABORT, 0, 0}, {EC_CLOCK_CHANGED, 0, 0}, {EC_COMPLETE, 0, 0}};
  QEvent notification(static_cast<QEvent::Type>(GraphNotifyMessage));
  graph.NotifyWndProc(&notification);
  EXPECT_EQ(reported, std::vector<std::string>{"handler failed"});
  EXPECT_EQ(script.events.size(), 1u);  // left for its own notification
  EXPECT_EQ(std::count(script.log.begin(), script.log.end(), "FreeEventParams 13"), 1);
  graph.NotifyWndProc(&notification);
  EXPECT_TRUE(script.events.empty());
}

TEST_F(GraphEventDispatchTest, InactiveComponentIgnoresNotifications) {
  graph.SetActive(false);
  script.events = {{EC_COMPLETE, 0, 0}};
  script.log.clear();
  QEvent notification(static_cast<QEvent::Type>(GraphNotifyMessage));
  EXPECT_TRUE(graph.NotifyWndProc(&notification));
  EXPECT_TRUE(script.log.empty());
}

}  // namespace
}  // namespace varnex
