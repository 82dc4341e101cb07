#include <gtest/gtest.h>

#include <filesystem>

#include "playback/TFilterGraph.h"
#include "playback/Tdm.h"
#include "tests/support/ScriptedGraph.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using Log = std::vector<std::string>;

class FilterGraphTest : public testing::Test {
 protected:
  void SetUp() override { script.Register(runtime); }

  Log TakeLog() { return std::exchange(script.log, {}); }

  ComRuntime runtime;
  test::GraphScript script;
  TFilterGraph graph{runtime};
};

TEST_F(FilterGraphTest, ActivationAndDeactivationInTheirOrder) {
  graph.OnActivate = [this](TFilterGraph*) { script.log.push_back("OnActivate"); };
  graph.SetActive(true);
  EXPECT_EQ(TakeLog(),
            (Log{"CoCreateInstance FilterGraph", "graph1 SetNotifyFlags 0",
                 "graph1 SetNotifyWindow window 32769", "graph1 SetLogFile 0", "OnActivate"}));
  graph.SetActive(true);
  EXPECT_EQ(script.graphsMade, 1);

  graph.SetActive(false);
  EXPECT_EQ(TakeLog(), (Log{"graph1 SetNotifyFlags 1", "graph1 SetLogFile 0", "graph1 released"}));
  graph.SetActive(false);
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(FilterGraphTest, ModeChangesReplaceAnActiveGraphOnly) {
  graph.SetMode(gmNormal);
  graph.SetMode(gmDVD);  // inactive: only stored
  EXPECT_TRUE(TakeLog().empty());
  graph.SetMode(gmNormal);
  graph.SetActive(true);
  TakeLog();
  graph.SetMode(gmNormal);
  EXPECT_TRUE(TakeLog().empty());

  script.RegisterCaptureBuilder(runtime);
  graph.SetMode(gmCapture);
  const Log log = TakeLog();
  const Log expected{"graph1 released", "CoCreateInstance CaptureGraphBuilder2",
                     "CoCreateInstance FilterGraph", "SetFiltergraph graph"};
  EXPECT_EQ(Log(log.begin() + 2, log.begin() + 6), expected);
  EXPECT_TRUE(graph.Active());
  EXPECT_TRUE(graph.Play());  // the control interface comes from the graph behind the builder
}

// Whether this process holds `path` open.
bool HeldOpen(const std::string& path) {
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(fd.path(), error) == path) {
      return true;
    }
  }
  return false;
}

TEST_F(FilterGraphTest, TheLogFileIsOpenOnlyWhileTheGraphIs) {
  test::TempFolder folder;
  const std::string log = folder / "graph.log";
  graph.SetLogFile(log);
  graph.SetActive(true);
  EXPECT_EQ(script.log.back(), "graph1 SetLogFile open");
  EXPECT_TRUE(HeldOpen(log));
  graph.SetActive(false);
  EXPECT_FALSE(HeldOpen(log));
}

TEST_F(FilterGraphTest, ModesWithoutTheirBuilderStayActiveWithoutAGraph) {
  for (const TGraphMode mode : {gmCapture, gmDVD}) {
    TFilterGraph other(runtime);
    other.SetMode(mode);
    other.SetActive(true);
    EXPECT_TRUE(other.Active());
    EXPECT_FALSE(other.Play());
    EXPECT_FALSE(other.Stop());
    EXPECT_EQ(other.GetPlayState(), psNone);
    EXPECT_EQ(other.RenderMediaFile(u"a.mp3"), S_FALSE);
    other.SetGraphEdit(true);
    other.SetLogFile("");
    other.EmptyGraph();
  }
  EXPECT_EQ(script.graphsMade, 0);
}

TEST_F(FilterGraphTest, DvdModeAsksTheBuilderThenTheGraph) {
  script.RegisterDvdBuilder(runtime);
  graph.SetMode(gmDVD);
  graph.SetActive(true);
  TakeLog();
  EXPECT_EQ(graph.GetPlayState(), psStopped);
  EXPECT_EQ(TakeLog(), Log{"GetDvdInterface"});
}

TEST_F(FilterGraphTest, GraphEditRegistersEachActiveGraph) {
  graph.SetGraphEdit(true);  // inactive: nothing registered yet
  EXPECT_EQ(runtime.RunningObjectCount(), 0u);
  graph.SetActive(true);
  EXPECT_EQ(runtime.RunningObjectCount(), 1u);
  graph.SetActive(false);
  EXPECT_EQ(runtime.RunningObjectCount(), 0u);
  EXPECT_TRUE(graph.GraphEdit());
  graph.SetActive(true);  // the new graph is registered again
  EXPECT_EQ(runtime.RunningObjectCount(), 1u);
  graph.SetGraphEdit(false);
  EXPECT_EQ(runtime.RunningObjectCount(), 0u);
}

