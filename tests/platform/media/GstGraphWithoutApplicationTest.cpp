// The graph service in a process without an application object, as a tool might use it: there
// are no events to serve while a file is made ready, and the wait is a plain one.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/media/GstFilterGraph.h"
#include "platform/media/WideText.h"
#include "tests/support/Audio.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

TEST(GstGraphWithoutApplication, AFileIsMadeReadyAndOneThatNeverGetsReadyTimesOut) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  test::TempFolder folder;
  test::MakeMp3(folder / "tone.mp3", 1.0);
  ComRuntime runtime;
  RegisterGStreamerGraph(runtime);
  const auto render = [&runtime, &folder](const char* sink) {
    setenv("VARNEX_AUDIO_SINK", sink, 1);
    ComPtr<IGraphBuilder> graph;
    runtime.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             graph.Out());
    return graph->RenderFile(BytesToWide(folder / "tone.mp3"), u"");
  };
  EXPECT_EQ(render("fakesink"), S_OK);
  EXPECT_EQ(render("valve drop=true ! fakesink"), VFW_E_TIMEOUT);
}

}  // namespace
}  // namespace varnex
