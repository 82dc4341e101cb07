// The media graph component on real GStreamer, with MP3s made here and the output captured.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "platform/media/GstFilterGraph.h"
#include "platform/media/WideText.h"
#include "playback/TFilterGraph.h"
#include "tests/support/Audio.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using test::TempFolder;

class GstGraphTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    tones_ = new TempFolder;
    test::MakeMp3(*tones_ / "tone.mp3", 1.0);
    test::MakeMp3(*tones_ / "long.mp3", 20.0);
  }
  static void TearDownTestSuite() { delete tones_; }

  // Output goes nowhere unless a test says where.
  void SetUp() override {
    setenv("VARNEX_AUDIO_SINK", "fakesink", 1);
    RegisterGStreamerGraph(runtime);
    graph.SetActive(true);
  }
  void TearDown() override { unsetenv("VARNEX_AUDIO_SINK"); }

  static std::string Tone() { return *tones_ / "tone.mp3"; }
  static std::string LongTone() { return *tones_ / "long.mp3"; }

  // Waits, a bounded time, for the graph to report the end of the file through its event.
  bool PlayedToTheEnd() {
    bool completed = false;
    graph.OnGraphComplete = [&completed](TFilterGraph*, HRESULT, IBaseFilter*) {
      completed = true;
    };
    ServeEventsUntil([&completed] { return completed; }, std::chrono::seconds(20));
    graph.OnGraphComplete = nullptr;
    return completed;
  }

  // Serves the thread's events until `done` or a bound, the graph's posted events among them.
  static bool ServeEventsUntil(const std::function<bool()>& done,
                               std::chrono::seconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
  }

  // The code RenderMediaFile fails with, S_OK when it does not.
  HRESULT RenderResult(const std::string& file) {
    try {
      return graph.RenderMediaFile(BytesToWide(file));
    } catch (const EDirectShowException& error) {
      return error.ResultCode();
    }
  }

  // Whether this process holds `path` open.
  static bool HeldOpen(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ignored;
      if (std::filesystem::read_symlink(entry.path(), ignored) == path) {
        return true;
      }
    }
    return false;
  }

  // Plays `file` at `level` into a WAV file and measures it.
  test::Level PlayCaptured(const std::string& file, int level) {
    return test::MeasureWav(Capture(file, level));
  }

  // Plays `file` at `level` as the player does (render, volume, run) into a WAV file; its path.
  std::string Capture(const std::string& file, int level) {
    const std::string wav = folder / ("out" + std::to_string(level) + ".wav");
    setenv("VARNEX_AUDIO_SINK", test::CaptureSink(wav).c_str(), 1);
    graph.SetActive(false);
    graph.SetActive(true);
    graph.RenderMediaFile(BytesToWide(file));
    graph.SetVolumeLevel(level);
    EXPECT_TRUE(graph.Play());
    EXPECT_TRUE(PlayedToTheEnd()) << file;
    graph.SetActive(false);  // the WAV file gets its final header when the graph goes
    return wav;
  }

  static TempFolder* tones_;
  TempFolder folder;
  ComRuntime runtime;
  TFilterGraph graph{runtime};
};

TempFolder* GstGraphTest::tones_ = nullptr;

TEST_F(GstGraphTest, AnMp3PlaysUnderEitherExtensionAndAnyNameBytes) {
  const std::string iad = folder / "same bytes.iad";
  const std::string odd = folder / "caf\xE9.mp3";
  std::filesystem::copy_file(Tone(), iad);
  std::filesystem::copy_file(Tone(), odd);
  for (const std::string& file : {Tone(), iad, odd}) {
    const test::Level level = PlayCaptured(file, 10000);
    EXPECT_GT(level.samples, 30000u) << file;     // about a second of sound
    EXPECT_NEAR(level.rmsDb, -9.0, 1.5) << file;  // a sine at half scale
  }
}

// Tolerances: the encoder and the resampler move the level by a few hundredths of a decibel;
// 0.25 dB around -1 and 1 dB around -50 leave room for that and nothing more.
TEST_F(GstGraphTest, SliderLevelsAreDecibelsOfAttenuation) {
  const double full = PlayCaptured(Tone(), 10000).rmsDb;
  EXPECT_NEAR(PlayCaptured(Tone(), 9900).rmsDb - full, -1.0, 0.25);
  EXPECT_NEAR(PlayCaptured(Tone(), 5000).rmsDb - full, -50.0, 1.0);
  const test::Level silent = PlayCaptured(Tone(), 0);
  EXPECT_GT(silent.samples, 30000u);
  EXPECT_EQ(silent.rmsDb, -200);
}