TEST_F(FilterGraphTest, ControlResultsAndVolume) {
  EXPECT_EQ(graph.GetPlayState(), psNone);
  EXPECT_EQ(graph.RenderMediaFile(u"a.mp3"), S_FALSE);
  EXPECT_TRUE(TakeLog().empty());  // inactive: nothing reaches the service

  graph.SetActive(true);
  TakeLog();
  script.results["Run"] = S_FALSE;
  EXPECT_TRUE(graph.Play());
  script.results["Stop"] = S_FALSE;
  EXPECT_FALSE(graph.Stop());
  script.results["Stop"] = S_OK;
  EXPECT_TRUE(graph.Stop());
  script.state = State_Running;
  EXPECT_EQ(graph.GetPlayState(), psRunning);
  script.state = State_Paused;
  EXPECT_EQ(graph.GetPlayState(), psPaused);

  TakeLog();
  for (const int level : {10000, 0, 10001, 9900}) {
    graph.SetVolumeLevel(level);
  }
  EXPECT_EQ(TakeLog(), (Log{"graph1 put_Volume 0", "graph1 put_Volume -10000",
                            "graph1 put_Volume 1", "graph1 put_Volume -100"}));
}

TEST_F(FilterGraphTest, FailuresCarryTheTextAndTheCode) {
  graph.SetActive(true);
  script.results["RenderFile"] = VFW_E_NOT_FOUND;
  try {
    graph.RenderMediaFile(u"missing.mp3");
    FAIL() << "no failure";
  } catch (const EDirectShowException& error) {
    EXPECT_STREQ(error.what(), "The file does not exist ($80040216).");
    EXPECT_EQ(error.ResultCode(), VFW_E_NOT_FOUND);
  }
  runtime.SetErrorText(E_FAIL, std::string(300, 'x'));
  script.results["Run"] = E_FAIL;
  try {
    graph.Play();
    FAIL() << "no failure";
  } catch (const EDirectShowException& error) {
    EXPECT_EQ(std::string(error.what()), std::string(255, 'x') + " ($80004005).");
  }
}

TEST_F(FilterGraphTest, EmptyGraphStopsDisconnectsAndRemovesButStopsAtAFailure) {
  graph.SetActive(true);
  TakeLog();
  graph.EmptyGraph();
  EXPECT_EQ(TakeLog(), (Log{"graph1 Stop", "Disconnect source.in", "Disconnect source.out",
                            "Disconnect sink.in", "Disconnect sink.out",
                            "graph1 RemoveFilter source", "graph1 RemoveFilter sink"}));
  EXPECT_TRUE(graph.Active());

  script.results["Disconnect source.out"] = E_FAIL;
  EXPECT_THROW(graph.EmptyGraph(), EDirectShowException);
  EXPECT_EQ(TakeLog(), (Log{"graph1 Stop", "Disconnect source.in", "Disconnect source.out"}));
}

TEST_F(FilterGraphTest, LogFileThatCannotBeMadeKeepsTheOldName) {
  test::TempFolder folder;
  graph.SetLogFile(folder / "stored.log");  // inactive: only stored
  EXPECT_FALSE(std::filesystem::exists(folder / "stored.log"));
  graph.SetActive(true);
  EXPECT_TRUE(std::filesystem::exists(folder / "stored.log"));
  graph.SetLogFile(folder / "missing/graph.log");
  EXPECT_EQ(graph.LogFile(), folder / "stored.log");
  graph.SetLogFile("");
  EXPECT_EQ(graph.LogFile(), "");
}

TEST_F(FilterGraphTest, RunningObjectTableRegistersAndRevokes) {
  ComPtr<IUnknown> made;
  runtime.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                           made.Out());
  std::uint32_t cookie = 0;
  EXPECT_EQ(RegisterGraphInRot(runtime, made.Get(), cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(RevokeGraphFromRot(runtime, cookie), S_OK);
  EXPECT_EQ(RevokeGraphFromRot(runtime, cookie), E_INVALIDARG);
}

TEST_F(FilterGraphTest, MediaModuleLoadingActivatesAndDestructionEmptiesThenDeactivates) {
  std::vector<std::string> reported;
  {
    Tdm dm(runtime, [&](const std::exception& error) { reported.push_back(error.what()); });
    EXPECT_TRUE(dm.fg.Active());
    EXPECT_FALSE(dm.fg.GraphEdit());
    script.log.clear();
  }
  EXPECT_EQ(script.log.front(), "graph1 Stop");
  EXPECT_EQ(script.log.back(), "graph1 released");
  EXPECT_TRUE(reported.empty());

  script.results["Stop"] = E_FAIL;
  {
    Tdm dm(runtime, [&](const std::exception& error) { reported.push_back(error.what()); });
  }
  EXPECT_EQ(reported, std::vector<std::string>{"Unspecified error ($80004005)."});
  EXPECT_EQ(script.log.back(), "graph2 released");  // the component still deactivated
}

}  // namespace
}  // namespace varnex