// The level is set after the file is rendered, and holds from the very first sample: no sound
// of the file may slip out at the level the graph had before.
TEST_F(GstGraphTest, TheLevelHoldsFromTheFirstSample) {
  const std::string loud = Capture(Tone(), 10000);
  const double full = test::MeasureWavStart(loud, 50).rmsDb;
  ASSERT_GT(full, -20.0);  // the tone is there within its first 50 ms
  const std::string soft = Capture(Tone(), 5000);
  EXPECT_NEAR(test::MeasureWavStart(soft, 50).rmsDb - full, -50.0, 1.0);
  EXPECT_EQ(test::MeasureWav(soft).samples, test::MeasureWav(loud).samples);  // none lost or twice
  const test::Level silent = test::MeasureWavStart(Capture(Tone(), 0), 50);
  EXPECT_GE(silent.samples, 2205u);  // 50 ms at 44.1 kHz
  EXPECT_EQ(silent.rmsDb, -200);
}

TEST_F(GstGraphTest, RunStopStateAndANewFileAfterEmptying) {
  setenv("VARNEX_AUDIO_SINK", "fakesink sync=true", 1);
  graph.RenderMediaFile(BytesToWide(LongTone()));
  EXPECT_EQ(graph.GetPlayState(), psPaused);
  EXPECT_TRUE(graph.Play());
  EXPECT_EQ(graph.GetPlayState(), psRunning);
  EXPECT_TRUE(graph.Stop());
  EXPECT_EQ(graph.GetPlayState(), psStopped);
  graph.EmptyGraph();
  EXPECT_EQ(graph.RenderMediaFile(BytesToWide(Tone())), S_OK);
  EXPECT_TRUE(graph.Play());
  EXPECT_TRUE(PlayedToTheEnd());
  EXPECT_EQ(graph.GetPlayState(), psRunning);  // a graph played to its end still reports running
}

// Every pad of every element is a pin; after DisconnectAllPins none of them is linked any more.
TEST_F(GstGraphTest, DisconnectAllPinsUnlinksEveryPad) {
  graph.RenderMediaFile(BytesToWide(Tone()));
  ComPtr<IFilterGraph> filters;
  ASSERT_EQ(graph.QueryInterface(IID_IFilterGraph, filters.Out()), S_OK);
  const auto pins = [&filters] {
    std::vector<ComPtr<IPin>> all;
    const TFilterList elements(filters.Get());
    for (const ComPtr<IBaseFilter>& filter : elements.Items()) {
      const TPinList pads(filter.Get());
      all.insert(all.end(), pads.Items().begin(), pads.Items().end());
    }
    return all;
  };
  EXPECT_GE(pins().size(), 10u);  // source, decoder, converter, resampler, volume, sink
  graph.Stop();
  graph.DisconnectAllPins();
  for (const ComPtr<IPin>& pin : pins()) {
    EXPECT_EQ(pin->Disconnect(), S_FALSE);  // nothing left to disconnect
  }
}

TEST_F(GstGraphTest, BadFilesFailWithTheirOwnCodeAndLeaveTheGraphUsable) {
  test::TempFolder bad;
  bad.File("empty.mp3", "");
  bad.File("noise.mp3", std::string(50000, '\x5A'));
  bad.Folder("folder.mp3");
  bad.Fifo("pipe.mp3");
  const std::pair<std::string, HRESULT> cases[] = {
      {bad / "empty.mp3", VFW_E_CANNOT_RENDER},      {bad / "noise.mp3", VFW_E_CANNOT_RENDER},
      {bad / "folder.mp3", VFW_E_UNKNOWN_FILE_TYPE}, {bad / "pipe.mp3", VFW_E_UNKNOWN_FILE_TYPE},
      {bad / "missing.mp3", VFW_E_NOT_FOUND},
  };
  for (const auto& [file, code] : cases) {
    try {
      graph.RenderMediaFile(BytesToWide(file));
      ADD_FAILURE() << "rendered " << file;
    } catch (const EDirectShowException& error) {
      EXPECT_EQ(error.ResultCode(), code) << file;
      EXPECT_NE(std::string(error.what()).find(" ($8004"), std::string::npos) << error.what();
    }
    EXPECT_EQ(graph.GetPlayState(), psStopped) << file;
  }
  EXPECT_EQ(graph.RenderMediaFile(BytesToWide(Tone())), S_OK);
  EXPECT_TRUE(graph.Play());
  EXPECT_TRUE(PlayedToTheEnd());
}

TEST_F(GstGraphTest, LogFileReceivesTheGraphsLog) {
  graph.SetLogFile(folder / "graph.log");
  graph.RenderMediaFile(BytesToWide(Tone()));
  EXPECT_THROW(graph.RenderMediaFile(BytesToWide(folder / "missing.mp3")), EDirectShowException);
  graph.SetLogFile("");
  const std::string log = test::ReadFile(folder / "graph.log");
  EXPECT_NE(log.find("RenderFile " + Tone()), std::string::npos) << log;
  EXPECT_NE(log.find("failed: 80040227"), std::string::npos) << log;  // the graph held a file
}

// The real bus: the end of the file arrives as a posted notification, is dispatched on the thread
// of the window, and the queue is empty afterwards.
TEST_F(GstGraphTest, EndOfFileReachesOnGraphCompleteOnTheWindowsThread) {
  bool completed = false;
  bool onWindowThread = false;
  std::vector<std::int32_t> codes;
  graph.OnDSEvent = [&codes](TFilterGraph*, std::int32_t code, LONG_PTR, LONG_PTR) {
    codes.push_back(code);
  };
  graph.OnGraphComplete = [&](TFilterGraph*, HRESULT result, IBaseFilter*) {
    completed = result == S_OK;
    onWindowThread = QThread::currentThread() == QCoreApplication::instance()->thread();
  };
  graph.RenderMediaFile(BytesToWide(Tone()));
  graph.Play();
  EXPECT_TRUE(ServeEventsUntil([&completed] { return completed; }, std::chrono::seconds(20)));
  EXPECT_TRUE(onWindowThread);
  EXPECT_NE(std::find(codes.begin(), codes.end(), EC_STATE_CHANGE), codes.end());
  ComPtr<IMediaEventEx> events;
  graph.QueryInterface(IID_IMediaEventEx, events.Out());
  std::int32_t code;
  LONG_PTR first, second;
  QCoreApplication::processEvents();
  EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), E_ABORT);
}

// The graph's state events are the pipeline's own moves, each with the state it reached: its
// elements move too, but are not the graph.
TEST_F(GstGraphTest, StateEventsAreThePipelinesMovesWithTheStateReached) {
  setenv("VARNEX_AUDIO_SINK", "fakesink sync=true", 1);
  std::vector<LONG_PTR> states;
  graph.OnDSEvent = [&states](TFilterGraph*, std::int32_t code, LONG_PTR param1, LONG_PTR) {
    if (code == EC_STATE_CHANGE) {
      states.push_back(param1);
    }
  };
  graph.RenderMediaFile(BytesToWide(LongTone()));
  graph.Play();
  EXPECT_TRUE(ServeEventsUntil([&] { return states.size() >= 3; }));
  graph.Stop();
  EXPECT_TRUE(ServeEventsUntil([&] { return states.size() >= 5; }));
  QCoreApplication::processEvents();
  // NULL to READY, to PAUSED once ready, to PLAYING; then back through PAUSED to READY.
  EXPECT_EQ(states, (std::vector<LONG_PTR>{State_Stopped, State_Paused, State_Running, State_Paused,
                                           State_Stopped}));
}

// A sink that never gets a sample keeps the graph from ever being ready. The wait for it ends at
// its bound with the time-out, serving the thread's events meanwhile, and leaves an empty graph
// that holds nothing open and takes the next file.
TEST_F(GstGraphTest, AFileThatNeverGetsReadyTimesOutAndLeavesNothingOpen) {
  setenv("VARNEX_AUDIO_SINK", "valve drop=true ! fakesink", 1);
  bool servedWhileWaiting = false;
  QTimer::singleShot(0, [&] { servedWhileWaiting = HeldOpen(LongTone()); });
  EXPECT_EQ(RenderResult(LongTone()), VFW_E_TIMEOUT);
  EXPECT_TRUE(servedWhileWaiting);
  EXPECT_EQ(graph.GetPlayState(), psStopped);
  EXPECT_FALSE(HeldOpen(LongTone()));
  setenv("VARNEX_AUDIO_SINK", "fakesink", 1);
  EXPECT_EQ(RenderResult(Tone()), S_OK);
}

// The wait ends as soon as it is pointless: when the graph is stopped, when no one else holds it
// any more, when the program quits.
TEST_F(GstGraphTest, AStopAReleaseOrTheEndOfTheProgramEndsTheWaitForAFile) {
  setenv("VARNEX_AUDIO_SINK", "valve drop=true ! fakesink", 1);
  const std::function<void()> interruptions[] = {
      [this] {
        ComPtr<IMediaControl> control;
        graph.QueryInterface(IID_IMediaControl, control.Out());
        control->Stop();
      },
      [this] { graph.SetActive(false); },
      [] { QCoreApplication::exit(0); },
  };
  for (const auto& interrupt : interruptions) {
    graph.SetActive(true);
    HRESULT result = S_OK;
    QTimer::singleShot(100, interrupt);
    // Inside the application's own loop, which the end of the program ends too.
    QTimer::singleShot(0, [&] {
      result = RenderResult(LongTone());
      QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    EXPECT_EQ(result, E_ABORT);
    EXPECT_FALSE(HeldOpen(LongTone()));
  }
}

// After an error the pipeline goes to NULL by itself, at once: the sound device (here a file)
// is given back without a further call to the graph, and the graph says it stopped.
TEST_F(GstGraphTest, AnErrorWhilePlayingClosesThePipelineAtOnce) {
  const std::string wav = folder / "until-error.wav";
  setenv("VARNEX_AUDIO_SINK",
         ("identity error-after=20 ! audioconvert ! wavenc ! filesink location=" + wav).c_str(), 1);
  std::vector<std::pair<std::int32_t, LONG_PTR>> events;
  graph.OnDSEvent = [&events](TFilterGraph*, std::int32_t code, LONG_PTR param1, LONG_PTR) {
    events.emplace_back(code, param1);
  };
  ASSERT_EQ(RenderResult(LongTone()), S_OK);
  ASSERT_TRUE(HeldOpen(wav));
  graph.Play();
  const auto seen = [&events](std::int32_t code, LONG_PTR param1) {
    return std::find(events.begin(), events.end(), std::make_pair(code, param1)) != events.end();
  };
  ASSERT_TRUE(ServeEventsUntil([&] { return seen(EC_ERRORABORT, E_FAIL); }));
  EXPECT_TRUE(ServeEventsUntil([&] { return !HeldOpen(wav); })) << "the sink stayed open";
  EXPECT_TRUE(ServeEventsUntil([&] {
    return events.back() == std::make_pair(std::int32_t{EC_STATE_CHANGE}, LONG_PTR{State_Stopped});
  }));
}

// Desktop panels draw their progress from it: how far the pipeline has played, in 100 ns.
TEST_F(GstGraphTest, PositionIsHowFarTheFileHasPlayed) {
  setenv("VARNEX_AUDIO_SINK", "fakesink sync=true", 1);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(graph.QueryInterface(IID_IMediaSeeking, seeking.Out()), S_OK);
  std::int64_t position = -1;
  EXPECT_EQ(seeking->GetCurrentPosition(&position), E_FAIL);  // nothing to play yet
  graph.RenderMediaFile(BytesToWide(LongTone()));
  graph.Play();
  ServeEventsUntil(
      [&] { return Succeeded(seeking->GetCurrentPosition(&position)) && position > 3000000; });
  const std::int64_t earlier = position;
  QThread::msleep(300);
  ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
  EXPECT_GT(position, earlier + 2000000);
  EXPECT_LT(position, 200000000);  // within the file's 20 seconds
}

TEST(WideText, EveryByteComesBack) {
  for (const std::string bytes :
       {"plain", "caf\xC3\xA9", "caf\xE9", "\xF0\x9F\x8E\xB5 \xFF\xFE", "\xED\xA0\x80"}) {
    EXPECT_EQ(WideToBytes(BytesToWide(bytes)), bytes);
  }
  EXPECT_EQ(BytesToWide("caf\xC3\xA9"), u"café");
}

}  // namespace
}  // namespace varnex
